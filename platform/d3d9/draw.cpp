// The GL side of the device: the context, the fixed-function program, the
// flush of D3D state into GL, draws, clears, copies and Present.
#include <cstdio>
#include <cstring>

#include "d3d9/device.h"

namespace glomp::d3d9 {
namespace {

// GL_UPPER_LEFT clip control flips y on the way to window coordinates and
// negates GL's facing test with it, so GL's winding names agree with what D3D's
// screen shows: D3D's clockwise triangles are GL_CW. D3D draws clockwise faces
// by default (D3DCULL_CCW), so GL's front face is the clockwise one.
constexpr GLenum kD3DClockwiseWinding = GL_CW;

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 5) in vec4 aDiffuse;
layout(location = 7) in vec4 aTexCoord0;
uniform mat4 uWorldViewProj;
uniform bool uPretransformed;
uniform vec4 uScreenToNdc;
out vec4 vDiffuse;
out vec2 vTexCoord;
void main() {
  if (uPretransformed) {
    float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;
    gl_Position = vec4((aPosition.x * uScreenToNdc.x + uScreenToNdc.z) * w,
                       (aPosition.y * uScreenToNdc.y + uScreenToNdc.w) * w,
                       aPosition.z * w, w);
  } else {
    gl_Position = uWorldViewProj * aPosition;
  }
  vDiffuse = aDiffuse;
  vTexCoord = aTexCoord0.xy;
}
)";

// Texture stage 0 of the fixed-function pipeline; the game uses only stage 0.
const char* kFragmentShader = R"(#version 330 core
in vec4 vDiffuse;
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform bool uHasTexture;
uniform ivec3 uColorOp;
uniform ivec3 uAlphaOp;
uniform vec4 uTextureFactor;
uniform int uAlphaFunc;
uniform float uAlphaRef;
layout(location = 0) out vec4 oColor;

vec4 Arg(int arg, vec4 tex) {
  int source = arg & 15;
  vec4 value = vDiffuse;  // D3DTA_DIFFUSE, and D3DTA_CURRENT at stage 0
  if (source == 2) value = tex;
  else if (source == 3) value = uTextureFactor;
  else if (source > 3) value = vec4(0.0);
  if ((arg & 16) != 0) value = vec4(1.0) - value;
  if ((arg & 32) != 0) value = value.aaaa;
  return value;
}

vec4 Combine(int op, vec4 a, vec4 b) {
  if (op == 2) return a;
  if (op == 3) return b;
  if (op == 5) return 2.0 * a * b;
  if (op == 6) return 4.0 * a * b;
  if (op == 7) return a + b;
  if (op == 8) return a + b - 0.5;
  if (op == 9) return 2.0 * (a + b - 0.5);
  if (op == 10) return a - b;
  if (op == 11) return a + b - a * b;
  return a * b;
}

bool Passes(int func, float value, float reference) {
  if (func == 1) return false;
  if (func == 2) return value < reference;
  if (func == 3) return value == reference;
  if (func == 4) return value <= reference;
  if (func == 5) return value > reference;
  if (func == 6) return value != reference;
  if (func == 7) return value >= reference;
  return true;
}

void main() {
  vec4 tex = uHasTexture ? texture(uTexture, vTexCoord) : vec4(1.0);
  vec4 color = vDiffuse;
  if (uColorOp.x != 1) {
    color.rgb = Combine(uColorOp.x, Arg(uColorOp.y, tex), Arg(uColorOp.z, tex)).rgb;
    if (uAlphaOp.x != 1) color.a = Combine(uAlphaOp.x, Arg(uAlphaOp.y, tex), Arg(uAlphaOp.z, tex)).a;
  }
  color = clamp(color, 0.0, 1.0);
  if (!Passes(uAlphaFunc, floor(color.a * 255.0 + 0.5), uAlphaRef)) discard;
  oColor = color;
}
)";

GLuint Compile(GLenum type, const char* source) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "d3d9: fixed-function shader: %s\n", log);
  }
  return shader;
}

GLenum CompareFunc(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum StencilOp(DWORD op) {
  switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLenum BlendFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
  }
}

