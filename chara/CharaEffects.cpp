#include "chara/CharaEffects.h"

#include <cmath>
#include <cstdlib>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "common/RunningScene.h"
#include "chara/Slime.h"
#include "render/ResourceCache.h"
#include "stage/MapObjectStruct.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

CTexture* CachedTexture(const char* fileName) {
  return g_resourceCache ? g_resourceCache->GetTexture(fileName) : nullptr;
}

float TextureWidth(const CTexture* texture) {
  return texture ? static_cast<float>(texture->info.Width) : 0.0f;
}

float TextureHeight(const CTexture* texture) {
  return texture ? static_cast<float>(texture->info.Height) : 0.0f;
}

IDirect3DTexture9* TextureOf(const CTexture* texture) {
  return texture ? texture->texture : nullptr;
}

D3DXMATRIX Identity() {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  return identity;
}

// The slime whose effects these are: the player in the game scene, the title
// slime elsewhere.
const CSlime* Owner() {
  const RunningScene* scene = CurrentScene();
  return scene ? scene->Slime() : nullptr;
}

D3DXMATRIX OwnerWorld() {
  const CSlime* owner = Owner();
  return owner ? owner->world : Identity();
}

bool SceneFading() {
  const RunningScene* scene = CurrentScene();
  return scene && scene->Fading();
}

D3DXMATRIX CameraWorld() {
  const RunningScene* scene = CurrentScene();
  const CCamera* camera = scene ? scene->Camera() : nullptr;
  return camera ? camera->world : Identity();
}

void SetCorner(CPolygon::Vertex* vertex, float x, float y, float z, float u, float v,
               D3DCOLOR colour) {
  vertex->x = x;
  vertex->y = y;
  vertex->z = z;
  vertex->u = u;
  vertex->v = v;
  vertex->colour = colour;
}

// The rotation that turns the y axis onto `normal`. Normals along y need no
// axis (straight up: nothing to turn; straight down: half a turn about x).
D3DXMATRIX AlignUpWith(const D3DXVECTOR3& normal) {
  D3DXMATRIX align;
  const D3DXVECTOR3 up(0, 1, 0);
  D3DXVECTOR3 axis;
  D3DXVec3Cross(&axis, &up, &normal);
  if (D3DXVec3Length(&axis) < 1e-6f) {
    if (normal.y < 0) {
      D3DXMatrixRotationX(&align, D3DX_PI);
    } else {
      D3DXMatrixIdentity(&align);
    }
    return align;
  }
  D3DXVec3Normalize(&axis, &axis);
  const float cosine = std::fmax(-1.0f, std::fmin(1.0f, normal.y));
  D3DXMatrixRotationAxis(&align, &axis, std::acos(cosine));
  return align;
}

}  // namespace

TrailParticle::TrailParticle(const D3DXVECTOR3& position, const D3DXVECTOR3& /*velocity*/)
    : texture(CachedTexture(CharaEffects::kTrailTexture)), drift(0, 0, 0), alpha(255) {
  quad.texture = TextureOf(texture);
  const float w = TextureWidth(texture) * 0.002f;
  const float h = TextureHeight(texture) * 0.002f;
  const D3DCOLOR white = 0xFFFFFFFF;
  SetCorner(&quad.vertices[0], -w / 2, h / 2, 0, 0, 0, white);
  SetCorner(&quad.vertices[1], w / 2, h / 2, 0, 1, 0, white);
  SetCorner(&quad.vertices[2], w / 2, -h / 2, 0, 1, 1, white);
  SetCorner(&quad.vertices[3], -w / 2, -h / 2, 0, 0, 1, white);

  // A random tilt first, then the scatter, both in the owner's axes.
  const float tilt = static_cast<float>(std::rand() % 31 - 15);
  D3DXVECTOR3 scatter(static_cast<float>(std::rand() % 11 - 5) / 10.0f, 0,
                      static_cast<float>(std::rand() % 11 - 5) / 10.0f);
  D3DXMATRIX turn;
  D3DXMatrixRotationZ(&turn, tilt * kDegreesToRadians);
  const D3DXMATRIX ownerWorld = OwnerWorld();
  D3DXMatrixMultiply(&turn, &turn, &ownerWorld);
  D3DXVec3TransformNormal(&scatter, &scatter, &turn);
  quad.position = position + scatter;

  // The title slime's sprites are as small as the slime itself.
  const RunningScene* scene = CurrentScene();
  const CSlime* owner = Owner();
  const float s = scene && scene->SceneId() != kSceneGame && owner ? owner->size : 1.0f;
  D3DXMatrixScaling(&scale, s, s, s);
}

