#include "message/StartMessage.h"

#include <cmath>

#include "app/Application.h"
#include "app/GraphicsDevice.h"
#include "common/RunningScene.h"
#include "message/MessageSupport.h"
#include "render/PulsingPicture.h"
#include "render/ResourceCache.h"
#include "render/Texture.h"

namespace {

constexpr char kStartPicture[] = "data/texture/message/start_message.png";
constexpr char kBandPicture[] = "data/texture/white.png";
constexpr char kPromptPicture[] = "data/texture/message/press_enter_key.png";

constexpr float kPictureScale = 1.5f;
constexpr float kSliverScale = 0.1f;  // the band's height scale when closed
constexpr float kBandGrowth = 4.0f;   // pixels of band height gained per pixel of picture
constexpr float kBandShrink = 0.25f;
constexpr D3DCOLOR kBandColour = 0x80000000;  // half-transparent black
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;

float RowLength(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

}  // namespace

CStartMessage::CStartMessage()
    : picture(message_support::CachedTexture(kStartPicture)),
      bandTexture(message_support::CachedTexture(kBandPicture)),
      prompt(new CPulsingPicture(kPromptPicture)),
      active(false),
      closing(false) {
  const float width = message_support::ClientWidth();
  const float height = message_support::ClientHeight();
  const float pictureWidth = picture ? static_cast<float>(picture->rect.right) : 0.0f;
  const float pictureHeight = picture ? static_cast<float>(picture->rect.bottom) : 0.0f;
  D3DXMatrixScaling(&transform, kPictureScale, kPictureScale, 1.0f);
  transform._41 = (width - kPictureScale * pictureWidth) / 2.0f;
  transform._42 = (height - kPictureScale * pictureHeight) / 2.0f;

  D3DXMatrixScaling(&band, width / BandPictureWidth(), kSliverScale, 1.0f);
  band._42 = height / 2.0f;

  prompt->x = (width - static_cast<float>(prompt->Width())) / 2.0f;
  prompt->y = height - 2.0f * static_cast<float>(prompt->Height());
  prompt->z = 0.0f;
}

CStartMessage::~CStartMessage() { delete prompt; }

float CStartMessage::BandPictureWidth() const {
  return bandTexture && bandTexture->rect.right > 0 ? static_cast<float>(bandTexture->rect.right)
                                                    : 1.0f;
}

float CStartMessage::BandPictureHeight() const {
  return bandTexture && bandTexture->rect.bottom > 0
             ? static_cast<float>(bandTexture->rect.bottom)
             : 1.0f;
}

float CStartMessage::BandScale() const { return RowLength(band._21, band._22, band._23); }

bool CStartMessage::BandCoversScreen() const { return band._42 <= 0.0f; }

void CStartMessage::ScaleBand(float factor) {
  D3DXMATRIX scaling;
  D3DXMatrixScaling(&scaling, 1.0f, factor, 1.0f);
  D3DXMatrixMultiply(&band, &band, &scaling);
  band._42 = (message_support::ClientHeight() - BandScale() * BandPictureHeight()) / 2.0f;
}

void CStartMessage::Update() {
  if (!active) return;
  const float bandHeight = BandPictureHeight();
  const float r = BandScale() / bandHeight;
  if (!closing) {
    if (message_support::ClientHeight() > r) {
      ScaleBand(kBandGrowth / bandHeight);
      return;
    }
    prompt->Update();
    // Only a fresh press: Enter still held from the title does not close the band.
    if (message_support::EnterPressed()) {
      closing = true;
      message_support::PlayButtonSound();
    }
    return;
  }
  if (r > kSliverScale) {
    ScaleBand(bandHeight * kBandShrink);
    return;
  }
  active = false;
  if (RunningScene* scene = CurrentScene()) scene->SendStartCameraBack();
}

void CStartMessage::Draw() {
  if (!active) return;
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  graphics.DrawTexture(bandTexture, kBandColour, &band);
  if (!BandCoversScreen()) return;
  graphics.DrawTexture(picture, kOpaqueWhite, &transform);
  prompt->Draw();
}