// D3DBLEND_BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source one.
void BlendFactors(DWORD src, DWORD dst, GLenum* glSrc, GLenum* glDst) {
  if (src == D3DBLEND_BOTHSRCALPHA) src = D3DBLEND_SRCALPHA, dst = D3DBLEND_INVSRCALPHA;
  if (src == D3DBLEND_BOTHINVSRCALPHA) src = D3DBLEND_INVSRCALPHA, dst = D3DBLEND_SRCALPHA;
  *glSrc = BlendFactor(src);
  *glDst = BlendFactor(dst);
}

GLenum BlendOp(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLint AddressMode(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

GLint MinFilter(DWORD min, DWORD mip) {
  bool linear = min >= D3DTEXF_LINEAR;
  if (mip == D3DTEXF_NONE) return linear ? GL_LINEAR : GL_NEAREST;
  if (mip == D3DTEXF_POINT) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return GL_TRIANGLE_FAN;
  }
}

void ColorToFloats(D3DCOLOR color, float out[4]) {
  out[0] = ((color >> 16) & 0xFF) / 255.0f;
  out[1] = ((color >> 8) & 0xFF) / 255.0f;
  out[2] = (color & 0xFF) / 255.0f;
  out[3] = ((color >> 24) & 0xFF) / 255.0f;
}

float BitsToFloat(DWORD bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void AttachColor(GLenum framebufferTarget, GLenum attachment, Surface* surface) {
  if (!surface) {
    glFramebufferTexture2D(framebufferTarget, attachment, GL_TEXTURE_2D, 0, 0);
    return;
  }
  ImageStorage* storage = surface->Storage();
  GLuint name = storage->Prepare();
  GLenum textarget = storage->Faces() == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + surface->Face()
                                           : GL_TEXTURE_2D;
  glFramebufferTexture2D(framebufferTarget, attachment, textarget, name,
                         static_cast<GLint>(surface->Level()));
}

}  // namespace

// ---------------------------------------------------------------- context
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

bool Device::BuildProgram() {
  GLuint vertex = Compile(GL_VERTEX_SHADER, kVertexShader);
  GLuint fragment = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
  glo_.program = glCreateProgram();
  glAttachShader(glo_.program, vertex);
  glAttachShader(glo_.program, fragment);
  glLinkProgram(glo_.program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(glo_.program, GL_LINK_STATUS, &ok);
  if (!ok) return false;
  GLuint p = glo_.program;
  glo_.uWorldViewProj = glGetUniformLocation(p, "uWorldViewProj");
  glo_.uPretransformed = glGetUniformLocation(p, "uPretransformed");
  glo_.uScreenToNdc = glGetUniformLocation(p, "uScreenToNdc");
  glo_.uHasTexture = glGetUniformLocation(p, "uHasTexture");
  glo_.uColorOp = glGetUniformLocation(p, "uColorOp");
  glo_.uAlphaOp = glGetUniformLocation(p, "uAlphaOp");
  glo_.uTextureFactor = glGetUniformLocation(p, "uTextureFactor");
  glo_.uAlphaFunc = glGetUniformLocation(p, "uAlphaFunc");
  glo_.uAlphaRef = glGetUniformLocation(p, "uAlphaRef");
  glo_.uTexture = glGetUniformLocation(p, "uTexture");
  glUseProgram(p);
  glUniform1i(glo_.uTexture, 0);  // stage 0 is texture unit 0
  return true;
}

// ---------------------------------------------------------------- flushing state
bool Device::ApplyFramebuffer() {
  glBindFramebuffer(GL_FRAMEBUFFER, glo_.framebuffer);
  if (!targetsDirty_) return framebufferComplete_;
  GLenum buffers[D3DMAX_RENDER_TARGETS];
  for (GLuint i = 0; i < D3DMAX_RENDER_TARGETS; ++i) {
    AttachColor(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, targets_[i]);
    buffers[i] = targets_[i] ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
  }
  // D3D needs a depth surface at least as large as target 0; GL would instead
  // cut every draw to the smaller one. A too small one is left out.
  bool depthFits = depth_ && targets_[0] && depth_->Width() >= targets_[0]->Width() &&
                   depth_->Height() >= targets_[0]->Height();
  if (depthFits) {
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D,
                           depth_->Storage()->Prepare(), 0);
  } else {
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
  }
  glDrawBuffers(D3DMAX_RENDER_TARGETS, buffers);
  framebufferComplete_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  targetsDirty_ = false;
  return framebufferComplete_;
}

void Device::ApplyRenderStates(bool fixedFunction) {
  const auto& rs = renderStates_;
  if (fixedFunction != lastDrawFixedFunction_) {
    dirtyGroups_ |= kColorMask;
    lastDrawFixedFunction_ = fixedFunction;
  }
  if (dirtyGroups_ & kBlend) {
    if (rs[D3DRS_ALPHABLENDENABLE]) {
      glEnable(GL_BLEND);
      GLenum src, dst, srcAlpha, dstAlpha;
      BlendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
      bool separate = rs[D3DRS_SEPARATEALPHABLENDENABLE];
      if (separate)
        BlendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &srcAlpha, &dstAlpha);
      else
        srcAlpha = src, dstAlpha = dst;
      glBlendFuncSeparate(src, dst, srcAlpha, dstAlpha);
      glBlendEquationSeparate(BlendOp(rs[D3DRS_BLENDOP]),
                              BlendOp(separate ? rs[D3DRS_BLENDOPALPHA] : rs[D3DRS_BLENDOP]));
      float factor[4];
      ColorToFloats(rs[D3DRS_BLENDFACTOR], factor);
      glBlendColor(factor[0], factor[1], factor[2], factor[3]);
    } else {
      glDisable(GL_BLEND);
    }
  }
  if (dirtyGroups_ & kDepth) {
    // Without a depth test D3D writes no depth either, which is GL's rule too.
    if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
    glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  }
  if (dirtyGroups_ & kStencil) {
    if (rs[D3DRS_STENCILENABLE]) glEnable(GL_STENCIL_TEST);
    else glDisable(GL_STENCIL_TEST);
    GLint ref = static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF);
    GLuint mask = rs[D3DRS_STENCILMASK];
    bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE];
    // GL's front faces are D3D's clockwise ones; the CCW_ states are for the others.
    glStencilFuncSeparate(GL_FRONT, CompareFunc(rs[D3DRS_STENCILFUNC]), ref, mask);
    glStencilOpSeparate(GL_FRONT, StencilOp(rs[D3DRS_STENCILFAIL]),
                        StencilOp(rs[D3DRS_STENCILZFAIL]), StencilOp(rs[D3DRS_STENCILPASS]));
    DWORD backFunc = twoSided ? rs[D3DRS_CCW_STENCILFUNC] : rs[D3DRS_STENCILFUNC];
    glStencilFuncSeparate(GL_BACK, CompareFunc(backFunc), ref, mask);
    glStencilOpSeparate(
        GL_BACK, StencilOp(twoSided ? rs[D3DRS_CCW_STENCILFAIL] : rs[D3DRS_STENCILFAIL]),
        StencilOp(twoSided ? rs[D3DRS_CCW_STENCILZFAIL] : rs[D3DRS_STENCILZFAIL]),
        StencilOp(twoSided ? rs[D3DRS_CCW_STENCILPASS] : rs[D3DRS_STENCILPASS]));
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
  }
  if (dirtyGroups_ & kRaster) {
    switch (rs[D3DRS_CULLMODE]) {
      case D3DCULL_NONE: glDisable(GL_CULL_FACE); break;
      case D3DCULL_CW: glEnable(GL_CULL_FACE), glCullFace(GL_FRONT); break;
      default: glEnable(GL_CULL_FACE), glCullFace(GL_BACK); break;
    }
    DWORD fill = rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK,
                  fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
  }
  if (dirtyGroups_ & kColorMask) {
    static const D3DRENDERSTATETYPE kMasks[D3DMAX_RENDER_TARGETS] = {
        D3DRS_COLORWRITEENABLE, D3DRS_COLORWRITEENABLE1, D3DRS_COLORWRITEENABLE2,
        D3DRS_COLORWRITEENABLE3};
    for (GLuint i = 0; i < D3DMAX_RENDER_TARGETS; ++i) {
      // The fixed-function pipeline writes render target 0 only.
      DWORD mask = fixedFunction && i > 0 ? 0 : rs[kMasks[i]];
      glColorMaski(i, mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
    }
  }
  if (dirtyGroups_ & kScissor) {
    if (rs[D3DRS_SCISSORTESTENABLE]) glEnable(GL_SCISSOR_TEST);
    else glDisable(GL_SCISSOR_TEST);
    glScissor(scissor_.left, scissor_.top, scissor_.right - scissor_.left,
              scissor_.bottom - scissor_.top);
  }
  dirtyGroups_ = 0;
}

