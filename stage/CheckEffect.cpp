#include "stage/CheckEffect.h"

#include <cstdlib>

#include "app/GraphicsDevice.h"
#include "app/SoundManager.h"
#include "camera/Camera.h"
#include "render/Polygon.h"
#include "render/ResourceCache.h"
#include "common/RunningScene.h"

namespace {

constexpr char kSparkPicture[] = "data/texture/checkeffect.png";
constexpr int kSparkSound = 7;          // "flag_effect.wav"
constexpr int kOverlappingPlay = 2;
constexpr float kGameSparkScale = 0.002f;   // world units per picture pixel
constexpr float kTitleSparkScale = 0.0004f;
constexpr float kTitleSpeed = 0.2f;

// One of −1.0, −0.8, …, 1.0.
float RandomGridSpeed() { return float(std::rand() % 11 - 5) / 5.0f; }

}  // namespace

CheckEffect::CheckEffect(const D3DXMATRIX& m)
    : texture(g_resourceCache ? g_resourceCache->GetTexture(kSparkPicture) : nullptr),
      alpha(255) {
  polygon = new CPolygon(texture ? texture->texture : nullptr);
  const RunningScene* scene = CurrentScene();
  const bool onTitle = scene && scene->SceneId() == kSceneTitle;
  const float f = onTitle ? kTitleSparkScale : kGameSparkScale;
  const float halfWidth = f * float(texture ? texture->info.Width : 0) / 2.0f;
  const float halfHeight = f * float(texture ? texture->info.Height : 0) / 2.0f;
  const CPolygon::Vertex corners[4] = {
      {-halfWidth, halfHeight, 0, 0xFFFFFFFF, 0, 0},
      {halfWidth, halfHeight, 0, 0xFFFFFFFF, 1, 0},
      {halfWidth, -halfHeight, 0, 0xFFFFFFFF, 1, 1},
      {-halfWidth, -halfHeight, 0, 0xFFFFFFFF, 0, 1},
  };
  for (int i = 0; i < 4; ++i) polygon->vertices[i] = corners[i];
  polygon->position = D3DXVECTOR3(m._41, m._42, m._43);

  // Drawn one after the other, x first.
  velocity.x = RandomGridSpeed();
  velocity.y = RandomGridSpeed();
  velocity.z = RandomGridSpeed();
  if (onTitle) velocity *= kTitleSpeed;
  D3DXMatrixIdentity(&scale);
  D3DXMatrixIdentity(&travel);
}

CheckEffect::~CheckEffect() { delete polygon; }

void CheckEffect::Update() {
  D3DXMATRIX step;
  D3DXMatrixTranslation(&step, velocity.x, velocity.y, velocity.z);
  travel = step * travel;
  alpha -= 5;
  if (g_soundManager) g_soundManager->Play(kSparkSound, kOverlappingPlay);
  if (alpha < 0) alpha = 0;
}

void CheckEffect::Draw() {
  // The camera's turn without its place: the quad faces the camera.
  D3DXMATRIX facing;
  D3DXMatrixIdentity(&facing);
  const RunningScene* scene = CurrentScene();
  if (const CCamera* camera = scene ? scene->Camera() : nullptr) facing = camera->world;
  facing._41 = facing._42 = facing._43 = 0.0f;
  polygon->orientation = facing * scale * travel;
  const D3DCOLOR colour = (D3DCOLOR(alpha) << 24) | 0xFFFFFF;
  for (CPolygon::Vertex& vertex : polygon->vertices) vertex.colour = colour;
  polygon->Draw();
}
