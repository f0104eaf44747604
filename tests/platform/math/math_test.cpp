// D3DX math against values worked out by hand for D3DX's left-handed,
// row-vector conventions.
#include <d3dx9math.h>
#include <gtest/gtest.h>

namespace {

constexpr float kEps = 1e-5f;

D3DXVECTOR3 Point(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &v, &m);
  return out;
}

void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float eps = kEps) {
  EXPECT_NEAR(actual.x, expected.x, eps);
  EXPECT_NEAR(actual.y, expected.y, eps);
  EXPECT_NEAR(actual.z, expected.z, eps);
}

void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float eps = kEps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual(r, c), expected(r, c), eps) << "element (" << r << ", " << c << ")";
}

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  return *D3DXMatrixIdentity(&m);
}
D3DXMATRIX RotX(float a) { D3DXMATRIX m; return *D3DXMatrixRotationX(&m, a); }
D3DXMATRIX RotY(float a) { D3DXMATRIX m; return *D3DXMatrixRotationY(&m, a); }
D3DXMATRIX RotZ(float a) { D3DXMATRIX m; return *D3DXMatrixRotationZ(&m, a); }
D3DXMATRIX Translation(float x, float y, float z) {
  D3DXMATRIX m;
  return *D3DXMatrixTranslation(&m, x, y, z);
}
D3DXMATRIX FromQuaternion(const D3DXQUATERNION& q) {
  D3DXMATRIX m;
  return *D3DXMatrixRotationQuaternion(&m, &q);
}

const float kQuarter = D3DX_PI / 2;

TEST(D3DXMath, RotationsTurnClockwiseLookingDownTheAxisLeftHanded) {
  // Seen from +y looking down, +x turns to −z; from +x, +y turns to +z; from +z, +x to +y.
  ExpectNear(Point({1, 0, 0}, RotY(kQuarter)), {0, 0, -1});
  ExpectNear(Point({0, 0, 1}, RotY(kQuarter)), {1, 0, 0});
  ExpectNear(Point({0, 1, 0}, RotX(kQuarter)), {0, 0, 1});
  ExpectNear(Point({1, 0, 0}, RotZ(kQuarter)), {0, 1, 0});
  D3DXVECTOR3 yAxis(0, 1, 0);
  D3DXMATRIX axis;
  D3DXMatrixRotationAxis(&axis, &yAxis, 0.7f);
  ExpectNear(axis, RotY(0.7f));
  D3DXVECTOR3 unnormalised(0, 0, 3);
  D3DXMatrixRotationAxis(&axis, &unnormalised, 0.4f);
  ExpectNear(axis, RotZ(0.4f));
}

TEST(D3DXMath, ProductAppliesLeftMatrixFirst) {
  // Move to (1, 0, 0), then turn a quarter about y: ends at (0, 0, −1).
  ExpectNear(Point({0, 0, 0}, Translation(1, 0, 0) * RotY(kQuarter)), {0, 0, -1});
  // Turn first, then move: the origin stays where the translation puts it.
  ExpectNear(Point({0, 0, 0}, RotY(kQuarter) * Translation(1, 0, 0)), {1, 0, 0});
  D3DXMATRIX m = Translation(4, 5, 6);
  EXPECT_EQ(m(3, 0), 4.0f);
  EXPECT_EQ(m(3, 2), 6.0f);
  m(0, 1) = 9.0f;
  EXPECT_EQ(m._12, 9.0f);
  EXPECT_EQ(static_cast<const float*>(m)[12], 4.0f);
  // Multiply may write over its own inputs.
  D3DXMATRIX a = Translation(1, 0, 0), b = RotY(kQuarter);
  D3DXMatrixMultiply(&a, &a, &b);
  ExpectNear(a, Translation(1, 0, 0) * RotY(kQuarter));
}