void Device::ApplyTextures() {
  for (GLuint unit = 0; unit < kMaxSamplers; ++unit) {
    GLuint name = 0;
    GLenum target = boundTarget_[unit];
    if (ImageStorage* storage = StorageOf(textures_[unit])) {
      name = storage->Prepare();
      target = storage->Target();
    }
    if (name != boundTexture_[unit] || target != boundTarget_[unit]) {
      glActiveTexture(GL_TEXTURE0 + unit);
      if (target != boundTarget_[unit]) glBindTexture(boundTarget_[unit], 0);
      glBindTexture(target, name);
      boundTexture_[unit] = name;
      boundTarget_[unit] = target;
    }
    if (samplerDirty_[unit]) {
      const DWORD* s = samplerStates_[unit];
      GLuint sampler = glo_.samplers[unit];
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, AddressMode(s[D3DSAMP_ADDRESSU]));
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, AddressMode(s[D3DSAMP_ADDRESSV]));
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, AddressMode(s[D3DSAMP_ADDRESSW]));
      float border[4];
      ColorToFloats(s[D3DSAMP_BORDERCOLOR], border);
      glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
      glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                          s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
      glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                          MinFilter(s[D3DSAMP_MINFILTER], s[D3DSAMP_MIPFILTER]));
      glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, BitsToFloat(s[D3DSAMP_MIPMAPLODBIAS]));
      glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(s[D3DSAMP_MAXMIPLEVEL]));
      samplerDirty_[unit] = false;
    }
  }
  glActiveTexture(GL_TEXTURE0);
}

