#include "message/ClearMessage.h"

#include <cmath>
#include <utility>
#include <vector>

#include "app/GraphicsDevice.h"
#include "common/Helpers.h"
#include "common/RunningScene.h"
#include "message/MessageSupport.h"
#include "render/Texture.h"

namespace {

constexpr char kClearPicture[] = "data/texture/message/clear_message.png";
constexpr char kConfettiSheet[] = "data/texture/kamifubuki.png";

constexpr float kStartScale = 0.1f;
constexpr float kGrowth = 1.1f;
constexpr float kFullScale = 2.0f;
constexpr int kCellWidth = 640;
constexpr int kCellHeight = 480;
constexpr int kCellCount = 36;
constexpr int kFramesPerCell = 3;
constexpr float kBlinkRate = 0.05f;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFF;
constexpr D3DCOLOR kYellow = 0xFFFF00;
// The sprite batch the drawing frame opens for the 2D pass.
constexpr DWORD kFrameSpriteFlags = D3DXSPRITE_ALPHABLEND;

float RowLength(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

// A sprite batch of its own with additive blending. The frame's batch sets its
// own (alpha) blending whenever it draws, so the confetti cannot just change the
// blend states inside it: what the frame has queued is drawn first, then the
// cell goes through a batch that keeps the device's states, and afterwards the
// states are put back and the frame's batch goes on.
class AdditiveSpriteBatch {
 public:
  explicit AdditiveSpriteBatch(CGraphicsDevice& graphics)
      : device_(graphics.device), sprite_(graphics.sprite) {
    sprite_->End();
    Render(D3DRS_ALPHABLENDENABLE, TRUE);
    Render(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    Render(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    Render(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Render(D3DRS_ALPHATESTENABLE, FALSE);
    Render(D3DRS_ZENABLE, D3DZB_FALSE);
    Render(D3DRS_ZWRITEENABLE, FALSE);
    Render(D3DRS_CULLMODE, D3DCULL_NONE);
    Render(D3DRS_LIGHTING, FALSE);
    Stage(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    Stage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Stage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    Stage(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    Stage(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    Stage(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    Stage(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    Stage(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    sprite_->Begin(kFrameSpriteFlags | D3DXSPRITE_DONOTMODIFY_RENDERSTATE);
  }
  ~AdditiveSpriteBatch() {
    sprite_->End();
    // Back in reverse order; the destination blend returns to inverse source
    // alpha, the game's blending everywhere else.
    for (auto it = stages_.rbegin(); it != stages_.rend(); ++it) {
      device_->SetTextureStageState(it->stage, it->type, it->old);
    }
    for (auto it = renders_.rbegin(); it != renders_.rend(); ++it) {
      device_->SetRenderState(it->first, it->second);
    }
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    sprite_->Begin(kFrameSpriteFlags);
  }
  AdditiveSpriteBatch(const AdditiveSpriteBatch&) = delete;
  AdditiveSpriteBatch& operator=(const AdditiveSpriteBatch&) = delete;

 private:
  struct StageValue {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE type;
    DWORD old;
  };
  void Render(D3DRENDERSTATETYPE type, DWORD value) {
    DWORD old = 0;
    device_->GetRenderState(type, &old);
    renders_.emplace_back(type, old);
    device_->SetRenderState(type, value);
  }
  void Stage(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    DWORD old = 0;
    device_->GetTextureStageState(stage, type, &old);
    stages_.push_back({stage, type, old});
    device_->SetTextureStageState(stage, type, value);
  }

  IDirect3DDevice9* device_;
  ID3DXSprite* sprite_;
  std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> renders_;
  std::vector<StageValue> stages_;
};

}  // namespace

CClearMessage::CClearMessage()
    : picture(message_support::CachedTexture(kClearPicture)),
      confetti(message_support::CachedTexture(kConfettiSheet)),
      cell(0),
      alpha(255),
      gateMayOpen(false),
      shown(false) {
  D3DXMatrixScaling(&transform, kStartScale, kStartScale, 1.0f);
  transform._41 = message_support::ClientWidth() / 2.0f;
  transform._42 = message_support::ClientHeight() / 2.0f;
}

float CClearMessage::Scale() const { return RowLength(transform._21, transform._22, transform._23); }

bool CClearMessage::Grown() const { return Scale() >= kFullScale; }

int CClearMessage::ConfettiColumns() const {
  return confetti ? static_cast<int>(confetti->rect.right) / kCellWidth : 0;
}

RECT CClearMessage::ConfettiSource(int shownCell) const {
  const int columns = ConfettiColumns();
  if (columns < 1) return RECT{0, 0, 0, 0};
  const LONG left = (shownCell % columns) * kCellWidth;
  const LONG top = (shownCell / columns) * kCellHeight;
  return RECT{left, top, left + kCellWidth, top + kCellHeight};
}

void CClearMessage::Update() {
  if (!shown) return;
  if (!Grown()) {
    D3DXMATRIX growth;
    D3DXMatrixScaling(&growth, kGrowth, kGrowth, 1.0f);
    D3DXMatrixMultiply(&transform, &transform, &growth);
    // Centred on the screen while it grows.
    const float width = picture ? static_cast<float>(picture->rect.right) : 0.0f;
    const float height = picture ? static_cast<float>(picture->rect.bottom) : 0.0f;
    const float scaleX = RowLength(transform._11, transform._12, transform._13);
    transform._41 = (message_support::ClientWidth() - scaleX * width) / 2.0f;
    transform._42 = (message_support::ClientHeight() - Scale() * height) / 2.0f;
    return;
  }
  if (message_support::SceneFrame() % kFramesPerCell == 0) ++cell;
  cell %= kCellCount;
  alpha = 255 - static_cast<int>(std::fabs(Wave(255.0f, kBlinkRate, message_support::SceneFrame())));
  // Held counts too: the player may keep Enter down from the gates on.
  if (message_support::EnterDown()) {
    if (RunningScene* scene = CurrentScene()) scene->ChangeScene(kSceneTitle);
    message_support::PlayButtonSound();
  }
}

void CClearMessage::Draw() {
  if (!shown) return;
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  graphics.DrawTexture(picture, kOpaqueWhite, &transform);
  const D3DCOLOR yellowCopy = (static_cast<D3DCOLOR>(alpha) << 24) | kYellow;
  graphics.DrawTexture(picture, yellowCopy, &transform);
  if (Grown()) DrawConfetti();
}

void CClearMessage::DrawConfetti() const {
  // A sheet narrower than one cell (or none) has nothing to show.
  if (ConfettiColumns() < 1) return;
  CGraphicsDevice& graphics = CGraphicsDevice::GetInstance();
  if (!graphics.device || !graphics.sprite) return;
  const RECT source = ConfettiSource(cell);
  AdditiveSpriteBatch additive(graphics);
  graphics.DrawTextureStretched(confetti, 0, 0, static_cast<int>(message_support::ClientWidth()),
                                static_cast<int>(message_support::ClientHeight()), kOpaqueWhite,
                                &source);
}