TEST(D3DXMath, YawPitchRollTurnsRollThenPitchThenYaw) {
  // (0, 0, 1): roll about z leaves it, pitch 90° takes it to (0, −1, 0), yaw leaves that.
  D3DXMATRIX ypr;
  D3DXMatrixRotationYawPitchRoll(&ypr, kQuarter, kQuarter, kQuarter);
  ExpectNear(Point({0, 0, 1}, ypr), {0, -1, 0});
  // (0, 1, 0): pitch takes it to (0, 0, 1), yaw to (1, 0, 0).
  D3DXMatrixRotationYawPitchRoll(&ypr, kQuarter, kQuarter, 0);
  ExpectNear(Point({0, 1, 0}, ypr), {1, 0, 0});

  D3DXMatrixRotationYawPitchRoll(&ypr, 0.3f, -1.1f, 2.0f);
  ExpectNear(ypr, RotZ(2.0f) * RotX(-1.1f) * RotY(0.3f));
  D3DXQUATERNION q;
  D3DXQuaternionRotationYawPitchRoll(&q, 0.3f, -1.1f, 2.0f);
  ExpectNear(FromQuaternion(q), ypr);
}

TEST(D3DXMath, LookAtLHMovesEyeToOriginLookingDownZ) {
  D3DXVECTOR3 eye(0, 0, 0), at(1, 0, 0), up(0, 1, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  ExpectNear(view, D3DXMATRIX(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1));
  // Looking along +x with y up, −z is on the right.
  ExpectNear(Point({5, 0, 0}, view), {0, 0, 5});
  ExpectNear(Point({0, 0, -1}, view), {1, 0, 0});

  eye = D3DXVECTOR3(3, 4, -2);
  at = D3DXVECTOR3(-1, 2, 7);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  ExpectNear(Point(eye, view), {0, 0, 0});
  const D3DXVECTOR3 ahead = Point(at, view);
  EXPECT_NEAR(ahead.x, 0, kEps);
  EXPECT_NEAR(ahead.y, 0, kEps);
  EXPECT_NEAR(ahead.z, std::sqrt(16.0f + 4.0f + 81.0f), 1e-4f);
}

TEST(D3DXMath, ProjectionsMapNearAndFarToDepthZeroAndOne) {
  D3DXMATRIX proj;
  D3DXMatrixPerspectiveFovLH(&proj, kQuarter, 2.0f, 1.0f, 11.0f);
  ExpectNear(proj, D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.1f, 1, 0, 0, -1.1f, 0));
  ExpectNear(Point({0, 0, 1}, proj), {0, 0, 0});
  ExpectNear(Point({0, 0, 11}, proj), {0, 0, 1});
  ExpectNear(Point({2, 1, 1}, proj), {1, 1, 0});  // corner of the near plane

  D3DXMatrixOrthoLH(&proj, 4.0f, 2.0f, 1.0f, 5.0f);
  ExpectNear(proj, D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.25f, 0, 0, 0, -0.25f, 1));
  ExpectNear(Point({2, 1, 1}, proj), {1, 1, 0});
  ExpectNear(Point({-2, -1, 5}, proj), {-1, -1, 1});
}

TEST(D3DXMath, InverseUndoesAndRefusesSingularMatrices) {
  D3DXMATRIX m = D3DXMATRIX(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1) * RotX(0.5f) *
                 RotY(-1.2f) * Translation(7, -3, 2);
  D3DXMATRIX inv;
  float det = 0;
  ASSERT_EQ(D3DXMatrixInverse(&inv, &det, &m), &inv);
  EXPECT_NEAR(det, 24.0f, 1e-4f);
  ExpectNear(m * inv, Identity());
  ExpectNear(inv * m, Identity());

  const D3DXMATRIX moved = Translation(1, 2, 3);
  D3DXMatrixInverse(&inv, nullptr, &moved);
  ExpectNear(inv, Translation(-1, -2, -3));
  D3DXMATRIX self = RotZ(0.8f);
  D3DXMatrixInverse(&self, nullptr, &self);
  ExpectNear(self, RotZ(-0.8f));

  const D3DXMATRIX flat(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  const D3DXMATRIX dependent(1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 0, 5, 0, 0, 1);
  for (const D3DXMATRIX& singular : {flat, dependent}) {
    D3DXMATRIX untouched = Translation(9, 9, 9);
    det = -1;
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &singular), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(untouched, Translation(9, 9, 9));
  }
}

