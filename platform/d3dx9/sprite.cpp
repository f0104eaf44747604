// ID3DXSprite: screen-space textured quads batched until Flush or End and then
// drawn as pretransformed triangles through the device, with the sprite's own
// render states around the draw and the caller's states restored afterwards.
#include <d3dx9core.h>

#include <algorithm>
#include <new>
#include <vector>

#include "com_object.h"

namespace {

struct SpriteVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
constexpr DWORD kSpriteFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

D3DMATRIX Identity() {
  D3DMATRIX m = {};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// Remembers every state it changes so that they can be put back in reverse.
// One lives as long as its sprite, so that its list is not made again per draw.
class StateChanges {
 public:
  explicit StateChanges(IDirect3DDevice9* device) : device_(device) {}
  // Starts a new round of changes; with `remember` false nothing is put back.
  void Start(bool remember) { remember_ = remember; }

  void Render(D3DRENDERSTATETYPE state, DWORD value) {
    if (remember_) {
      DWORD old = 0;
      device_->GetRenderState(state, &old);
      undo_.push_back({Kind::kRender, 0, DWORD(state), old});
    }
    device_->SetRenderState(state, value);
  }
  void Stage(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (remember_) {
      DWORD old = 0;
      device_->GetTextureStageState(stage, type, &old);
      undo_.push_back({Kind::kStage, stage, DWORD(type), old});
    }
    device_->SetTextureStageState(stage, type, value);
  }
  void Sampler(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (remember_) {
      DWORD old = 0;
      device_->GetSamplerState(sampler, type, &old);
      undo_.push_back({Kind::kSampler, sampler, DWORD(type), old});
    }
    device_->SetSamplerState(sampler, type, value);
  }
  void RememberTextureAndFvf() {
    if (!remember_) return;
    device_->GetTexture(0, &texture_);
    device_->GetFVF(&fvf_);
    savedTexture_ = true;
  }
  void Restore() {
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
      switch (it->kind) {
        case Kind::kRender: device_->SetRenderState(D3DRENDERSTATETYPE(it->type), it->value); break;
        case Kind::kStage:
          device_->SetTextureStageState(it->index, D3DTEXTURESTAGESTATETYPE(it->type), it->value);
          break;
        case Kind::kSampler:
          device_->SetSamplerState(it->index, D3DSAMPLERSTATETYPE(it->type), it->value);
          break;
      }
    }
    undo_.clear();
    if (savedTexture_) {
      device_->SetTexture(0, texture_);
      if (texture_) texture_->Release();
      device_->SetFVF(fvf_);
      texture_ = nullptr;
      savedTexture_ = false;
    }
  }

 private:
  enum class Kind { kRender, kStage, kSampler };
  struct Undo {
    Kind kind;
    DWORD index, type, value;
  };
  IDirect3DDevice9* device_;
  bool remember_ = true;
  std::vector<Undo> undo_;
  IDirect3DBaseTexture9* texture_ = nullptr;
  DWORD fvf_ = 0;
  bool savedTexture_ = false;
};

class Sprite final : public glomp::ComObject<ID3DXSprite> {
 public:
  explicit Sprite(IDirect3DDevice9* device) : device_(device), transform_(Identity()) {
    device_->AddRef();
  }
  ~Sprite() override {
    DropQueue();
    device_->Release();
  }

  HRESULT GetDevice(IDirect3DDevice9** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    *device = device_;
    device_->AddRef();
    return D3D_OK;
  }
  HRESULT GetTransform(D3DXMATRIX* transform) override {
    if (!transform) return D3DERR_INVALIDCALL;
    *reinterpret_cast<D3DMATRIX*>(transform) = transform_;
    return D3D_OK;
  }
  HRESULT SetTransform(const D3DXMATRIX* transform) override {
    if (!transform) return D3DERR_INVALIDCALL;
    transform_ = *reinterpret_cast<const D3DMATRIX*>(transform);
    return D3D_OK;
  }
  // Only screen-space sprites are drawn; the 3D placement is stored and unused.
  HRESULT SetWorldViewRH(const D3DXMATRIX*, const D3DXMATRIX*) override { return D3D_OK; }
  HRESULT SetWorldViewLH(const D3DXMATRIX*, const D3DXMATRIX*) override { return D3D_OK; }

  HRESULT Begin(DWORD flags) override {
    if (begun_) return D3DERR_INVALIDCALL;
    begun_ = true;
    flags_ = flags;
    return D3D_OK;
  }

  HRESULT Draw(IDirect3DTexture9* texture, const RECT* sourceRect, const D3DXVECTOR3* center,
               const D3DXVECTOR3* position, D3DCOLOR color) override;

  HRESULT Flush() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    return DrawQueue();
  }

  HRESULT End() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    HRESULT hr = DrawQueue();
    begun_ = false;
    return hr;
  }

  HRESULT OnLostDevice() override { return D3D_OK; }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  struct Quad {
    IDirect3DTexture9* texture;
    SpriteVertex corners[4];  // top-left, top-right, bottom-right, bottom-left
  };

  void DropQueue() {
    for (Quad& quad : queue_) quad.texture->Release();
    queue_.clear();
  }
  void SetSpriteStates(StateChanges& states);
  HRESULT DrawQueue();

  IDirect3DDevice9* device_;
  StateChanges states_{device_};
  D3DMATRIX transform_;
  bool begun_ = false;
  DWORD flags_ = 0;
  std::vector<Quad> queue_;
  std::vector<SpriteVertex> vertices_;
};

