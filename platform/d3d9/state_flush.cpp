// Flushing the device's plain-value state into GL before a draw or clear: the
// framebuffer, the render-state groups that changed, textures and samplers,
// and the vertex layout.
#include <cstring>

#include "d3d9/device.h"

namespace glomp::d3d9 {
namespace {

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

float BitsToFloat(DWORD bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

// The device's framebuffer stays bound between calls (copies and Present bind
// it again when they are done), so it is set up only when the targets change.
bool Device::ApplyFramebuffer() {
  if (!targetsDirty_) return framebufferComplete_;
  glBindFramebuffer(GL_FRAMEBUFFER, glo_.framebuffer);
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

void Device::ApplyVertexLayout(const FvfLayout& layout, GLuint buffer, UINT stride, size_t base) {
  // The vertex array keeps the attribute setup: only a new format, buffer,
  // stride or offset needs it made again.
  AppliedLayout wanted{true, fvf_, buffer, stride, base, gl_->BufferDeletions()};
  const AppliedLayout& had = appliedLayout_;
  if (had.valid && had.fvf == wanted.fvf && had.buffer == buffer && had.stride == stride &&
      had.base == base && had.bufferDeletions == wanted.bufferDeletions)
    return;
  appliedLayout_ = wanted;
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

HRESULT Device::PrepareDraw(const FvfLayout& layout) {
  // A vertex carries at most four blend weights to the vertex stage.
  if (!gl_->OnGlThread() || !layout.valid || layout.blendWeights > 4) return D3DERR_INVALIDCALL;
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

}  // namespace glomp::d3d9