void Device::ApplyVertexLayout(const FvfLayout& layout, UINT stride, size_t base) {
  auto pointer = [&](GLuint location, GLint size, GLenum type, GLboolean normalized,
                     size_t offset) {
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, size, type, normalized, static_cast<GLsizei>(stride),
                          reinterpret_cast<const void*>(base + offset));
  };
  auto absent = [](GLuint location, float value) {
    glDisableVertexAttribArray(location);
    glVertexAttrib4f(location, value, value, value, 1.0f);
  };
  pointer(kAttribPosition, static_cast<GLint>(layout.positionComponents), GL_FLOAT, GL_FALSE,
          layout.positionOffset);
  if (layout.blendWeights > 0)
    pointer(kAttribBlendWeight, layout.blendWeights, GL_FLOAT, GL_FALSE, layout.blendWeightOffset);
  else
    absent(kAttribBlendWeight, 0.0f);
  if (layout.blendIndices)
    pointer(kAttribBlendIndices, 4, GL_UNSIGNED_BYTE, GL_FALSE, layout.blendIndexOffset);
  else
    absent(kAttribBlendIndices, 0.0f);
  if (layout.normalOffset >= 0) pointer(kAttribNormal, 3, GL_FLOAT, GL_FALSE, size_t(layout.normalOffset));
  else absent(kAttribNormal, 0.0f);
  if (layout.pointSizeOffset >= 0)
    pointer(kAttribPointSize, 1, GL_FLOAT, GL_FALSE, size_t(layout.pointSizeOffset));
  else
    absent(kAttribPointSize, 0.0f);
  // D3DCOLOR is B, G, R, A in memory: GL's BGRA vertex format reads it as is.
  if (layout.diffuseOffset >= 0)
    pointer(kAttribDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, size_t(layout.diffuseOffset));
  else
    absent(kAttribDiffuse, 1.0f);  // white stands in for a missing colour
  if (layout.specularOffset >= 0)
    pointer(kAttribSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, size_t(layout.specularOffset));
  else
    absent(kAttribSpecular, 1.0f);
  for (UINT i = 0; i < 8; ++i) {
    if (i < layout.texCoordCount)
      pointer(kAttribTexCoord0 + i, static_cast<GLint>(layout.texCoordSize[i]), GL_FLOAT,
              GL_FALSE, layout.texCoordOffset[i]);
    else
      absent(kAttribTexCoord0 + i, 0.0f);
  }
}

