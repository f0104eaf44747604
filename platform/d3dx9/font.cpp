// ID3DXFont: a small bitmap font drawn through a sprite. The glyph shapes are
// those of stb_easy_font (printable ASCII, a 12-unit line), rasterised once
// into a texture at the font's height; every other character is drawn as a
// box, a Shift-JIS double-byte character as a full-width one.
#include <d3dx9core.h>
#include <d3dx9math.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "com_object.h"

namespace {

constexpr int kFirstGlyph = 32;
constexpr int kGlyphCount = 96;  // 32..126, then the box
constexpr int kBoxGlyph = 95;
constexpr int kColumns = 16;
constexpr float kUnitsPerLine = 12.0f;  // stb_easy_font's line height

bool IsShiftJisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

class Font final : public glomp::ComObject<ID3DXFont> {
 public:
  Font(IDirect3DDevice9* device, const D3DXFONT_DESCA& desc) : device_(device), desc_(desc) {
    device_->AddRef();
    int height = std::abs(desc.Height);
    scale_ = (height > 0 ? float(height) : kUnitsPerLine) / kUnitsPerLine;
    lineHeight_ = int(std::lround(kUnitsPerLine * scale_));
    cellWidth_ = int(std::ceil(8 * scale_)) + 1;
    cellHeight_ = lineHeight_;
  }
  ~Font() override {
    if (atlas_) atlas_->Release();
    device_->Release();
  }

  HRESULT GetDevice(IDirect3DDevice9** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    *device = device_;
    device_->AddRef();
    return D3D_OK;
  }
  HRESULT GetDescA(D3DXFONT_DESCA* desc) override {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
  }
  HRESULT PreloadTextA(LPCSTR string, INT) override {
    if (!string) return D3DERR_INVALIDCALL;
    return BuildAtlas();
  }
  INT DrawTextA(LPD3DXSPRITE sprite, LPCSTR string, INT count, LPRECT rect, DWORD format,
                D3DCOLOR color) override;
  HRESULT OnLostDevice() override { return D3D_OK; }
  HRESULT OnResetDevice() override { return D3D_OK; }

 private:
  struct Glyph {
    int index;  // cell in the atlas
    float advance;
  };
  struct Line {
    std::vector<Glyph> glyphs;
    float width = 0;
  };

  HRESULT BuildAtlas();
  std::vector<Line> Layout(const std::string& text, DWORD format) const;
  float Advance(int glyph) const;

