#include "camera/Camera.h"

CCamera::CCamera() : position(0.0f, 0.1f, -1.8f), angleX(5.0f), angleY(0.0f) {
  D3DXMatrixIdentity(&world);
}

void CCamera::Update() {
  world = Pose(position, angleX * kDegreesToRadians, angleY * kDegreesToRadians);
}

void CCamera::SetView(D3DXMATRIX* view, IDirect3DDevice9* device) {
  if (!view) return;
  D3DXMatrixInverse(view, nullptr, &world);  // a singular world leaves view unchanged
  if (device) device->SetTransform(D3DTS_VIEW, view);
}

D3DXMATRIX CCamera::Pose(const D3DXVECTOR3& place, float pitch, float yaw) {
  D3DXMATRIX translation, aboutX, aboutY;
  D3DXMatrixTranslation(&translation, place.x, place.y, place.z);
  D3DXMatrixRotationX(&aboutX, pitch);
  D3DXMatrixRotationY(&aboutY, yaw);
  return translation * aboutX * aboutY;
}