RingEffect::RingEffect(const D3DXVECTOR3& position, const D3DXVECTOR3& normal, int ringMode)
    : texture(CachedTexture(CharaEffects::kRingTexture)),
      texture2(CachedTexture(CharaEffects::kRingTexture2)),
      scale(1, 1, 1),
      platform(nullptr),
      settled(ringMode == 1),
      mode(ringMode),
      spin(0),
      growth(0.1f) {
  // One of the texture's ten columns, at random.
  quad.texture = TextureOf(texture);
  const float w = TextureWidth(texture) / 10.0f * 0.02f;
  const float h = TextureHeight(texture) * 0.02f;
  const float c = static_cast<float>(std::rand() % 10) / 10.0f;
  const D3DCOLOR white = 0xFFFFFFFF;
  SetCorner(&quad.vertices[0], -w / 2, 0, h / 2, c, 0, white);
  SetCorner(&quad.vertices[1], w / 2, 0, h / 2, c + 0.1f, 0, white);
  SetCorner(&quad.vertices[2], w / 2, 0, -h / 2, c + 0.1f, 1, white);
  SetCorner(&quad.vertices[3], -w / 2, 0, -h / 2, c, 1, white);
  quad.position = position;

  align = AlignUpWith(normal);
  D3DXMatrixTranslation(&place, 0, 0.5f, 0);
  const CSlime* owner = Owner();
  platform = owner ? owner->standingOn : nullptr;
  spin = static_cast<float>(std::rand() % 360);
}

D3DXMATRIX RingEffect::RingMatrix() const {
  D3DXMATRIX m, turn;
  D3DXMatrixScaling(&m, scale.x, scale.y, scale.z);
  D3DXMatrixRotationY(&turn, spin * kDegreesToRadians);
  D3DXMatrixMultiply(&m, &m, &turn);
  D3DXMatrixMultiply(&m, &m, &align);
  D3DXMatrixMultiply(&m, &m, &place);
  return m;
}