  IDirect3DDevice9* device_;
  D3DXFONT_DESCA desc_;
  float scale_ = 1;
  int lineHeight_ = 12;
  int cellWidth_ = 9;
  int cellHeight_ = 12;
  IDirect3DTexture9* atlas_ = nullptr;
};

float Font::Advance(int glyph) const {
  if (glyph == kBoxGlyph) return 6 * scale_;
  char text[2] = {char(kFirstGlyph + glyph), 0};
  return float(stb_easy_font_width(text)) * scale_;
}

// White glyphs on transparent black, one cell per character.
HRESULT Font::BuildAtlas() {
  if (atlas_) return D3D_OK;
  UINT width = UINT(kColumns * cellWidth_);
  UINT height = UINT((kGlyphCount + kColumns - 1) / kColumns * cellHeight_);
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = device_->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                      &texture, nullptr);
  if (FAILED(hr)) return hr;
  D3DLOCKED_RECT locked;
  if (FAILED(hr = texture->LockRect(0, &locked, nullptr, 0))) {
    texture->Release();
    return hr;
  }
  auto plot = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= int(width) || y >= int(height)) return;
    reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = 0xFFFFFFFF;
  };
  // Fills the pixels whose centres lie in a rectangle given in font units.
  auto fill = [&](int cell, float x0, float y0, float x1, float y1) {
    int left = (cell % kColumns) * cellWidth_, top = (cell / kColumns) * cellHeight_;
    for (int y = int(std::floor(y0 * scale_)); y < int(std::ceil(y1 * scale_)); ++y)
      for (int x = int(std::floor(x0 * scale_)); x < int(std::ceil(x1 * scale_)); ++x) {
        float cx = (x + 0.5f) / scale_, cy = (y + 0.5f) / scale_;
        if (cx >= x0 && cx < x1 && cy >= y0 && cy < y1 && x < cellWidth_ && y < cellHeight_)
          plot(left + x, top + y);
      }
  };
  std::vector<float> quads(4 * 4 * 64);
  for (int glyph = 0; glyph < kBoxGlyph; ++glyph) {
    char text[2] = {char(kFirstGlyph + glyph), 0};
    int count = stb_easy_font_print(0, 0, text, nullptr, quads.data(), int(quads.size() * 4));
    for (int q = 0; q < count; ++q) {
      // Four vertices of 16 bytes (x, y, z, colour) per quad: corners 0 and 2.
      const float* v = &quads[size_t(q) * 16];
      fill(glyph, v[0], v[1], v[8], v[9]);
    }
  }
  // The box: an outline the size of a capital letter.
  fill(kBoxGlyph, 0, 1, 5, 2);
  fill(kBoxGlyph, 0, 8, 5, 9);
  fill(kBoxGlyph, 0, 1, 1, 9);
  fill(kBoxGlyph, 4, 1, 5, 9);
  texture->UnlockRect(0);
  atlas_ = texture;
  return D3D_OK;
}

std::vector<Font::Line> Font::Layout(const std::string& text, DWORD format) const {
  std::vector<Line> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!(format & DT_SINGLELINE) && (c == '\n' || c == '\r')) {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
      continue;
    }
    Glyph glyph;
    if (c >= kFirstGlyph && c < kFirstGlyph + kBoxGlyph) {
      glyph = {c - kFirstGlyph, Advance(c - kFirstGlyph)};
    } else if (IsShiftJisLeadByte(c) && i + 1 < text.size()) {
      ++i;  // one double-byte character: a full-width box
      glyph = {kBoxGlyph, float(lineHeight_)};
    } else {
      glyph = {kBoxGlyph, Advance(kBoxGlyph)};
    }
    lines.back().glyphs.push_back(glyph);
    lines.back().width += glyph.advance;
  }
  return lines;
}

