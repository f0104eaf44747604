// The GL context the device draws with, on the game window or a hidden one of
// its own, and Present, which copies the back buffer to the window.
#include <cstdio>

#include "d3d9/device.h"
#include "d3d9/picture_fit.h"

namespace glomp::d3d9 {
namespace {

// GL_UPPER_LEFT clip control flips y on the way to window coordinates and
// negates GL's facing test with it, so GL's winding names agree with what D3D's
// screen shows: D3D's clockwise triangles are GL_CW. D3D draws clockwise faces
// by default (D3DCULL_CCW), so GL's front face is the clockwise one.
constexpr GLenum kD3DClockwiseWinding = GL_CW;

}  // namespace

FittedPicture FitPicture(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || windowWidth <= 0 || windowHeight <= 0)
    return {0, 0, windowWidth, windowHeight};
  // As wide as the window, unless that makes it taller than the window.
  long long width = windowWidth;
  long long height = width * pictureHeight / pictureWidth;
  if (height > windowHeight) {
    height = windowHeight;
    width = height * pictureWidth / pictureHeight;
  }
  return {int((windowWidth - width) / 2), int((windowHeight - height) / 2), int(width),
          int(height)};
}

bool Device::InitGl(SDL_Window* window) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  auto makeContext = [this](SDL_Window* target) -> bool {
    static const int kVersions[][2] = {{4, 5}, {3, 3}};
    for (const auto& version : kVersions) {
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, version[0]);
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, version[1]);
      context_ = SDL_GL_CreateContext(target);
      if (context_) {
        window_ = target;
        return true;
      }
    }
    return false;
  };
  if (window && !makeContext(window))
    std::fprintf(stderr, "d3d9: no OpenGL context on the game window (%s); drawing off screen\n",
                 SDL_GetError());
  if (!context_) {
    // No game window (tests, or a window SDL cannot draw GL into): a hidden
    // window of our own holds the context; the back buffer is ours anyway.
    window_ = SDL_CreateWindow("glomp", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               static_cast<int>(params_.BackBufferWidth),
                               static_cast<int>(params_.BackBufferHeight),
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) return false;
    ownWindow_ = true;
    if (!makeContext(window_)) {
      std::fprintf(stderr, "d3d9: no OpenGL context: %s\n", SDL_GetError());
      return false;
    }
  }
  if (SDL_GL_MakeCurrent(window_, context_) != 0) return false;
  if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) {
    std::fprintf(stderr, "d3d9: OpenGL lacks ARB_clip_control\n");
    return false;
  }
  gl_->SetGlThread(std::this_thread::get_id());
  SDL_GL_SetSwapInterval(params_.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  glFrontFace(kD3DClockwiseWinding);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGenVertexArrays(1, &glo_.vao);
  glGenFramebuffers(1, &glo_.framebuffer);
  glGenFramebuffers(1, &glo_.readFramebuffer);
  glGenFramebuffers(1, &glo_.drawFramebuffer);
  glGenBuffers(1, &glo_.streamVertices);
  glGenBuffers(1, &glo_.streamIndices);
  glGenSamplers(kMaxSamplers, glo_.samplers);
  for (GLuint unit = 0; unit < kMaxSamplers; ++unit) glBindSampler(unit, glo_.samplers[unit]);
  return BuildProgram();
}

HRESULT Device::Present(const RECT*, const RECT*, HWND, const void*) {
  std::lock_guard lock(mutex_);
  if (!gl_->OnGlThread()) return D3DERR_INVALIDCALL;
  gl_->CollectGarbage();
  BindSurfaceForRead(backBuffer_, GL_READ_FRAMEBUFFER);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMaski(0, 1, 1, 1, 1);
  dirtyGroups_ |= kScissor | kColorMask;
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(window_, &width, &height);
  const GLint backWidth = GLint(backBuffer_->Width()), backHeight = GLint(backBuffer_->Height());
  if (width <= 0 || height <= 0) width = backWidth, height = backHeight;
  const FittedPicture fit = FitPicture(backWidth, backHeight, width, height);
  if (fit.width != width || fit.height != height) {
    // Bars around a picture of another shape than the window.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // The back buffer is stored top row first; the window's row 0 is its bottom.
  const GLint bottom = height - fit.y - fit.height;
  glBlitFramebuffer(0, 0, backWidth, backHeight, fit.x, bottom + fit.height, fit.x + fit.width,
                    bottom, GL_COLOR_BUFFER_BIT,
                    fit.width == backWidth && fit.height == backHeight ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(window_);
  glBindFramebuffer(GL_FRAMEBUFFER, glo_.framebuffer);
  return D3D_OK;
}

}  // namespace glomp::d3d9
