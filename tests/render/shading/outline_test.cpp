// Skinned drawing through the toon effect: the outline follows the skeleton, takes
// the given colour and keeps the last one; tints work on the material's grey;
// containers without skin information are drawn rigidly at the object's place.
#include <memory>
#include <sstream>

#include "render/MeshObject.h"
#include "render/SkinMesh.h"
#include "render/ToonShader.h"
#include "shading_fixture.h"

namespace shading {
namespace {

using Korvex::CMeshObject;
using Korvex::CSkinMesh;

// A ball of radius 0.5 skinned entirely to the bone "Bone" (identity offset), and
// a rigid ball (no skin information) under the frame "Prop".
std::string SkinnedModel(bool withProp) {
  std::string sphere = SphereModel(0.5f, 24, 12);
  // SphereModel writes a whole file; take its Mesh block and add the weights.
  const std::size_t begin = sphere.find("Mesh sphere");
  std::string mesh = sphere.substr(begin);
  mesh = mesh.substr(0, mesh.rfind('}'));
  const int vertexCount = 25 * 13;
  std::ostringstream weights;
  weights << "SkinWeights { \"Bone\"; " << vertexCount << "; ";
  for (int i = 0; i < vertexCount; ++i) weights << i << (i + 1 == vertexCount ? ";" : ",");
  for (int i = 0; i < vertexCount; ++i) weights << "1" << (i + 1 == vertexCount ? ";" : ",");
  weights << " 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n";
  std::string model = "xof 0303txt 0032\nFrame Root {\n"
                      "  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n"
                      "  Frame Bone { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, "
                      "0,0,0,1;; } }\n" +
                      mesh + weights.str() + "}\n}\n";
  if (withProp) {
    std::string prop = mesh;
    prop.replace(prop.find("Mesh sphere"), 11, "Mesh prop");
    model += "Frame Prop {\n" + prop + "}\n}\n";
  }
  return model;
}

class OutlineTest : public ShadingTest {
 protected:
  void SetUp() override {
    ShadingTest::SetUp();
    if (HasFatalFailure()) return;
    WriteThreeBandRamp("data/texture/shader/Toon.png");
    ASSERT_TRUE(toon_.Create());
    const D3DXVECTOR3 direction(0, -1, 1);
    const D3DXCOLOR white(1, 1, 1, 1), grey(0.5f, 0.5f, 0.5f, 1);
    CGraphicsDevice::GetInstance().SetDirectionalLight(0, &direction, &white, &grey, &white);
    SetCamera(D3DXVECTOR3(0, 0, -4), D3DXVECTOR3(0, 0, 0));
  }
  void TearDown() override {
    object_.reset();
    mesh_.reset();
    toon_.Destroy();
    ShadingTest::TearDown();
  }

  void Load(bool withProp) {
    WriteText("model/ball.x", SkinnedModel(withProp));
    mesh_ = std::make_shared<CSkinMesh>();
    ASSERT_TRUE(mesh_->Load("model/ball.x"));
    object_ = std::make_unique<CMeshObject>();
    ASSERT_TRUE(object_->Init(mesh_));
  }

  // Moves the bone (and so the skinned ball) to x and updates the skeleton.
  void PlaceBone(float x) {
    CMeshObject::BoneNode* bone = object_->FindBone("Bone");
    ASSERT_NE(bone, nullptr);
    D3DXMatrixTranslation(&bone->localMatrix, x, 0, 0);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    object_->Update(identity);
  }

  template <typename Draw>
  std::vector<std::uint32_t> Frame(Draw draw) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF0000FF,
                   1.0f, 0);
    device_->BeginScene();
    toon_.SetFrameParameters();
    toon_.BeginSceneTargets();
    draw();
    toon_.EndSceneTargets();
    device_->EndScene();
    return ReadPixels(toon_.GetTargetA()->surface);
  }

  Rgb PixelAt(const std::vector<std::uint32_t>& pixels, const D3DXVECTOR3& point) {
    int x = 0, y = 0;
    Project(point, &x, &y);
    return Split(At(pixels, x, y));
  }

  CToonShader toon_;
  std::shared_ptr<CSkinMesh> mesh_;
  std::unique_ptr<CMeshObject> object_;
  D3DXMATRIX world_ = [] {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
  }();
};

bool Is(const Rgb& c, int r, int g, int b) {
  return std::abs(c.r - r) <= 2 && std::abs(c.g - g) <= 2 && std::abs(c.b - b) <= 2;
}

