#include "render/Polygon.h"

#include "app/GraphicsDevice.h"

CPolygon::CPolygon(IDirect3DTexture9* polygonTexture)
    : vertices{}, position(0.0f, 0.0f, 0.0f), texture(polygonTexture) {
  // Colours and texture coordinates are the owner's to write before the first draw.
  for (Vertex& vertex : vertices) vertex.x = vertex.y = vertex.z = 0.0f;
  D3DXMatrixIdentity(&orientation);
}

D3DXMATRIX CPolygon::GetWorldMatrix() const {
  D3DXMATRIX translation, world;
  D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
  D3DXMatrixMultiply(&world, &orientation, &translation);
  return world;
}

void CPolygon::Draw() {
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  const D3DXMATRIX world = GetWorldMatrix();
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetFVF(kFvf);
  device->SetTexture(0, texture);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, vertices, sizeof(Vertex));
}
