// A textured, vertex-coloured quad placed in the world by an orientation matrix and a
// position: the billboards and flat sprites of the effects, flags and sparks.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

class CPolygon {
 public:
  // Position, diffuse colour (ARGB) and texture coordinates: FVF XYZ | DIFFUSE | TEX1.
  struct Vertex {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
  };
  static constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

  explicit CPolygon(IDirect3DTexture9* texture = nullptr);
  virtual ~CPolygon() {}

  // orientation x translation(position): where the quad stands in the world.
  D3DXMATRIX GetWorldMatrix() const;
  // Fixed-function drawing: world transform, the texture on stage 0 and one
  // two-triangle fan from the four corners.
  void Draw();

  Vertex vertices[4];  // drawn as the fan (0, 1, 2), (0, 2, 3); the owner fills them
  D3DXMATRIX orientation;
  D3DXVECTOR3 position;
  IDirect3DTexture9* texture;  // not owned; bound as the material texture
};

static_assert(sizeof(CPolygon::Vertex) == 24, "the device reads 24-byte vertices");