TEST_F(OutlineTest, OutlineFollowsTheSkeletonInTheGivenColourAndKeepsIt) {
  Load(false);
  PlaceBone(1.0f);
  const D3DXCOLOR red(1, 0, 0, 1), green(0, 1, 0, 1);
  const D3DXCOLOR body(1, 1, 1, 1);

  std::vector<std::uint32_t> pixels = Frame([&] {
    toon_.DrawSkinned(object_.get(), world_, &body);
    toon_.DrawOutline(object_.get(), world_, &red);
  });
  Save("outline_red", pixels, kW, kH);
  // The ball sits where the bone took it, not at its rest place.
  EXPECT_FALSE(Is(PixelAt(pixels, D3DXVECTOR3(1.0f, 0, -0.5f)), 0, 0, 0));
  EXPECT_LE(PixelAt(pixels, D3DXVECTOR3(0, 0, 0)).a, 2) << "nothing at the rest position";
  // Going right from the ball's centre: body, then a thin red rim, then nothing.
  int cx = 0, cy = 0;
  Project(D3DXVECTOR3(1.0f, 0, 0), &cx, &cy);
  int firstRed = -1, lastRed = -1;
  for (int x = cx; x < kW; ++x) {
    if (Is(Split(At(pixels, x, cy)), 255, 0, 0)) {
      if (firstRed < 0) firstRed = x;
      lastRed = x;
    }
  }
  ASSERT_GT(firstRed, cx + 2) << "the body covers the outline inside";
  EXPECT_LE(lastRed - firstRed, 5) << "the outline is a rim of a few pixels";
  EXPECT_LE(Split(At(pixels, std::min(lastRed + 2, kW - 1), cy)).a, 2);

  // No colour given: the outline keeps red; then a new colour replaces it.
  pixels = Frame([&] { toon_.DrawOutline(object_.get(), world_, nullptr); });
  EXPECT_TRUE(Is(PixelAt(pixels, D3DXVECTOR3(1.0f, 0, -0.5f)), 255, 0, 0));
  pixels = Frame([&] { toon_.DrawOutline(object_.get(), world_, &green); });
  EXPECT_TRUE(Is(PixelAt(pixels, D3DXVECTOR3(1.0f, 0, -0.5f)), 0, 255, 0));
  pixels = Frame([&] { toon_.DrawOutline(object_.get(), world_); });
  Save("outline_kept_green", pixels, kW, kH);
  EXPECT_TRUE(Is(PixelAt(pixels, D3DXVECTOR3(1.0f, 0, -0.5f)), 0, 255, 0));

  // Moved again, the outline goes along.
  PlaceBone(-1.0f);
  pixels = Frame([&] { toon_.DrawOutline(object_.get(), world_); });
  EXPECT_TRUE(Is(PixelAt(pixels, D3DXVECTOR3(-1.0f, 0, -0.5f)), 0, 255, 0));
  EXPECT_LE(PixelAt(pixels, D3DXVECTOR3(1.0f, 0, -0.5f)).a, 2);
}

TEST_F(OutlineTest, WhiteTintGivesTheMaterialsGreyAndSpecularFollowsTheTint) {
  Load(false);
  PlaceBone(0.0f);
  // The ball's material is white already; use a coloured one.
  D3DMATERIAL9& material = mesh_->meshContainers[0]->pMaterials[0].MatD3D;
  material.Diffuse = {1.0f, 0.0f, 0.0f, 1.0f};
  const D3DXCOLOR white(1, 1, 1, 1);
  Frame([&] { toon_.DrawSkinned(object_.get(), world_, &white); });
  D3DXVECTOR4 diffuse, specular;
  toon_.GetEffect()->GetVector("MateDiffuse", &diffuse);
  toon_.GetEffect()->GetVector("MateSpecular", &specular);
  EXPECT_FLOAT_EQ(diffuse.x, 306.0f / 1024.0f);
  EXPECT_FLOAT_EQ(diffuse.y, 306.0f / 1024.0f);
  EXPECT_FLOAT_EQ(specular.x, 1.0f);

  const D3DXCOLOR halfGrey(0.5f, 0.5f, 0.5f, 1.0f);  // a grey tint is still multiplied in
  Frame([&] { toon_.DrawSkinned(object_.get(), world_, &halfGrey); });
  toon_.GetEffect()->GetVector("MateDiffuse", &diffuse);
  toon_.GetEffect()->GetVector("MateSpecular", &specular);
  EXPECT_FLOAT_EQ(diffuse.x, 0.5f * 306.0f / 1024.0f);
  EXPECT_FLOAT_EQ(specular.x, 0.75f);

  Frame([&] { toon_.DrawSkinned(object_.get(), world_); });  // no tint: the material itself
  toon_.GetEffect()->GetVector("MateDiffuse", &diffuse);
  EXPECT_FLOAT_EQ(diffuse.x, 1.0f);
  EXPECT_FLOAT_EQ(diffuse.y, 0.0f);
}

TEST_F(OutlineTest, ContainerWithoutSkinIsDrawnAtTheObjectsPlace) {
  Load(true);
  PlaceBone(-1.0f);
  ASSERT_EQ(mesh_->meshContainers.size(), 2u);
  ASSERT_EQ(mesh_->meshContainers[1]->pSkinInfo, nullptr);
  D3DXMATRIX world;
  D3DXMatrixTranslation(&world, 1.0f, 0.0f, 0.0f);
  const std::vector<std::uint32_t> pixels =
      Frame([&] { toon_.DrawSkinned(object_.get(), world); });
  Save("rigid_prop_and_skinned_ball", pixels, kW, kH);
  EXPECT_GT(PixelAt(pixels, D3DXVECTOR3(1.0f, 0, -0.5f)).a, 250) << "the prop at the world place";
  EXPECT_GT(PixelAt(pixels, D3DXVECTOR3(-1.0f, 0, -0.5f)).a, 250) << "the skinned ball";
}

}  // namespace
}  // namespace shading
