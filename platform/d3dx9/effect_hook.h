// How an effect pass reaches the device's draws: while a pass is active the
// device runs the pass's program instead of its fixed-function emulation.
#pragma once
#include <d3d9.h>

namespace glomp::fx {

class PassHook {
 public:
  // Just before each draw, after the device has applied its own state: bind the
  // program, upload uniforms, bind textures.
  virtual void BeforeDraw() = 0;
  // Right after the draw: leave GL as the device expects it.
  virtual void AfterDraw() = 0;

 protected:
  ~PassHook() = default;
};

// Makes `hook` run around every draw of `device` until removed.
void InstallPassHook(IDirect3DDevice9* device, PassHook* hook);
// Removes it again (nothing when another hook has replaced it).
void RemovePassHook(IDirect3DDevice9* device, PassHook* hook);

// The GL texture object behind a device texture (made current with its pixels),
// 0 for null; `cube` tells whether it is a cube map.
unsigned TextureName(IDirect3DBaseTexture9* texture, bool* cube);

}  // namespace glomp::fx
