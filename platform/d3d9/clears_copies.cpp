// Clears, and copies between surfaces: GetRenderTargetData (screenshots),
// StretchRect and ColorFill.
#include <algorithm>

#include "d3d9/device.h"
#include "glomp/headless.h"

namespace glomp::d3d9 {

void Device::ClearRect(GLbitfield mask, const RECT& rect) {
  glScissor(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  glClear(mask);
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
  std::lock_guard lock(mutex_);
  const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
  if (flags == 0 || (flags & ~known) || (count > 0 && !rects)) return D3DERR_INVALIDCALL;
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depth_) return D3DERR_INVALIDCALL;
  if (!gl_->OnGlThread()) return D3DERR_INVALIDCALL;
  if (!headless::Drawing()) return D3D_OK;
  gl_->CollectGarbage();
  if (!ApplyFramebuffer()) return D3DERR_INVALIDCALL;
  // A clear ignores the write masks and fills exactly the viewport (or rects in it).
  for (GLuint i = 0; i < D3DMAX_RENDER_TARGETS; ++i) glColorMaski(i, 1, 1, 1, 1);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  glEnable(GL_SCISSOR_TEST);
  dirtyGroups_ |= kColorMask | kDepth | kStencil | kScissor;
  float rgba[4];
  ColorToFloats(color, rgba);
  glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
  glClearDepth(z);
  glClearStencil(static_cast<GLint>(stencil & 0xFF));
  GLbitfield mask = ((flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                    ((flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0) |
                    ((flags & D3DCLEAR_STENCIL) ? GL_STENCIL_BUFFER_BIT : 0);
  RECT view = {LONG(viewport_.X), LONG(viewport_.Y), LONG(viewport_.X + viewport_.Width),
               LONG(viewport_.Y + viewport_.Height)};
  if (count == 0) {
    ClearRect(mask, view);
    return D3D_OK;
  }
  for (DWORD i = 0; i < count; ++i) {
    RECT r = {std::max(rects[i].x1, view.left), std::max(rects[i].y1, view.top),
              std::min(rects[i].x2, view.right), std::min(rects[i].y2, view.bottom)};
    if (r.left < r.right && r.top < r.bottom) ClearRect(mask, r);
  }
  return D3D_OK;
}

void Device::BindSurfaceForRead(Surface* surface, GLenum target) {
  glBindFramebuffer(target,
                    target == GL_READ_FRAMEBUFFER ? glo_.readFramebuffer : glo_.drawFramebuffer);
  AttachColor(target, GL_COLOR_ATTACHMENT0, surface);
  if (target == GL_READ_FRAMEBUFFER) glReadBuffer(GL_COLOR_ATTACHMENT0);
  else glDrawBuffer(GL_COLOR_ATTACHMENT0);
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                    IDirect3DSurface9* destSurface) {
  std::lock_guard lock(mutex_);
  Surface* source = renderTarget ? SurfaceOf(renderTarget) : nullptr;
  Surface* dest = destSurface ? SurfaceOf(destSurface) : nullptr;
  if (!source || !dest || !source->Storage()->IsRenderTarget() || source->Storage()->IsDepth())
    return D3DERR_INVALIDCALL;
  std::vector<BYTE>* memory = dest->Storage()->Memory(dest->Face(), dest->Level());
  const FormatInfo& from = source->Storage()->Format();
  const FormatInfo& to = dest->Storage()->Format();
  if (!memory || source->Width() != dest->Width() || source->Height() != dest->Height() ||
      from.pixelFormat != to.pixelFormat || from.pixelType != to.pixelType)
    return D3DERR_INVALIDCALL;
  if (!gl_->OnGlThread()) return D3DERR_INVALIDCALL;
  BindSurfaceForRead(source, GL_READ_FRAMEBUFFER);
  glReadPixels(0, 0, GLsizei(source->Width()), GLsizei(source->Height()), from.pixelFormat,
               from.pixelType, memory->data());
  glBindFramebuffer(GL_FRAMEBUFFER, glo_.framebuffer);
  return D3D_OK;
}

HRESULT Device::StretchRect(IDirect3DSurface9* sourceSurface, const RECT* sourceRect,
                            IDirect3DSurface9* destSurface, const RECT* destRect,
                            D3DTEXTUREFILTERTYPE filter) {
  std::lock_guard lock(mutex_);
  Surface* source = sourceSurface ? SurfaceOf(sourceSurface) : nullptr;
  Surface* dest = destSurface ? SurfaceOf(destSurface) : nullptr;
  if (!source || !dest || source == dest || source->Storage()->IsDepth() ||
      dest->Storage()->IsDepth() || !dest->Storage()->IsRenderTarget() ||
      !source->Storage()->IsRenderTarget())
    return D3DERR_INVALIDCALL;
  RECT from = sourceRect ? *sourceRect : RECT{0, 0, LONG(source->Width()), LONG(source->Height())};
  RECT to = destRect ? *destRect : RECT{0, 0, LONG(dest->Width()), LONG(dest->Height())};
  auto inside = [](const RECT& r, Surface* s) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= LONG(s->Width()) && r.bottom <= LONG(s->Height());
  };
  if (!inside(from, source) || !inside(to, dest)) return D3DERR_INVALIDCALL;
  if (!gl_->OnGlThread()) return D3DERR_INVALIDCALL;
  BindSurfaceForRead(source, GL_READ_FRAMEBUFFER);
  BindSurfaceForRead(dest, GL_DRAW_FRAMEBUFFER);
  glDisable(GL_SCISSOR_TEST);
  glColorMaski(0, 1, 1, 1, 1);
  dirtyGroups_ |= kScissor | kColorMask;
  glBlitFramebuffer(from.left, from.top, from.right, from.bottom, to.left, to.top, to.right,
                    to.bottom, GL_COLOR_BUFFER_BIT,
                    filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, glo_.framebuffer);
  return D3D_OK;
}

HRESULT Device::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) {
  std::lock_guard lock(mutex_);
  Surface* target = surface ? SurfaceOf(surface) : nullptr;
  if (!target || !target->Storage()->IsRenderTarget() || target->Storage()->IsDepth())
    return D3DERR_INVALIDCALL;
  RECT area = rect ? *rect : RECT{0, 0, LONG(target->Width()), LONG(target->Height())};
  if (area.left < 0 || area.top < 0 || area.right > LONG(target->Width()) ||
      area.bottom > LONG(target->Height()) || area.left >= area.right || area.top >= area.bottom)
    return D3DERR_INVALIDCALL;
  if (!gl_->OnGlThread()) return D3DERR_INVALIDCALL;
  BindSurfaceForRead(target, GL_DRAW_FRAMEBUFFER);
  glEnable(GL_SCISSOR_TEST);
  glColorMaski(0, 1, 1, 1, 1);
  dirtyGroups_ |= kScissor | kColorMask;
  glScissor(area.left, area.top, area.right - area.left, area.bottom - area.top);
  float rgba[4];
  ColorToFloats(color, rgba);
  glClearBufferfv(GL_COLOR, 0, rgba);
  glBindFramebuffer(GL_FRAMEBUFFER, glo_.framebuffer);
  return D3D_OK;
}

}  // namespace glomp::d3d9
