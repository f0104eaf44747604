// D3DX math: the out-of-line vector, matrix, quaternion and plane functions.
// Conventions are in <d3dx9math.h>: row vectors, left-handed, results through pOut
// (which may alias an input, so results are built in locals first).
#include <d3dx9math.h>

#include <cmath>
#include <d3d9.h>

namespace {

// Sine and cosine of one angle, as D3DX computes them in single precision.
struct SinCos {
  explicit SinCos(FLOAT angle) : s(std::sin(angle)), c(std::cos(angle)) {}
  FLOAT s, c;
};

// Row vector (x, y, z, w) × M.
D3DXVECTOR4 RowTimesMatrix(FLOAT x, FLOAT y, FLOAT z, FLOAT w, const D3DXMATRIX& m) {
  return D3DXVECTOR4(x * m._11 + y * m._21 + z * m._31 + w * m._41,
                     x * m._12 + y * m._22 + z * m._32 + w * m._42,
                     x * m._13 + y * m._23 + z * m._33 + w * m._43,
                     x * m._14 + y * m._24 + z * m._34 + w * m._44);
}

// The 2×2 minors and the cofactors of a 4×4 matrix, in double precision so that a
// matrix of small integers with dependent rows comes out exactly singular.
struct Cofactors {
  double c[4][4];  // c[r][k]: cofactor of element (r, k)
  double determinant;

  explicit Cofactors(const D3DXMATRIX& mat) {
    double a[4][4];
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) a[r][k] = mat.m[r][k];
    // Minors of rows 0-1 and rows 2-3 (Laplace expansion by pairs of rows).
    const double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    const double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    const double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
    determinant = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;