TEST(D3DXMath, TransformCoordDividesByWAndTransformNormalIgnoresTranslation) {
  D3DXMATRIX m = Identity();
  m._44 = 2.0f;
  m._41 = 4.0f;
  ExpectNear(Point({2, 4, 6}, m), {3, 2, 3});
  D3DXVECTOR4 homogeneous;
  D3DXVECTOR3 v(2, 4, 6);
  D3DXVec3Transform(&homogeneous, &v, &m);
  EXPECT_EQ(homogeneous, D3DXVECTOR4(6, 4, 6, 2));

  D3DXMATRIX world = D3DXMATRIX(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1) * RotY(kQuarter) *
                     Translation(5, 6, 7);
  D3DXVECTOR3 n(1, 0, 0), out;
  D3DXVec3TransformNormal(&out, &n, &world);
  ExpectNear(out, {0, 0, -2});  // turned and scaled, not moved, not renormalised
  D3DXVec3TransformCoord(&out, &n, &world);
  ExpectNear(out, {5, 6, 5});

  D3DXVECTOR3 points[2] = {{1, 0, 0}, {0, 0, 1}};
  D3DXVec3TransformCoordArray(points, sizeof(D3DXVECTOR3), points, sizeof(D3DXVECTOR3), &world, 2);
  ExpectNear(points[0], {5, 6, 5});
  ExpectNear(points[1], {7, 6, 7});
}

TEST(D3DXMath, QuaternionAndMatrixRoundTrip) {
  // Includes half turns, where the trace is −1 and each diagonal branch is taken.
  const D3DXMATRIX rotations[] = {RotX(D3DX_PI), RotY(D3DX_PI), RotZ(D3DX_PI), RotX(3.0f),
                                  RotY(-2.9f) * RotZ(0.4f), RotZ(1.0f) * RotX(-0.5f) * RotY(2.0f),
                                  Identity()};
  for (const D3DXMATRIX& m : rotations) {
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &m);
    EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, kEps);
    ExpectNear(FromQuaternion(q), m);
  }
  D3DXVECTOR3 axis(1, 2, -2);
  D3DXQUATERNION q;
  D3DXQuaternionRotationAxis(&q, &axis, 1.3f);
  D3DXMATRIX byAxis;
  D3DXMatrixRotationAxis(&byAxis, &axis, 1.3f);
  ExpectNear(FromQuaternion(q), byAxis);
  EXPECT_NEAR(q.w, std::cos(0.65f), kEps);
  EXPECT_NEAR(q.x, std::sin(0.65f) / 3.0f, kEps);
}

TEST(D3DXMath, QuaternionMultiplyFollowsMatrixOrder) {
  D3DXQUATERNION a, b, ab;
  D3DXQuaternionRotationYawPitchRoll(&a, 0.4f, 1.0f, 0.0f);
  D3DXQuaternionRotationYawPitchRoll(&b, -1.5f, 0.0f, 0.7f);
  D3DXQuaternionMultiply(&ab, &a, &b);
  ExpectNear(FromQuaternion(ab), FromQuaternion(a) * FromQuaternion(b));
  ExpectNear(FromQuaternion(a * b), FromQuaternion(a) * FromQuaternion(b));

  D3DXQUATERNION inverse, conjugate, product;
  D3DXQuaternionInverse(&inverse, &a);
  D3DXQuaternionConjugate(&conjugate, &a);
  EXPECT_NEAR(inverse.x, conjugate.x, kEps);
  EXPECT_NEAR(inverse.w, conjugate.w, kEps);
  D3DXQuaternionMultiply(&product, &a, &inverse);
  ExpectNear(FromQuaternion(product), Identity());
  const D3DXQUATERNION twice = a * 2.0f;
  D3DXQuaternionNormalize(&product, &twice);
  EXPECT_NEAR(D3DXQuaternionDot(&product, &a), 1.0f, kEps);
}

