// The graphics device: the Direct3D object and device, and the sprite batch,
// font and surfaces that every drawing part of the game shares.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

class CGraphicsDevice {
 public:
  // The one device object; its storage starts zeroed and it is never destroyed,
  // only released by Release().
  static CGraphicsDevice& GetInstance();

  bool Create(HWND window, int width, int height, D3DFORMAT fullScreenFormat, bool fullScreen);
  void SetDefaultStates();
  // Releases the surfaces, sprite, font, device and Direct3D object; pointers become null.
  void Release();

  // Sprite drawing of a whole texture; a null transform keeps the sprite's current one.
  // Call between the sprite's Begin and End. The texture type is the render
  // library's CTexture (its `texture` and its whole-image `rect` are used).
  template <typename Texture>
  void DrawTexture(const Texture* texture, D3DCOLOR color, const D3DXMATRIX* transform) {
    if (texture == nullptr) return;
    DrawSprite(texture->texture, texture->rect, color, transform);
  }
  // Draws the source region (null: the whole image) stretched to exactly
  // width x height pixels at (x, y).
  template <typename Texture>
  void DrawTextureStretched(const Texture* texture, int x, int y, int width, int height,
                            D3DCOLOR color, const RECT* source) {
    if (texture == nullptr) return;
    DrawSpriteStretched(texture->texture, source ? *source : texture->rect, x, y, width, height,
                        color);
  }
  // Draws text with the shared font at the transform's origin.
  void DrawString(const char* text, D3DCOLOR color, const D3DXMATRIX* transform);
  // A pretransformed, textured two-triangle strip covering the given screen rectangle.
  void DrawScreenQuad(float x, float y, float width, float height, float uMax, float vMax);
  void SetDirectionalLight(DWORD index, const D3DXVECTOR3* direction, const D3DXCOLOR* diffuse,
                           const D3DXCOLOR* ambient, const D3DXCOLOR* specular);
  D3DLIGHT9* GetLight(D3DLIGHT9* out, DWORD index);
  // States for screen-space drawing, and back to the 3D states.
  void Begin2D();
  void End2D();

  // The steps behind DrawTexture and DrawTextureStretched, for a bare texture.
  void DrawSprite(IDirect3DTexture9* texture, const RECT& whole, D3DCOLOR color,
                  const D3DXMATRIX* transform);
  void DrawSpriteStretched(IDirect3DTexture9* texture, const RECT& source, int x, int y,
                           int width, int height, D3DCOLOR color);

  IDirect3D9* d3d;
  IDirect3DDevice9* device;
  D3DPRESENT_PARAMETERS presentParams;  // as filled for creation and updated by it
  ID3DXSprite* sprite;
  ID3DXFont* font;
  D3DXFONT_DESCA fontDesc;
  D3DCAPS9 caps;
  IDirect3DSurface9* backBuffer;    // render target 0 right after creation
  IDirect3DSurface9* depthSurface;  // the automatic depth-stencil surface right after creation

 private:
  CGraphicsDevice() = default;
};
