// Restricting drawing to the screen area covered by earlier mask shapes, through
// the stencil buffer of the default depth-stencil surface: BeginMask, draw the
// mask, EndMask, BeginClip, draw the clipped content, EndClip.
#pragma once
#include <d3d9.h>

class StencilClip {
 public:
  StencilClip() = default;
  virtual ~StencilClip() = default;

  // Shapes drawn now only mark the stencil: the depth test fails everywhere, so
  // neither colour nor depth is written. The second argument is not used.
  virtual bool BeginMask(IDirect3DDevice9* device, int unused = 0);
  // Stencil off; depth test and function as they were before BeginMask.
  virtual bool EndMask();
  // Drawing passes only where a mask was drawn.
  virtual bool BeginClip();
  // Stencil off. Function, operations and reference are left for the next user.
  virtual bool EndClip();

  INT clipping = 0;
  UINT maskReference = 1;
  UINT clipReference = 1;
  IDirect3DDevice9* device = nullptr;  // not owned; the one of the last BeginMask
  UINT savedZEnable = 0;
  UINT savedZFunc = 0;
};