DrawState Device::CurrentDrawState(const FvfLayout& layout) const {
  DrawState state;
  state.fvf = fvf_;
  state.pretransformed = layout.pretransformed;
  state.targetWidth = targets_[0] ? targets_[0]->Width() : 0;
  state.targetHeight = targets_[0] ? targets_[0]->Height() : 0;
  state.viewport = viewport_;
  float w = static_cast<float>(viewport_.Width), h = static_cast<float>(viewport_.Height);
  state.screenToNdc[0] = 2.0f / w;
  state.screenToNdc[1] = -2.0f / h;
  state.screenToNdc[2] = -1.0f - 2.0f * static_cast<float>(viewport_.X) / w;
  state.screenToNdc[3] = 1.0f + 2.0f * static_cast<float>(viewport_.Y) / h;
  return state;
}

void Device::UseProgram(const FvfLayout& layout) {
  DrawState state = CurrentDrawState(layout);
  // The fixed-function program is always set up first: an override that has
  // nothing to draw with (an effect outside its passes) leaves it in use, as
  // D3D falls back to the fixed pipeline when no shaders are set.
  glUseProgram(glo_.program);
  D3DMATRIX wvp = Multiply(Multiply(world_[0], view_), projection_);
  glUniformMatrix4fv(glo_.uWorldViewProj, 1, GL_FALSE, &wvp.m[0][0]);
  glUniform1i(glo_.uPretransformed, layout.pretransformed ? 1 : 0);
  glUniform4fv(glo_.uScreenToNdc, 1, state.screenToNdc);
  ImageStorage* storage = StorageOf(textures_[0]);
  glUniform1i(glo_.uHasTexture, storage && storage->Target() == GL_TEXTURE_2D ? 1 : 0);
  const DWORD* stage = stageStates_[0];
  glUniform3i(glo_.uColorOp, GLint(stage[D3DTSS_COLOROP]), GLint(stage[D3DTSS_COLORARG1]),
              GLint(stage[D3DTSS_COLORARG2]));
  glUniform3i(glo_.uAlphaOp, GLint(stage[D3DTSS_ALPHAOP]), GLint(stage[D3DTSS_ALPHAARG1]),
              GLint(stage[D3DTSS_ALPHAARG2]));
  float factor[4];
  ColorToFloats(renderStates_[D3DRS_TEXTUREFACTOR], factor);
  glUniform4fv(glo_.uTextureFactor, 1, factor);
  glUniform1i(glo_.uAlphaFunc, renderStates_[D3DRS_ALPHATESTENABLE]
                                   ? GLint(renderStates_[D3DRS_ALPHAFUNC])
                                   : GLint(D3DCMP_ALWAYS));
  glUniform1f(glo_.uAlphaRef, static_cast<float>(renderStates_[D3DRS_ALPHAREF] & 0xFF));
  if (override_) override_->Apply(state);
}

HRESULT Device::PrepareDraw(const FvfLayout& layout) {
  if (!gl_->OnGlThread() || !layout.valid) return D3DERR_INVALIDCALL;
  gl_->CollectGarbage();
  if (!ApplyFramebuffer()) return D3DERR_INVALIDCALL;
  glViewport(GLint(viewport_.X), GLint(viewport_.Y), GLsizei(viewport_.Width),
             GLsizei(viewport_.Height));
  glDepthRange(viewport_.MinZ, viewport_.MaxZ);
  ApplyRenderStates(override_ == nullptr);
  ApplyTextures();
  glBindVertexArray(glo_.vao);
  return D3D_OK;
}

void Device::Draw(const FvfLayout& layout, GLenum mode, UINT stride, size_t vertexOffset,
                  GLint first, GLsizei count, GLenum indexType, size_t indexOffset,
                  GLint baseVertex) {
  ApplyVertexLayout(layout, stride, vertexOffset);
  UseProgram(layout);
  if (indexType == GL_NONE)
    glDrawArrays(mode, first, count);
  else
    glDrawElementsBaseVertex(mode, count, indexType, reinterpret_cast<const void*>(indexOffset),
                             baseVertex);
}

