#include "render/StencilClip.h"

bool StencilClip::BeginMask(IDirect3DDevice9* maskDevice, int) {
  device = maskDevice;
  if (!device) return false;
  DWORD value = 0;
  device->GetRenderState(D3DRS_ZENABLE, &value);
  savedZEnable = value;
  device->GetRenderState(D3DRS_ZFUNC, &value);
  savedZFunc = value;
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
  device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
  device->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_REPLACE);
  device->SetRenderState(D3DRS_STENCILREF, maskReference);
  device->SetRenderState(D3DRS_STENCILMASK, 0xFF);
  clipping = 0;
  return true;
}

bool StencilClip::EndMask() {
  if (!device) return false;
  device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  device->SetRenderState(D3DRS_ZENABLE, savedZEnable);
  device->SetRenderState(D3DRS_ZFUNC, savedZFunc);
  return true;
}

bool StencilClip::BeginClip() {
  if (!device) return false;
  device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILREF, clipReference);
  device->SetRenderState(D3DRS_STENCILMASK, 0xFF);
  clipping = 1;
  return true;
}

bool StencilClip::EndClip() {
  if (!device) return false;
  device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  return true;
}