HRESULT Sprite::Draw(IDirect3DTexture9* texture, const RECT* sourceRect,
                     const D3DXVECTOR3* center, const D3DXVECTOR3* position, D3DCOLOR color) {
  if (!begun_ || !texture) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc;
  if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
    return D3DERR_INVALIDCALL;
  RECT source = sourceRect ? *sourceRect : RECT{0, 0, LONG(desc.Width), LONG(desc.Height)};
  const D3DVECTOR zero = {0, 0, 0};
  const D3DVECTOR& c = center ? *reinterpret_cast<const D3DVECTOR*>(center) : zero;
  const D3DVECTOR& p = position ? *reinterpret_cast<const D3DVECTOR*>(position) : zero;
  float width = float(source.right - source.left), height = float(source.bottom - source.top);
  // Corners in sprite space (the picture's pixels, centre subtracted, moved to
  // the position), then through the sprite transform into screen pixels.
  const float xs[4] = {0, width, width, 0};
  const float ys[4] = {0, 0, height, height};
  const float us[4] = {float(source.left), float(source.right), float(source.right),
                       float(source.left)};
  const float vs[4] = {float(source.top), float(source.top), float(source.bottom),
                       float(source.bottom)};
  const D3DMATRIX& m = transform_;
  Quad quad;
  quad.texture = texture;
  for (int i = 0; i < 4; ++i) {
    float x = xs[i] - c.x + p.x, y = ys[i] - c.y + p.y, z = p.z - c.z;
    SpriteVertex& v = quad.corners[i];
    v.x = x * m._11 + y * m._21 + z * m._31 + m._41;
    v.y = x * m._12 + y * m._22 + z * m._32 + m._42;
    v.z = std::clamp(x * m._13 + y * m._23 + z * m._33 + m._43, 0.0f, 1.0f);
    v.rhw = 1.0f;
    v.color = color;
    v.u = us[i] / float(desc.Width);
    v.v = vs[i] / float(desc.Height);
  }
  texture->AddRef();
  queue_.push_back(quad);
  return D3D_OK;
}

void Sprite::SetSpriteStates(StateChanges& states) {
  bool blend = flags_ & D3DXSPRITE_ALPHABLEND;
  states.Render(D3DRS_ALPHABLENDENABLE, blend);
  states.Render(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  states.Render(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  states.Render(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  states.Render(D3DRS_SEPARATEALPHABLENDENABLE, FALSE);
  states.Render(D3DRS_ALPHATESTENABLE, blend);
  states.Render(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  states.Render(D3DRS_ALPHAREF, 0);
  states.Render(D3DRS_CULLMODE, D3DCULL_NONE);
  states.Render(D3DRS_FILLMODE, D3DFILL_SOLID);
  states.Render(D3DRS_ZENABLE, D3DZB_FALSE);
  states.Render(D3DRS_ZWRITEENABLE, FALSE);
  states.Render(D3DRS_FOGENABLE, FALSE);
  states.Render(D3DRS_LIGHTING, FALSE);
  states.Render(D3DRS_COLORWRITEENABLE, 0xF);
  states.Stage(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  states.Stage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  states.Stage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  states.Stage(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  states.Stage(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  states.Stage(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  states.Stage(0, D3DTSS_TEXCOORDINDEX, 0);
  states.Stage(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  states.Stage(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  states.Sampler(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  states.Sampler(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  states.Sampler(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  states.Sampler(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  states.Sampler(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
}

HRESULT Sprite::DrawQueue() {
  if (queue_.empty()) return D3D_OK;
  StateChanges& states = states_;
  states.Start(!(flags_ & D3DXSPRITE_DONOTSAVESTATE));
  states.RememberTextureAndFvf();
  if (!(flags_ & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) SetSpriteStates(states);
  device_->SetFVF(kSpriteFvf);
  HRESULT result = D3D_OK;
  // One triangle list per run of quads with the same texture, in drawing order.
  for (size_t first = 0; first < queue_.size();) {
    size_t last = first;
    while (last < queue_.size() && queue_[last].texture == queue_[first].texture) ++last;
    vertices_.clear();
    for (size_t i = first; i < last; ++i) {
      const SpriteVertex* c = queue_[i].corners;
      for (int index : {0, 1, 2, 0, 2, 3}) vertices_.push_back(c[index]);
    }
    device_->SetTexture(0, queue_[first].texture);
    HRESULT hr = device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT((last - first) * 2),
                                          vertices_.data(), sizeof(SpriteVertex));
    if (FAILED(hr)) result = hr;
    first = last;
  }
  states.Restore();
  DropQueue();
  return result;
}

}  // namespace

HRESULT WINAPI D3DXCreateSprite(LPDIRECT3DDEVICE9 device, LPD3DXSPRITE* sprite) {
  if (!device || !sprite) return D3DERR_INVALIDCALL;
  *sprite = new (std::nothrow) Sprite(device);
  return *sprite ? D3D_OK : E_OUTOFMEMORY;
}
