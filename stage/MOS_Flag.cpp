// The title flag's touch, its waving cloth and its drawing.
#include "stage/MOS_Flag.h"

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "camera/Camera.h"
#include "common/Helpers.h"
#include "render/Polygon.h"
#include "render/Texture.h"
#include "stage/Stage.h"
#include "common/RunningScene.h"

#include "chara/Slime.h"

namespace {

constexpr float kRestPulse = 0.5f;
constexpr float kTouchedPulse = 1.5f;
constexpr float kPulseDecay = 0.99f;
constexpr int kSparksPerTouch = 100;
constexpr float kDegreesToRadians = 0.017453292f;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;

D3DXVECTOR3 TranslationOf(const D3DXMATRIX& m) { return D3DXVECTOR3(m._41, m._42, m._43); }

}  // namespace

bool MOS_Flag::SlimeTouches(D3DXCOLOR* slimeColour) const {
  const RunningScene* scene = CurrentScene();
  const CSlime* slime = scene ? scene->Slime() : nullptr;
  if (!slime || slime->meshObject.nodes.empty()) return false;
  // The body point is the first bone of the slime's skeleton.
  const D3DXVECTOR3 body = TranslationOf(slime->meshObject.nodes[0]->combinedMatrix);
  if (!Touches(radius, TranslationOf(world), slime->size, body)) return false;
  *slimeColour = slime->colour;
  return true;
}

void MOS_Flag::Update() {
  const RunningScene* scene = CurrentScene();
  D3DXCOLOR slimeColour;
  if (scene && !scene->Changing() && !state && SlimeTouches(&slimeColour)) {
    state = true;
    pulse = kTouchedPulse;
    currentTexture = reachedTexture;
    colour[0] = slimeColour.r;
    colour[1] = slimeColour.g;
    colour[2] = slimeColour.b;
    colour[3] = slimeColour.a;
    if (CStage* stage = scene->Stage()) {
      for (int i = 0; i < kSparksPerTouch; ++i) stage->AddEffect(world);
    }
  }
  WaveCloth();
  if (pulse > kRestPulse) {
    pulse *= kPulseDecay;
    // Calm again: the flag can be touched anew (the reached picture stays).
    if (pulse < kRestPulse) {
      pulse = kRestPulse;
      state = false;
    }
  }
}

void MOS_Flag::WaveCloth() {
  // Outer edges swing wider and slower; the edge at the pole stays put.
  for (int i = 1; i < 10; ++i) {
    const float strip = static_cast<float>(i);
    wave[i] = Wave(pulse * 0.02f * strip, pulse / strip, -1);
  }
}

void MOS_Flag::BuildClothStrip(int k, CPolygon* strip) const {
  const float left = 0.1f * static_cast<float>(k);
  const float right = 0.1f * static_cast<float>(k + 1);
  strip->texture = currentTexture ? currentTexture->GetTexture() : nullptr;
  strip->vertices[0] = {left, 1.0f, wave[k], kOpaqueWhite, left, 0.0f};
  strip->vertices[1] = {right, 1.0f, wave[k + 1], kOpaqueWhite, right, 0.0f};
  strip->vertices[2] = {right, 0.0f, wave[k + 1], kOpaqueWhite, right, 1.0f};
  strip->vertices[3] = {left, 0.0f, wave[k], kOpaqueWhite, left, 1.0f};
}

void MOS_Flag::Draw() {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  if (device) {
    const RunningScene* scene = CurrentScene();
    const CCamera* camera = scene ? scene->Camera() : nullptr;
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, camera ? camera->angleY * kDegreesToRadians : 0.0f);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // The cloth picture is tinted by what the colour lacks of cyan; an untouched
    // flag (cyan) therefore adds nothing to it.
    D3DMATERIAL9 material = {};
    material.Diffuse = {colour[0] - 0.0f, colour[1] - 1.0f, colour[2] - 1.0f, 1.0f};
    material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Power = 100.0f;
    CToonShader& toon = CApplication::GetInstance().toonShader;
    CPolygon strip;
    for (int k = 0; k < 9; ++k) {
      BuildClothStrip(k, &strip);
      strip.orientation = turn * world;
      toon.DrawPolygon(&strip, &material, "FlagTech");
    }
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  }
  MapObjectStruct::Draw();
}