// ---------------------------------------------------------------- draws
HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                UINT stride) {
  std::lock_guard lock(mutex_);
  UINT count = VertexCountOf(type, primitiveCount);
  if (!vertices || stride == 0 || count == 0) return D3DERR_INVALIDCALL;
  FvfLayout layout = DescribeFvf(fvf_);
  if (HRESULT hr = PrepareDraw(layout); FAILED(hr)) return hr;
  glBindBuffer(GL_ARRAY_BUFFER, glo_.streamVertices);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count) * stride, vertices, GL_STREAM_DRAW);
  Draw(layout, PrimitiveMode(type), stride, 0, 0, GLsizei(count), GL_NONE, 0, 0);
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                       UINT numVertices, UINT primitiveCount,
                                       const void* indices, D3DFORMAT indexFormat,
                                       const void* vertices, UINT stride) {
  std::lock_guard lock(mutex_);
  UINT count = VertexCountOf(type, primitiveCount);
  if (!vertices || !indices || stride == 0 || count == 0 || numVertices == 0 ||
      (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
    return D3DERR_INVALIDCALL;
  FvfLayout layout = DescribeFvf(fvf_);
  if (HRESULT hr = PrepareDraw(layout); FAILED(hr)) return hr;
  UINT indexSize = indexFormat == D3DFMT_INDEX16 ? 2 : 4;
  // Only the vertices the indices use are copied; a negative base vertex maps
  // index minVertexIndex to the first of them.
  glBindBuffer(GL_ARRAY_BUFFER, glo_.streamVertices);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(numVertices) * stride,
               static_cast<const BYTE*>(vertices) + size_t(minVertexIndex) * stride,
               GL_STREAM_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, glo_.streamIndices);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(count) * indexSize, indices, GL_STREAM_DRAW);
  Draw(layout, PrimitiveMode(type), stride, 0, 0, GLsizei(count),
       indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, 0, -GLint(minVertexIndex));
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  std::lock_guard lock(mutex_);
  UINT count = VertexCountOf(type, primitiveCount);
  const Stream& stream = streams_[0];
  if (count == 0 || !stream.buffer || stream.stride == 0) return D3DERR_INVALIDCALL;
  if (size_t(stream.offset) + size_t(startVertex + count) * stream.stride >
      stream.buffer->Storage().Size())
    return D3DERR_INVALIDCALL;
  FvfLayout layout = DescribeFvf(fvf_);
  if (HRESULT hr = PrepareDraw(layout); FAILED(hr)) return hr;
  stream.buffer->Storage().Prepare(GL_ARRAY_BUFFER);
  Draw(layout, PrimitiveMode(type), stream.stride, stream.offset, GLint(startVertex),
       GLsizei(count), GL_NONE, 0, 0);
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT,
                                     UINT numVertices, UINT startIndex, UINT primCount) {
  std::lock_guard lock(mutex_);
  UINT count = VertexCountOf(type, primCount);
  const Stream& stream = streams_[0];
  if (count == 0 || numVertices == 0 || !stream.buffer || stream.stride == 0 || !indices_)
    return D3DERR_INVALIDCALL;
  UINT indexSize = indices_->Format() == D3DFMT_INDEX16 ? 2 : 4;
  if (size_t(startIndex + count) * indexSize > indices_->Storage().Size())
    return D3DERR_INVALIDCALL;
  FvfLayout layout = DescribeFvf(fvf_);
  if (HRESULT hr = PrepareDraw(layout); FAILED(hr)) return hr;
  stream.buffer->Storage().Prepare(GL_ARRAY_BUFFER);
  indices_->Storage().Prepare(GL_ELEMENT_ARRAY_BUFFER);
  Draw(layout, PrimitiveMode(type), stream.stride, stream.offset, 0, GLsizei(count),
       indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, size_t(startIndex) * indexSize,
       baseVertexIndex);
  return D3D_OK;
}

// ---------------------------------------------------------------- clears and copies
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
  GLint backWidth = GLint(backBuffer_->Width()), backHeight = GLint(backBuffer_->Height());
  if (width <= 0 || height <= 0) width = backWidth, height = backHeight;
  // The back buffer is stored top row first; the window's row 0 is its bottom.
  glBlitFramebuffer(0, 0, backWidth, backHeight, 0, height, width, 0, GL_COLOR_BUFFER_BIT,
                    width == backWidth && height == backHeight ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(window_);
  glBindFramebuffer(GL_FRAMEBUFFER, glo_.framebuffer);
  return D3D_OK;
}

}  // namespace glomp::d3d9
