#include "camera/Camera.h"

CCamera::CCamera() : position(0.0f, 0.1f, -1.8f), angleX(5.0f), angleY(0.0f) {
  D3DXMatrixIdentity(&world);
}

void CCamera::Update() {
  D3DXMATRIX translation, turnX, turnY;
  D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
  D3DXMatrixRotationX(&turnX, angleX * kDegreesToRadians);
  D3DXMatrixRotationY(&turnY, angleY * kDegreesToRadians);
  world = translation * turnX * turnY;
}

void CCamera::SetView(D3DXMATRIX* view, IDirect3DDevice9* device) {
  if (!view) return;
  D3DXMatrixInverse(view, nullptr, &world);  // a singular world leaves view unchanged
  if (device) device->SetTransform(D3DTS_VIEW, view);
}