TEST(D3DXMath, SlerpTakesTheShorterArc) {
  D3DXQUATERNION identity, quarter, mid;
  D3DXQuaternionIdentity(&identity);
  const D3DXMATRIX quarterTurn = RotY(kQuarter);
  D3DXQuaternionRotationMatrix(&quarter, &quarterTurn);
  D3DXQuaternionSlerp(&mid, &identity, &quarter, 0.5f);
  ExpectNear(FromQuaternion(mid), RotY(kQuarter / 2));
  D3DXQuaternionSlerp(&mid, &identity, &quarter, 0.25f);
  ExpectNear(FromQuaternion(mid), RotY(kQuarter / 4));
  D3DXQuaternionSlerp(&mid, &identity, &quarter, 1.0f);
  ExpectNear(FromQuaternion(mid), RotY(kQuarter));

  // −q is the same turn; the blend still goes the short way, through 45°.
  const D3DXQUATERNION negated = -quarter;
  D3DXQuaternionSlerp(&mid, &identity, &negated, 0.5f);
  ExpectNear(FromQuaternion(mid), RotY(kQuarter / 2));

  // Nearly equal rotations blend without dividing by a vanishing sine.
  D3DXQUATERNION tiny;
  const D3DXMATRIX tinyTurn = RotY(1e-4f);
  D3DXQuaternionRotationMatrix(&tiny, &tinyTurn);
  D3DXQuaternionSlerp(&mid, &identity, &tiny, 0.5f);
  ExpectNear(FromQuaternion(mid), RotY(0.5e-4f));
}

TEST(D3DXMath, VectorOperatorsAndFunctions) {
  D3DXVECTOR3 a(1, 2, 3), b(4, -5, 6), out;
  EXPECT_EQ(a + b, D3DXVECTOR3(5, -3, 9));
  EXPECT_EQ(a - b, D3DXVECTOR3(-3, 7, -3));
  EXPECT_EQ(2.0f * a, a * 2.0f);
  EXPECT_EQ(-a, D3DXVECTOR3(-1, -2, -3));
  EXPECT_EQ(b / 2.0f, D3DXVECTOR3(2, -2.5f, 3));
  EXPECT_TRUE(a != b);
  EXPECT_EQ(D3DXVec3Dot(&a, &b), 4.0f - 10.0f + 18.0f);
  D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
  EXPECT_EQ(*D3DXVec3Cross(&out, &x, &y), D3DXVECTOR3(0, 0, 1));
  EXPECT_EQ(*D3DXVec3Cross(&a, &a, &b), D3DXVECTOR3(27, 6, -13));  // output aliases input
  D3DXVECTOR3 v(3, 0, -4);
  EXPECT_EQ(D3DXVec3Length(&v), 5.0f);
  ExpectNear(*D3DXVec3Normalize(&out, &v), {0.6f, 0, -0.8f});
  D3DXVECTOR3 zero(0, 0, 0);
  EXPECT_EQ(*D3DXVec3Normalize(&out, &zero), zero);
  EXPECT_EQ(*D3DXVec3Lerp(&out, &x, &y, 0.25f), D3DXVECTOR3(0.75f, 0.25f, 0));
  D3DXVECTOR2 flat(3, 4), flatOut;
  EXPECT_EQ(*D3DXVec2Normalize(&flatOut, &flat), D3DXVECTOR2(0.6f, 0.8f));
}