CharaEffects::CharaEffects() {
  const CApplication& app = CApplication::GetInstance();
  const UINT width = static_cast<UINT>(app.clientWidth > 0 ? app.clientWidth : 1);
  const UINT height = static_cast<UINT>(app.clientHeight > 0 ? app.clientHeight : 1);
  if (CGraphicsDevice::GetInstance().device) {
    ringTarget.Create(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    distortTarget.Create(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                         D3DPOOL_DEFAULT);
  }
}

CharaEffects::~CharaEffects() { Clear(); }

void CharaEffects::AddTrail(const D3DXVECTOR3& position, const D3DXVECTOR3& velocity) {
  if (SceneFading()) return;
  trails.push_back(new TrailParticle(position, velocity));
}

void CharaEffects::AddRing(const D3DXVECTOR3& position, const D3DXVECTOR3& normal, int mode) {
  rings.push_back(new RingEffect(position, normal, mode));
}

void CharaEffects::Update() {
  for (RingEffect* ring : rings) {
    if (ring->platform && ring->platform->kind == MAP_OBJECT_MOVE) {
      D3DXMatrixMultiply(&ring->place, &ring->place, &ring->platform->motion);
    }
    if (!ring->settled) {
      ring->scale.x += ring->growth;
      ring->scale.z += ring->growth;
      ring->growth *= 0.92f;
      if (ring->growth < 0.0001f) {
        ring->growth = 0.0001f;
        ring->settled = true;
      }
    } else if (ring->scale.x > 0) {
      const float shrink = ring->mode == 1 ? 0.005f : 0.01f;
      ring->scale.x -= shrink;
      ring->scale.z -= shrink;
      if (ring->scale.x < 0) ring->scale = D3DXVECTOR3(0, 1, 0);
    }
  }
  rings.remove_if([](RingEffect* ring) {
    if (ring->scale.x > 0) return false;
    delete ring;
    return true;
  });

  const bool fading = SceneFading();
  const D3DXMATRIX ownerWorld = OwnerWorld();
  D3DXMATRIX stretch;
  D3DXMatrixScaling(&stretch, 1, 1.1f, 1);
  for (TrailParticle* trail : trails) {
    // While the screen fades the sprites hang still, but they fade all the same.
    if (!fading) {
      D3DXVECTOR3 step;
      D3DXVec3TransformNormal(&step, &trail->drift, &ownerWorld);
      trail->quad.position += step;
      trail->drift.y -= 0.02f;
      D3DXMatrixMultiply(&trail->scale, &trail->scale, &stretch);
    }
    trail->alpha = trail->alpha > 10 ? trail->alpha - 10 : 0;
  }
  trails.remove_if([](TrailParticle* trail) {
    if (trail->alpha > 0) return false;
    delete trail;
    return true;
  });
}

void CharaEffects::Clear() {
  for (TrailParticle* trail : trails) delete trail;
  trails.clear();
  for (RingEffect* ring : rings) delete ring;
  rings.clear();
}

void CharaEffects::Draw() {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (!device) return;
  DrawTrails(device);
  // In software drawing the pass costs a full-screen copy and a full-screen
  // draw, some 8 ms a frame, however little it distorts.
  if (distortionMarked) DrawDistortion();
  DrawRingMask(device);
  DrawTint(device);
}

void CharaEffects::DrawOverScene() {
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  IDirect3DDevice9* device = graphics.device;
  if (!device) return;
  CToonShader& toon = CApplication::GetInstance().toonShader;
  device->SetRenderTarget(2, nullptr);
  if (ID3DXEffect* effect = toon.GetEffect()) {
    effect->SetTexture("DepthTex", toon.GetTargetC()->GetTexture());
  }
  graphics.Begin2D();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  Draw();
  graphics.End2D();
}

void CharaEffects::DrawTrails(IDirect3DDevice9* device) {
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  // Facing the camera: its turn without its place, then the sprite's stretch
  // along the world's y axis.
  D3DXMATRIX facing = CameraWorld();
  facing._41 = facing._42 = facing._43 = 0;
  for (TrailParticle* trail : trails) {
    D3DXMatrixMultiply(&trail->quad.orientation, &facing, &trail->scale);
    const D3DCOLOR colour = D3DCOLOR_ARGB(trail->alpha, 0xFF, 0xFF, 0xFF);
    for (CPolygon::Vertex& vertex : trail->quad.vertices) vertex.colour = colour;
    trail->quad.Draw();
  }
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void CharaEffects::DrawDistortion() {
  CApplication& app = CApplication::GetInstance();
  CTexture* image = app.toonShader.GetTargetA();
  image->SetAsRenderTarget(0);
  app.blurShader.DrawDistortion(image, &distortTarget, 0, 0, static_cast<float>(app.clientWidth),
                                static_cast<float>(app.clientHeight),
                                D3DXVECTOR4(1, 1, 1, 1));
}

void CharaEffects::DrawRingMask(IDirect3DDevice9* device) {
  CApplication& app = CApplication::GetInstance();
  ringTarget.SetAsRenderTarget(0);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
  D3DMATERIAL9 white{};
  white.Diffuse = {1, 1, 1, 1};
  white.Ambient = {1, 1, 1, 1};
  white.Specular = {1, 1, 1, 1};
  white.Power = 100.0f;
  app.stencilClip.BeginMask(device);
  for (RingEffect* ring : rings) {
    ring->quad.orientation = ring->RingMatrix();
    app.toonShader.DrawPolygon(&ring->quad, &white, "WalkEffectTech");
  }
  app.stencilClip.EndMask();
}

void CharaEffects::DrawTint(IDirect3DDevice9* /*device*/) {
  CApplication& app = CApplication::GetInstance();
  app.toonShader.GetTargetA()->SetAsRenderTarget(0);
  app.stencilClip.BeginClip();
  // A full-component colour tints with that channel, anything less not at all.
  const RunningScene* scene = CurrentScene();
  const D3DXCOLOR player = scene ? scene->PlayerColour() : D3DXCOLOR(0, 1, 1, 1);
  const auto channel = [](float c) -> DWORD { return c >= 1.0f ? 0xFF : 0x00; };
  const D3DCOLOR colour =
      D3DCOLOR_ARGB(0x80, channel(player.r), channel(player.g), channel(player.b));
  CPolygon tint;
  SetCorner(&tint.vertices[0], -0.5f, 0.5f, 0, 0, 0, colour);
  SetCorner(&tint.vertices[1], 0.5f, 0.5f, 0, 1, 0, colour);
  SetCorner(&tint.vertices[2], 0.5f, -0.5f, 0, 1, 1, colour);
  SetCorner(&tint.vertices[3], -0.5f, -0.5f, 0, 0, 1, colour);
  // Window-sized, a tenth of a unit ahead along the camera's own view axis.
  D3DXMATRIX size, ahead;
  D3DXMatrixScaling(&size, static_cast<float>(app.clientWidth),
                    static_cast<float>(app.clientHeight), 1);
  D3DXMatrixTranslation(&ahead, 0, 0, 0.1f);
  const D3DXMATRIX camera = CameraWorld();
  D3DXMatrixMultiply(&tint.orientation, &size, &ahead);
  D3DXMatrixMultiply(&tint.orientation, &tint.orientation, &camera);
  tint.Draw();
  app.stencilClip.EndClip();
}