INT Font::DrawTextA(LPD3DXSPRITE sprite, LPCSTR string, INT count, LPRECT rect, DWORD format,
                    D3DCOLOR color) {
  if (!string || !rect) return 0;
  std::string text = count < 0 ? std::string(string) : std::string(string, strnlen(string, size_t(count)));
  std::vector<Line> lines = Layout(text, format);
  float widest = 0;
  for (const Line& line : lines) widest = std::max(widest, line.width);
  int textHeight = int(lines.size()) * lineHeight_;
  if (format & DT_CALCRECT) {
    // Measuring only: the rectangle grows to hold the text.
    rect->right = rect->left + LONG(std::ceil(widest));
    rect->bottom = rect->top + textHeight;
    return textHeight;
  }
  if (FAILED(BuildAtlas())) return 0;

  LPD3DXSPRITE drawer = sprite;
  if (!drawer) {
    if (FAILED(D3DXCreateSprite(device_, &drawer))) return 0;
    drawer->Begin(D3DXSPRITE_ALPHABLEND);
  }
  float top = float(rect->top);
  if (format & DT_BOTTOM) top = float(rect->bottom - textHeight);
  else if (format & DT_VCENTER) top = float(rect->top + rect->bottom - textHeight) / 2;
  bool clip = !(format & DT_NOCLIP);
  for (size_t l = 0; l < lines.size(); ++l) {
    const Line& line = lines[l];
    float x = float(rect->left);
    if (format & DT_RIGHT) x = float(rect->right) - line.width;
    else if (format & DT_CENTER) x = (float(rect->left + rect->right) - line.width) / 2;
    float y = std::floor(top + float(l) * float(lineHeight_));
    for (const Glyph& glyph : line.glyphs) {
      float left = std::floor(x);
      RECT source = {LONG((glyph.index % kColumns) * cellWidth_),
                     LONG((glyph.index / kColumns) * cellHeight_), 0, 0};
      source.right = source.left + LONG(std::min<float>(float(cellWidth_), std::ceil(glyph.advance)));
      source.bottom = source.top + cellHeight_;
      if (glyph.index == kBoxGlyph && glyph.advance > float(cellWidth_)) {
        source.right = source.left + cellWidth_;  // full-width box: drawn stretched below
      }
      float drawWidth = glyph.index == kBoxGlyph ? glyph.advance : float(source.right - source.left);
      float drawLeft = left, drawTop = y, drawRight = left + drawWidth, drawBottom = y + float(cellHeight_);
      if (clip) {
        // Cut the glyph to the rectangle, moving its source edges along.
        float sx = float(source.right - source.left) / drawWidth;
        float cutLeft = std::max(0.0f, float(rect->left) - drawLeft);
        float cutRight = std::max(0.0f, drawRight - float(rect->right));
        float cutTop = std::max(0.0f, float(rect->top) - drawTop);
        float cutBottom = std::max(0.0f, drawBottom - float(rect->bottom));
        if (cutLeft + cutRight >= drawWidth || cutTop + cutBottom >= float(cellHeight_)) {
          x += glyph.advance;
          continue;
        }
        source.left += LONG(std::lround(cutLeft * sx));
        source.right -= LONG(std::lround(cutRight * sx));
        source.top += LONG(cutTop);
        source.bottom -= LONG(cutBottom);
        drawLeft += cutLeft;
        drawTop += cutTop;
        drawWidth -= cutLeft + cutRight;
      }
      float stretch = drawWidth / float(source.right - source.left);
      if (std::fabs(stretch - 1.0f) < 1e-4f) {
        D3DXVECTOR3 position(drawLeft, drawTop, 0);
        drawer->Draw(atlas_, &source, nullptr, &position, color);
      } else {
        // Only the full-width box is stretched: through the sprite transform.
        D3DXMATRIX saved, scaled;
        drawer->GetTransform(&saved);
        D3DXMATRIX stretchMatrix;
        D3DXMatrixScaling(&stretchMatrix, stretch, 1, 1);
        stretchMatrix._41 = drawLeft;
        stretchMatrix._42 = drawTop;
        D3DXMatrixMultiply(&scaled, &stretchMatrix, &saved);
        drawer->SetTransform(&scaled);
        D3DXVECTOR3 origin(0, 0, 0);
        drawer->Draw(atlas_, &source, nullptr, &origin, color);
        drawer->SetTransform(&saved);
      }
      x += glyph.advance;
    }
  }
  if (!sprite) {
    drawer->End();
    drawer->Release();
  }
  return textHeight;
}

}  // namespace

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 device, INT height, UINT width, UINT weight,
                               UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                               DWORD quality, DWORD pitchAndFamily, LPCSTR faceName,
                               LPD3DXFONT* font) {
  if (!device || !font) return D3DERR_INVALIDCALL;
  *font = nullptr;
  D3DXFONT_DESCA desc = {};
  desc.Height = height;
  desc.Width = width;
  desc.Weight = weight;
  desc.MipLevels = mipLevels;
  desc.Italic = italic;
  desc.CharSet = BYTE(charSet);
  desc.OutputPrecision = BYTE(outputPrecision);
  desc.Quality = BYTE(quality);
  desc.PitchAndFamily = BYTE(pitchAndFamily);
  if (faceName) std::strncpy(desc.FaceName, faceName, LF_FACESIZE - 1);
  *font = new (std::nothrow) Font(device, desc);
  return *font ? D3D_OK : E_OUTOFMEMORY;
}