TEST(D3DXMath, ColourConvertsToAndFromArgb) {
  const D3DXCOLOR c(0x80FF4000u);
  EXPECT_FLOAT_EQ(c.a, 128.0f / 255.0f);
  EXPECT_FLOAT_EQ(c.r, 1.0f);
  EXPECT_FLOAT_EQ(c.g, 64.0f / 255.0f);
  EXPECT_FLOAT_EQ(c.b, 0.0f);
  EXPECT_EQ(static_cast<DWORD>(c), 0x80FF4000u);
  // Out-of-range channels clamp; in-range ones round to nearest.
  EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(1.5f, -0.2f, 0.5f, 1.0f)), 0xFFFF0080u);
  const D3DCOLORVALUE value = {0.25f, 0.5f, 0.75f, 1.0f};
  const D3DXCOLOR fromValue(value);
  EXPECT_EQ(fromValue, D3DXCOLOR(0.25f, 0.5f, 0.75f, 1.0f));
  const D3DCOLORVALUE& back = fromValue;
  EXPECT_EQ(back.g, 0.5f);

  D3DXCOLOR red(1, 0, 0, 1), blue(0, 0, 1, 0), out;
  EXPECT_EQ(*D3DXColorLerp(&out, &red, &blue, 0.25f), D3DXCOLOR(0.75f, 0, 0.25f, 0.75f));
  EXPECT_EQ(*D3DXColorModulate(&out, &fromValue, &fromValue), D3DXCOLOR(0.0625f, 0.25f, 0.5625f, 1));
}

TEST(D3DXMath, DecomposeSplitsScaleRotationTranslation) {
  const D3DXMATRIX m = D3DXMATRIX(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1) * RotY(0.6f) *
                       RotX(-0.2f) * Translation(1, -2, 3);
  D3DXVECTOR3 scale, translation;
  D3DXQUATERNION rotation;
  ASSERT_EQ(D3DXMatrixDecompose(&scale, &rotation, &translation, &m), S_OK);
  ExpectNear(scale, {2, 3, 0.5f});
  ExpectNear(translation, {1, -2, 3});
  ExpectNear(FromQuaternion(rotation), RotY(0.6f) * RotX(-0.2f));
  const D3DXMATRIX flat(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  EXPECT_TRUE(FAILED(D3DXMatrixDecompose(&scale, &rotation, &translation, &flat)));
}

}  // namespace

namespace {

TEST(D3DXMath, TransformationScalesAndTurnsAboutTheirCentres) {
  const D3DXVECTOR3 scale(2, 3, 4), move(1, 2, 3);
  D3DXQUATERNION turn;
  D3DXQuaternionRotationYawPitchRoll(&turn, 0.5f, 0.2f, -0.1f);
  D3DXMATRIX m, s;
  D3DXMatrixTransformation(&m, nullptr, nullptr, &scale, nullptr, &turn, &move);
  D3DXMatrixScaling(&s, 2, 3, 4);
  ExpectNear(m, s * FromQuaternion(turn) * Translation(1, 2, 3));

  // Doubling about (1, 0, 0) keeps that point and sends (2, 0, 0) to (3, 0, 0).
  const D3DXVECTOR3 centre(1, 0, 0), twice(2, 2, 2);
  D3DXMatrixTransformation(&m, &centre, nullptr, &twice, nullptr, nullptr, nullptr);
  ExpectNear(Point({1, 0, 0}, m), {1, 0, 0});
  ExpectNear(Point({2, 0, 0}, m), {3, 0, 0});
  // Stretching x along axes turned a quarter about z stretches y instead.
  const D3DXVECTOR3 stretchX(2, 1, 1);
  D3DXQUATERNION axes;
  const D3DXMATRIX quarterZ = RotZ(kQuarter);
  D3DXQuaternionRotationMatrix(&axes, &quarterZ);
  D3DXMatrixTransformation(&m, nullptr, &axes, &stretchX, nullptr, nullptr, nullptr);
  ExpectNear(Point({0, 1, 0}, m), {0, 2, 0});
  ExpectNear(Point({1, 0, 0}, m), {1, 0, 0});
  // A quarter turn about y around (1, 0, 0), then up by 5.
  D3DXQUATERNION quarterY;
  const D3DXMATRIX quarterTurnY = RotY(kQuarter);
  D3DXQuaternionRotationMatrix(&quarterY, &quarterTurnY);
  const D3DXVECTOR3 up5(0, 5, 0);
  D3DXMatrixTransformation(&m, nullptr, nullptr, nullptr, &centre, &quarterY, &up5);
  ExpectNear(Point({2, 0, 0}, m), {1, 5, -1});
}

}  // namespace
