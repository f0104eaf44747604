#include "stage/FlagPole.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "chara/Slime.h"
#include "common/Helpers.h"
#include "common/RunningScene.h"
#include "render/Polygon.h"
#include "render/ResourceCache.h"
#include "render/Texture.h"
#include "stage/Stage.h"

namespace {

constexpr char kReachedPicture[] = "data/texture/flag2.png";
constexpr char kWaitingPicture[] = "data/texture/flag.png";
constexpr float kPulseDecay = 0.99f;
constexpr int kSparksPerTouch = 100;
constexpr float kPlayerBodyRadius = 1.0f;
constexpr float kDegreesToRadians = 0.017453292f;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;
constexpr int kStrips = 9;

CTexture* CachedTexture(const char* fileName) {
  return g_resourceCache ? g_resourceCache->GetTexture(fileName) : nullptr;
}

float FirstRowLength(const D3DXMATRIX& m) {
  const D3DXVECTOR3 row(m._11, m._12, m._13);
  return D3DXVec3Length(&row);
}

D3DXVECTOR3 TranslationOf(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

}  // namespace

FlagPole::FlagPole(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText)
    : MapObjectStruct(model, world, kindText, WithoutFaceNormals{}),
      radius(FirstRowLength(world)),
      reachedTexture(CachedTexture(kReachedPicture)),
      waitingTexture(CachedTexture(kWaitingPicture)),
      currentTexture(waitingTexture),
      wave{},
      pulse(kRestPulse) {
  state = false;
}

const CSlime* FlagPole::TouchingSlime() const {
  const RunningScene* scene = CurrentScene();
  if (!scene || scene->Changing()) return nullptr;
  const CSlime* slime = scene->Slime();
  if (!slime || slime->meshObject.nodes.empty()) return nullptr;
  const D3DXVECTOR3 body = TranslationOf(slime->meshObject.nodes[0]->combinedMatrix);
  const float bodyRadius = scene->SceneId() == kSceneGame ? kPlayerBodyRadius : slime->size;
  return Touches(radius, TranslationOf(world), bodyRadius, body) ? slime : nullptr;
}

void FlagPole::BurstIntoSparks() const {
  const RunningScene* scene = CurrentScene();
  CStage* stage = scene ? scene->Stage() : nullptr;
  if (!stage) return;
  for (int i = 0; i < kSparksPerTouch; ++i) stage->AddEffect(world);
}

void FlagPole::WaveCloth() {
  const RunningScene* scene = CurrentScene();
  const int frame = scene ? scene->FrameCount() : 0;
  for (int i = 1; i < 10; ++i) {
    const float strip = static_cast<float>(i);
    wave[i] = Wave(pulse * 0.02f * strip, pulse / strip, frame);
  }
}

bool FlagPole::CalmDown() {
  if (pulse <= kRestPulse) return false;
  pulse *= kPulseDecay;
  if (pulse >= kRestPulse) return false;
  pulse = kRestPulse;
  return true;
}

void FlagPole::BuildClothStrip(int k, CPolygon* strip) const {
  const float left = 0.1f * static_cast<float>(k);
  const float right = 0.1f * static_cast<float>(k + 1);
  strip->texture = currentTexture ? currentTexture->GetTexture() : nullptr;
  strip->vertices[0] = {left, 1.0f, wave[k], kOpaqueWhite, left, 0.0f};
  strip->vertices[1] = {right, 1.0f, wave[k + 1], kOpaqueWhite, right, 0.0f};
  strip->vertices[2] = {right, 0.0f, wave[k + 1], kOpaqueWhite, right, 1.0f};
  strip->vertices[3] = {left, 0.0f, wave[k], kOpaqueWhite, left, 1.0f};
}

void FlagPole::DrawClothAndPole(const D3DCOLORVALUE& diffuse) {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (device) {
    const RunningScene* scene = CurrentScene();
    const CCamera* camera = scene ? scene->Camera() : nullptr;
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, camera ? camera->angleY * kDegreesToRadians : 0.0f);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATERIAL9 material = {};
    material.Diffuse = diffuse;
    material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Power = 100.0f;
    CToonShader& toon = CApplication::GetInstance().toonShader;
    CPolygon strip;
    for (int k = 0; k < kStrips; ++k) {
      BuildClothStrip(k, &strip);
      strip.orientation = turn * world;
      toon.DrawPolygon(&strip, &material, "FlagTech");
    }
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  }
  MapObjectStruct::Draw();
}

void FlagPole::DrawClothShadow() {
  if (!CGraphicsDevice::GetInstance().device) return;
  CToonShader& toon = CApplication::GetInstance().toonShader;
  CPolygon strip;
  for (int k = 0; k < kStrips; ++k) {
    BuildClothStrip(k, &strip);
    strip.orientation = world;
    toon.DrawPolygon(&strip, nullptr, "Tech");
  }
}