    c[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
    c[0][1] = -(a[1][0] * c5 - a[1][2] * c2 + a[1][3] * c1);
    c[0][2] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
    c[0][3] = -(a[1][0] * c3 - a[1][1] * c1 + a[1][2] * c0);
    c[1][0] = -(a[0][1] * c5 - a[0][2] * c4 + a[0][3] * c3);
    c[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
    c[1][2] = -(a[0][0] * c4 - a[0][1] * c2 + a[0][3] * c0);
    c[1][3] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
    c[2][0] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
    c[2][1] = -(a[3][0] * s5 - a[3][2] * s2 + a[3][3] * s1);
    c[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
    c[2][3] = -(a[3][0] * s3 - a[3][1] * s1 + a[3][2] * s0);
    c[3][0] = -(a[2][1] * s5 - a[2][2] * s4 + a[2][3] * s3);
    c[3][1] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
    c[3][2] = -(a[2][0] * s4 - a[2][1] * s2 + a[2][3] * s0);
    c[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Vectors

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV) {
  const FLOAT length = D3DXVec2Length(pV);
  if (length == 0.0f) {
    *pOut = D3DXVECTOR2(0, 0);
  } else {
    *pOut = D3DXVECTOR2(pV->x / length, pV->y / length);
  }
  return pOut;
}

D3DXVECTOR4* D3DXVec2Transform(D3DXVECTOR4* pOut, const D3DXVECTOR2* pV, const D3DXMATRIX* pM) {
  *pOut = RowTimesMatrix(pV->x, pV->y, 0.0f, 1.0f, *pM);
  return pOut;
}

D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV, const D3DXMATRIX* pM) {
  const D3DXVECTOR4 v = RowTimesMatrix(pV->x, pV->y, 0.0f, 1.0f, *pM);
  *pOut = D3DXVECTOR2(v.x / v.w, v.y / v.w);
  return pOut;
}

D3DXVECTOR2* D3DXVec2TransformNormal(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV,
                                     const D3DXMATRIX* pM) {
  const D3DXVECTOR4 v = RowTimesMatrix(pV->x, pV->y, 0.0f, 0.0f, *pM);
  *pOut = D3DXVECTOR2(v.x, v.y);
  return pOut;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
  const FLOAT length = D3DXVec3Length(pV);
  if (length == 0.0f) {
    *pOut = D3DXVECTOR3(0, 0, 0);
  } else {
    *pOut = D3DXVECTOR3(pV->x / length, pV->y / length, pV->z / length);
  }
  return pOut;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  *pOut = RowTimesMatrix(pV->x, pV->y, pV->z, 1.0f, *pM);
  return pOut;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  const D3DXVECTOR4 v = RowTimesMatrix(pV->x, pV->y, pV->z, 1.0f, *pM);
  *pOut = D3DXVECTOR3(v.x / v.w, v.y / v.w, v.z / v.w);
  return pOut;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                     const D3DXMATRIX* pM) {
  const D3DXVECTOR4 v = RowTimesMatrix(pV->x, pV->y, pV->z, 0.0f, *pM);
  *pOut = D3DXVECTOR3(v.x, v.y, v.z);
  return pOut;
}

namespace {

template <typename Transform>
D3DXVECTOR3* TransformArray(D3DXVECTOR3* pOut, UINT outStride, const D3DXVECTOR3* pV, UINT vStride,
                            const D3DXMATRIX* pM, UINT n, Transform transform) {
  auto* out = reinterpret_cast<BYTE*>(pOut);
  auto* in = reinterpret_cast<const BYTE*>(pV);
  for (UINT i = 0; i < n; ++i) {
    D3DXVECTOR3 v;
    std::memcpy(&v, in + static_cast<size_t>(i) * vStride, sizeof v);
    transform(&v, &v, pM);
    std::memcpy(out + static_cast<size_t>(i) * outStride, &v, sizeof v);
  }
  return pOut;
}

}  // namespace

D3DXVECTOR3* D3DXVec3TransformCoordArray(D3DXVECTOR3* pOut, UINT outStride, const D3DXVECTOR3* pV,
                                         UINT vStride, const D3DXMATRIX* pM, UINT n) {
  return TransformArray(pOut, outStride, pV, vStride, pM, n, D3DXVec3TransformCoord);
}

D3DXVECTOR3* D3DXVec3TransformNormalArray(D3DXVECTOR3* pOut, UINT outStride, const D3DXVECTOR3* pV,
                                          UINT vStride, const D3DXMATRIX* pM, UINT n) {
  return TransformArray(pOut, outStride, pV, vStride, pM, n, D3DXVec3TransformNormal);
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV) {
  const FLOAT length = D3DXVec4Length(pV);
  if (length == 0.0f) {
    *pOut = D3DXVECTOR4(0, 0, 0, 0);
  } else {
    *pOut = *pV / length;
  }
  return pOut;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM) {
  *pOut = RowTimesMatrix(pV->x, pV->y, pV->z, pV->w, *pM);
  return pOut;
}

// ---------------------------------------------------------------------------
// Matrices

FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* pM) {
  return static_cast<FLOAT>(Cofactors(*pM).determinant);
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
  D3DXMATRIX out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      out.m[r][c] = pM1->m[r][0] * pM2->m[0][c] + pM1->m[r][1] * pM2->m[1][c] +
                    pM1->m[r][2] * pM2->m[2][c] + pM1->m[r][3] * pM2->m[3][c];
    }
  }
  *pOut = out;
  return pOut;
}

D3DXMATRIX* D3DXMatrixMultiplyTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM1,
                                        const D3DXMATRIX* pM2) {
  D3DXMatrixMultiply(pOut, pM1, pM2);
  return D3DXMatrixTranspose(pOut, pOut);
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
  D3DXMATRIX out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out.m[r][c] = pM->m[c][r];
  *pOut = out;
  return pOut;
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, const D3DXMATRIX* pM) {
  const Cofactors cof(*pM);
  if (pDeterminant) *pDeterminant = static_cast<FLOAT>(cof.determinant);
  if (cof.determinant == 0.0 || !std::isfinite(cof.determinant)) return nullptr;
  const double inv = 1.0 / cof.determinant;
  D3DXMATRIX out;
  // The inverse is the transposed cofactor matrix over the determinant.
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out.m[r][c] = static_cast<FLOAT>(cof.c[c][r] * inv);
  *pOut = out;
  return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz) {
  *pOut = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z) {
  *pOut = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT angle) {
  const SinCos a(angle);
  *pOut = D3DXMATRIX(1, 0, 0, 0, 0, a.c, a.s, 0, 0, -a.s, a.c, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT angle) {
  const SinCos a(angle);
  *pOut = D3DXMATRIX(a.c, 0, -a.s, 0, 0, 1, 0, 0, a.s, 0, a.c, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT angle) {
  const SinCos a(angle);
  *pOut = D3DXMATRIX(a.c, a.s, 0, 0, -a.s, a.c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, FLOAT angle) {
  D3DXVECTOR3 v;
  D3DXVec3Normalize(&v, pV);
  const SinCos a(angle);
  const FLOAT t = 1.0f - a.c;
  *pOut = D3DXMATRIX(t * v.x * v.x + a.c, t * v.x * v.y + a.s * v.z, t * v.x * v.z - a.s * v.y, 0,
                     t * v.x * v.y - a.s * v.z, t * v.y * v.y + a.c, t * v.y * v.z + a.s * v.x, 0,
                     t * v.x * v.z + a.s * v.y, t * v.y * v.z - a.s * v.x, t * v.z * v.z + a.c, 0,
                     0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ) {
  const FLOAT x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
  *pOut = D3DXMATRIX(1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w), 0,
                     2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w), 0,
                     2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y), 0,
                     0, 0, 0, 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, FLOAT yaw, FLOAT pitch, FLOAT roll) {
  D3DXMATRIX r, p, y;
  D3DXMatrixRotationZ(&r, roll);
  D3DXMatrixRotationX(&p, pitch);
  D3DXMatrixRotationY(&y, yaw);
  D3DXMatrixMultiply(&r, &r, &p);
  return D3DXMatrixMultiply(pOut, &r, &y);
}

D3DXMATRIX* D3DXMatrixAffineTransformation(D3DXMATRIX* pOut, FLOAT scaling,
                                           const D3DXVECTOR3* pRotationCenter,
                                           const D3DXQUATERNION* pRotation,
                                           const D3DXVECTOR3* pTranslation) {
  D3DXMATRIX out;
  D3DXMatrixScaling(&out, scaling, scaling, scaling);
  if (pRotation) {
    D3DXMATRIX rotation;
    D3DXMatrixRotationQuaternion(&rotation, pRotation);
    if (pRotationCenter) {
      D3DXMATRIX to, back;
      D3DXMatrixTranslation(&to, -pRotationCenter->x, -pRotationCenter->y, -pRotationCenter->z);
      D3DXMatrixTranslation(&back, pRotationCenter->x, pRotationCenter->y, pRotationCenter->z);
      rotation = to * rotation * back;
    }
    out *= rotation;
  }
  if (pTranslation) {
    out._41 += pTranslation->x;
    out._42 += pTranslation->y;
    out._43 += pTranslation->z;
  }
  *pOut = out;
  return pOut;
}

D3DXMATRIX* D3DXMatrixTransformation(D3DXMATRIX* pOut, const D3DXVECTOR3* pScalingCenter,
                                     const D3DXQUATERNION* pScalingRotation,
                                     const D3DXVECTOR3* pScaling,
                                     const D3DXVECTOR3* pRotationCenter,
                                     const D3DXQUATERNION* pRotation,
                                     const D3DXVECTOR3* pTranslation) {
  D3DXMATRIX out, step;
  D3DXMatrixIdentity(&out);
  if (pScaling) {
    D3DXMATRIX toCentre, scaleAxes;
    D3DXMatrixIdentity(&toCentre);
    D3DXMatrixIdentity(&scaleAxes);
    if (pScalingCenter) {
      D3DXMatrixTranslation(&toCentre, -pScalingCenter->x, -pScalingCenter->y, -pScalingCenter->z);
    }
    if (pScalingRotation) D3DXMatrixRotationQuaternion(&scaleAxes, pScalingRotation);
    D3DXMATRIX fromCentre, fromAxes;
    D3DXMatrixInverse(&fromCentre, nullptr, &toCentre);
    D3DXMatrixTranspose(&fromAxes, &scaleAxes);  // a rotation's inverse
    D3DXMatrixScaling(&step, pScaling->x, pScaling->y, pScaling->z);
    out = toCentre * fromAxes * step * scaleAxes * fromCentre;
  }
  if (pRotation) {
    D3DXMatrixRotationQuaternion(&step, pRotation);
    if (pRotationCenter) {
      D3DXMATRIX to, back;
      D3DXMatrixTranslation(&to, -pRotationCenter->x, -pRotationCenter->y, -pRotationCenter->z);
      D3DXMatrixTranslation(&back, pRotationCenter->x, pRotationCenter->y, pRotationCenter->z);
      step = to * step * back;
    }
    out *= step;
  }
  if (pTranslation) {
    out._41 += pTranslation->x;
    out._42 += pTranslation->y;
    out._43 += pTranslation->z;
  }
  *pOut = out;
  return pOut;
}

HRESULT D3DXMatrixDecompose(D3DXVECTOR3* pOutScale, D3DXQUATERNION* pOutRotation,
                            D3DXVECTOR3* pOutTranslation, const D3DXMATRIX* pM) {
  const D3DXMATRIX m = *pM;
  D3DXVECTOR3 rows[3] = {D3DXVECTOR3(m._11, m._12, m._13), D3DXVECTOR3(m._21, m._22, m._23),
                         D3DXVECTOR3(m._31, m._32, m._33)};
  D3DXVECTOR3 scale(D3DXVec3Length(&rows[0]), D3DXVec3Length(&rows[1]), D3DXVec3Length(&rows[2]));
  if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) return D3DERR_INVALIDCALL;
  // A mirrored matrix keeps its handedness in a negative x scale.
  D3DXVECTOR3 cross;
  D3DXVec3Cross(&cross, &rows[0], &rows[1]);
  if (D3DXVec3Dot(&cross, &rows[2]) < 0.0f) scale.x = -scale.x;
  D3DXMATRIX rotation(m._11 / scale.x, m._12 / scale.x, m._13 / scale.x, 0,
                      m._21 / scale.y, m._22 / scale.y, m._23 / scale.y, 0,
                      m._31 / scale.z, m._32 / scale.z, m._33 / scale.z, 0,
                      0, 0, 0, 1);
  if (pOutScale) *pOutScale = scale;
  if (pOutRotation) D3DXQuaternionRotationMatrix(pOutRotation, &rotation);
  if (pOutTranslation) *pOutTranslation = D3DXVECTOR3(m._41, m._42, m._43);
  return D3D_OK;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp) {
  D3DXVECTOR3 zaxis = *pAt - *pEye, xaxis, yaxis;
  D3DXVec3Normalize(&zaxis, &zaxis);
  D3DXVec3Cross(&xaxis, pUp, &zaxis);
  D3DXVec3Normalize(&xaxis, &xaxis);
  D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
  *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0,
                     xaxis.y, yaxis.y, zaxis.y, 0,
                     xaxis.z, yaxis.z, zaxis.z, 0,
                     -D3DXVec3Dot(&xaxis, pEye), -D3DXVec3Dot(&yaxis, pEye),
                     -D3DXVec3Dot(&zaxis, pEye), 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp) {
  // The right-handed view looks down −z: the same as LH looking away from the target.
  const D3DXVECTOR3 mirroredAt = *pEye * 2.0f - *pAt;
  D3DXMatrixLookAtLH(pOut, pEye, &mirroredAt, pUp);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT aspect, FLOAT zn,
                                       FLOAT zf) {
  const FLOAT yScale = 1.0f / std::tan(fovy / 2.0f);
  const FLOAT xScale = yScale / aspect;
  *pOut = D3DXMATRIX(xScale, 0, 0, 0,
                     0, yScale, 0, 0,
                     0, 0, zf / (zf - zn), 1,
                     0, 0, -zn * zf / (zf - zn), 0);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT aspect, FLOAT zn,
                                       FLOAT zf) {
  const FLOAT yScale = 1.0f / std::tan(fovy / 2.0f);
  const FLOAT xScale = yScale / aspect;
  *pOut = D3DXMATRIX(xScale, 0, 0, 0,
                     0, yScale, 0, 0,
                     0, 0, zf / (zn - zf), -1,
                     0, 0, zn * zf / (zn - zf), 0);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
  *pOut = D3DXMATRIX(2.0f * zn / w, 0, 0, 0,
                     0, 2.0f * zn / h, 0, 0,
                     0, 0, zf / (zf - zn), 1,
                     0, 0, zn * zf / (zn - zf), 0);
  return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
  *pOut = D3DXMATRIX(2.0f / w, 0, 0, 0,
                     0, 2.0f / h, 0, 0,
                     0, 0, 1.0f / (zf - zn), 0,
                     0, 0, zn / (zn - zf), 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
  *pOut = D3DXMATRIX(2.0f / w, 0, 0, 0,
                     0, 2.0f / h, 0, 0,
                     0, 0, 1.0f / (zn - zf), 0,
                     0, 0, zn / (zn - zf), 1);
  return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t,
                                       FLOAT zn, FLOAT zf) {
  *pOut = D3DXMATRIX(2.0f / (r - l), 0, 0, 0,
                     0, 2.0f / (t - b), 0, 0,
                     0, 0, 1.0f / (zf - zn), 0,
                     (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
  return pOut;
}

// ---------------------------------------------------------------------------
// Quaternions

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1,
                                       const D3DXQUATERNION* pQ2) {
  // The Hamilton product q2·q1, so that q1's rotation is applied first, as with
  // the row-vector matrices.
  const D3DXQUATERNION a = *pQ2, b = *pQ1;
  *pOut = D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                         a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                         a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                         a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ) {
  const FLOAT length = D3DXQuaternionLength(pQ);
  if (length == 0.0f) {
    *pOut = D3DXQUATERNION(0, 0, 0, 0);
  } else {
    *pOut = *pQ / length;
  }
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionInverse(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ) {
  const FLOAT lengthSq = D3DXQuaternionLengthSq(pQ);
  if (lengthSq == 0.0f) {
    *pOut = D3DXQUATERNION(0, 0, 0, 0);
  } else {
    const FLOAT inv = 1.0f / lengthSq;
    *pOut = D3DXQUATERNION(-pQ->x * inv, -pQ->y * inv, -pQ->z * inv, pQ->w * inv);
  }
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV,
                                           FLOAT angle) {
  D3DXVECTOR3 v;
  D3DXVec3Normalize(&v, pV);
  const SinCos half(angle / 2.0f);
  *pOut = D3DXQUATERNION(v.x * half.s, v.y * half.s, v.z * half.s, half.c);
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* pOut, const D3DXMATRIX* pM) {
  const D3DXMATRIX& m = *pM;
  const FLOAT trace = m._11 + m._22 + m._33;
  D3DXQUATERNION q;
  // Divide by the largest of the four candidates for accuracy.
  if (trace > 0.0f) {
    const FLOAT s = 2.0f * std::sqrt(trace + 1.0f);  // 4w
    q = D3DXQUATERNION((m._23 - m._32) / s, (m._31 - m._13) / s, (m._12 - m._21) / s, 0.25f * s);
  } else if (m._11 >= m._22 && m._11 >= m._33) {
    const FLOAT s = 2.0f * std::sqrt(1.0f + m._11 - m._22 - m._33);  // 4x
    q = D3DXQUATERNION(0.25f * s, (m._12 + m._21) / s, (m._13 + m._31) / s, (m._23 - m._32) / s);
  } else if (m._22 >= m._33) {
    const FLOAT s = 2.0f * std::sqrt(1.0f + m._22 - m._11 - m._33);  // 4y
    q = D3DXQUATERNION((m._12 + m._21) / s, 0.25f * s, (m._23 + m._32) / s, (m._31 - m._13) / s);
  } else {
    const FLOAT s = 2.0f * std::sqrt(1.0f + m._33 - m._11 - m._22);  // 4z
    q = D3DXQUATERNION((m._13 + m._31) / s, (m._23 + m._32) / s, 0.25f * s, (m._12 - m._21) / s);
  }
  *pOut = q;
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* pOut, FLOAT yaw, FLOAT pitch,
                                                   FLOAT roll) {
  const D3DXVECTOR3 xAxis(1, 0, 0), yAxis(0, 1, 0), zAxis(0, 0, 1);
  D3DXQUATERNION r, p, y;
  D3DXQuaternionRotationAxis(&r, &zAxis, roll);
  D3DXQuaternionRotationAxis(&p, &xAxis, pitch);
  D3DXQuaternionRotationAxis(&y, &yAxis, yaw);
  D3DXQuaternionMultiply(&r, &r, &p);
  return D3DXQuaternionMultiply(pOut, &r, &y);
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1,
                                    const D3DXQUATERNION* pQ2, FLOAT t) {
  FLOAT cosine = D3DXQuaternionDot(pQ1, pQ2);
  // q and −q are the same rotation; take the one on the shorter arc.
  FLOAT sign = 1.0f;
  if (cosine < 0.0f) {
    cosine = -cosine;
    sign = -1.0f;
  }
  FLOAT w1 = 1.0f - t, w2 = t;
  // Nearly equal rotations: sin(angle) vanishes, so blend linearly instead.
  if (1.0f - cosine > 0.001f) {
    const FLOAT angle = std::acos(cosine);
    const FLOAT sine = std::sin(angle);
    w1 = std::sin((1.0f - t) * angle) / sine;
    w2 = std::sin(t * angle) / sine;
  }
  w2 *= sign;
  *pOut = D3DXQUATERNION(w1 * pQ1->x + w2 * pQ2->x, w1 * pQ1->y + w2 * pQ2->y,
                         w1 * pQ1->z + w2 * pQ2->z, w1 * pQ1->w + w2 * pQ2->w);
  return pOut;
}

void D3DXQuaternionToAxisAngle(const D3DXQUATERNION* pQ, D3DXVECTOR3* pAxis, FLOAT* pAngle) {
  if (pAxis) *pAxis = D3DXVECTOR3(pQ->x, pQ->y, pQ->z);
  // Rounding can push w of a unit quaternion just past ±1.
  const FLOAT w = pQ->w > 1.0f ? 1.0f : pQ->w < -1.0f ? -1.0f : pQ->w;
  if (pAngle) *pAngle = 2.0f * std::acos(w);
}

// ---------------------------------------------------------------------------
// Planes

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* pOut, const D3DXVECTOR3* pPoint,
                                    const D3DXVECTOR3* pNormal) {
  *pOut = D3DXPLANE(pNormal->x, pNormal->y, pNormal->z, -D3DXVec3Dot(pPoint, pNormal));
  return pOut;
}
