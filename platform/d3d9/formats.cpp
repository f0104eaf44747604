// Direct3D formats in GL terms, vertex layouts and small helpers.
#include <algorithm>

#include "d3d9/internal.h"

namespace glomp::d3d9 {
namespace {

FormatInfo Color(D3DFORMAT format, UINT bytes, GLenum internal, GLenum pixelFormat,
                 GLenum pixelType, GLint r, GLint g, GLint b, GLint a, bool renderTarget) {
  FormatInfo info;
  info.format = format;
  info.bytesPerPixel = bytes;
  info.internalFormat = internal;
  info.pixelFormat = pixelFormat;
  info.pixelType = pixelType;
  info.swizzle[0] = r;
  info.swizzle[1] = g;
  info.swizzle[2] = b;
  info.swizzle[3] = a;
  info.renderTarget = renderTarget;
  return info;
}

FormatInfo Depth(D3DFORMAT format) {
  FormatInfo info;
  info.format = format;
  info.bytesPerPixel = 4;
  // Every depth format is kept as 24-bit depth with 8-bit stencil.
  info.internalFormat = GL_DEPTH24_STENCIL8;
  info.pixelFormat = GL_DEPTH_STENCIL;
  info.pixelType = GL_UNSIGNED_INT_24_8;
  info.depth = true;
  return info;
}

// D3D names formats from the most significant bit down in a little-endian
// word: A8R8G8B8 is the bytes B, G, R, A in memory, which is GL's BGRA.
const std::vector<FormatInfo>& Table() {
  static const std::vector<FormatInfo> table = {
      Color(D3DFMT_A8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, GL_RED, GL_GREEN, GL_BLUE,
            GL_ALPHA, true),
      Color(D3DFMT_X8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, GL_RED, GL_GREEN, GL_BLUE,
            GL_ONE, true),
      Color(D3DFMT_A8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_RED, GL_GREEN, GL_BLUE,
            GL_ALPHA, true),
      Color(D3DFMT_X8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_RED, GL_GREEN, GL_BLUE,
            GL_ONE, true),
      Color(D3DFMT_R5G6B5, 2, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, GL_RED, GL_GREEN,
            GL_BLUE, GL_ONE, true),
      Color(D3DFMT_A1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, GL_RED,
            GL_GREEN, GL_BLUE, GL_ALPHA, false),
      Color(D3DFMT_X1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, GL_RED,
            GL_GREEN, GL_BLUE, GL_ONE, false),
      Color(D3DFMT_A4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, GL_RED,
            GL_GREEN, GL_BLUE, GL_ALPHA, false),
      Color(D3DFMT_A8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, GL_ZERO, GL_ZERO, GL_ZERO, GL_RED,
            false),
      Color(D3DFMT_L8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, GL_RED, GL_RED, GL_RED, GL_ONE, false),
      Color(D3DFMT_A8L8, 2, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, GL_RED, GL_RED, GL_RED, GL_GREEN,
            false),
      Color(D3DFMT_R16F, 2, GL_R16F, GL_RED, GL_HALF_FLOAT, GL_RED, GL_ONE, GL_ONE, GL_ONE, true),
      Color(D3DFMT_G16R16F, 4, GL_RG16F, GL_RG, GL_HALF_FLOAT, GL_RED, GL_GREEN, GL_ONE, GL_ONE,
            true),
      Color(D3DFMT_A16B16G16R16F, 8, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, GL_RED, GL_GREEN,
            GL_BLUE, GL_ALPHA, true),
      Color(D3DFMT_R32F, 4, GL_R32F, GL_RED, GL_FLOAT, GL_RED, GL_ONE, GL_ONE, GL_ONE, true),
      Color(D3DFMT_G32R32F, 8, GL_RG32F, GL_RG, GL_FLOAT, GL_RED, GL_GREEN, GL_ONE, GL_ONE, true),
      Color(D3DFMT_A32B32G32R32F, 16, GL_RGBA32F, GL_RGBA, GL_FLOAT, GL_RED, GL_GREEN, GL_BLUE,
            GL_ALPHA, true),
      Depth(D3DFMT_D24S8),
      Depth(D3DFMT_D24X8),
      Depth(D3DFMT_D16),
      Depth(D3DFMT_D32),
      Depth(D3DFMT_D24FS8),
  };
  return table;
}

}  // namespace

const FormatInfo* FindFormat(D3DFORMAT format) {
  for (const FormatInfo& info : Table())
    if (info.format == format) return &info;
  return nullptr;
}

UINT FullMipChain(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT size = std::max(width, height); size > 1; size >>= 1) ++levels;
  return levels;
}

FvfLayout DescribeFvf(DWORD fvf) {
  FvfLayout layout;
  UINT offset = 0;
  DWORD position = fvf & D3DFVF_POSITION_MASK;
  int betas = 0;
  switch (position) {
    case D3DFVF_XYZ: layout.positionComponents = 3; break;
    case D3DFVF_XYZRHW:
      layout.positionComponents = 4;
      layout.pretransformed = true;
      break;
    case D3DFVF_XYZW: layout.positionComponents = 4; break;
    case D3DFVF_XYZB1: case D3DFVF_XYZB2: case D3DFVF_XYZB3: case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
      layout.positionComponents = 3;
      betas = static_cast<int>((position - D3DFVF_XYZ) / 2);
      break;
    default: return layout;  // no position: nothing can be drawn
  }
  offset = layout.positionComponents * 4;
  if (betas > 0) {
    bool lastIsIndex = fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR);
    layout.blendWeights = lastIsIndex ? betas - 1 : betas;
    layout.blendWeightOffset = offset;
    offset += static_cast<UINT>(layout.blendWeights) * 4;
    if (lastIsIndex) {
      layout.blendIndices = true;
      layout.blendIndexOffset = offset;
      offset += 4;
    }
  }
  if (fvf & D3DFVF_NORMAL) layout.normalOffset = static_cast<int>(offset), offset += 12;
  if (fvf & D3DFVF_PSIZE) layout.pointSizeOffset = static_cast<int>(offset), offset += 4;
  if (fvf & D3DFVF_DIFFUSE) layout.diffuseOffset = static_cast<int>(offset), offset += 4;
  if (fvf & D3DFVF_SPECULAR) layout.specularOffset = static_cast<int>(offset), offset += 4;
  layout.texCoordCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (layout.texCoordCount > 8) return layout;
  for (UINT i = 0; i < layout.texCoordCount; ++i) {
    static const UINT kSizes[4] = {2, 3, 4, 1};  // D3DFVF_TEXTUREFORMAT2, 3, 4, 1
    UINT size = kSizes[(fvf >> (i * 2 + 16)) & 3];
    layout.texCoordOffset[i] = offset;
    layout.texCoordSize[i] = size;
    offset += size * 4;
  }
  layout.stride = offset;
  layout.valid = true;
  return layout;
}

UINT VertexCountOf(D3DPRIMITIVETYPE type, UINT count) {
  if (count == 0) return 0;
  switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count + 2;
    default: return 0;
  }
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX out;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[row][k] * b.m[k][col];
      out.m[row][col] = sum;
    }
  return out;
}

D3DMATRIX IdentityMatrix() {
  D3DMATRIX m = {};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// ---------------------------------------------------------------- GL garbage
void GlShared::DeleteTexture(GLuint name) {
  if (!name) return;
  if (OnGlThread()) {
    glDeleteTextures(1, &name);
    return;
  }
  if (!alive_) return;  // the context is gone and took its names with it
  std::lock_guard lock(mutex_);
  textures_.push_back(name);
}

void GlShared::DeleteBuffer(GLuint name) {
  if (!name) return;
  if (OnGlThread()) {
    glDeleteBuffers(1, &name);
    ++bufferDeletions_;
    return;
  }
  if (!alive_) return;
  std::lock_guard lock(mutex_);
  buffers_.push_back(name);
}

void GlShared::CollectGarbage() {
  std::vector<GLuint> textures, buffers;
  {
    std::lock_guard lock(mutex_);
    textures.swap(textures_);
    buffers.swap(buffers_);
  }
  if (!textures.empty()) glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
  if (!buffers.empty()) {
    glDeleteBuffers(static_cast<GLsizei>(buffers.size()), buffers.data());
    ++bufferDeletions_;
  }
}

void ColorToFloats(D3DCOLOR color, float out[4]) {
  out[0] = ((color >> 16) & 0xFF) / 255.0f;
  out[1] = ((color >> 8) & 0xFF) / 255.0f;
  out[2] = (color & 0xFF) / 255.0f;
  out[3] = ((color >> 24) & 0xFF) / 255.0f;
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

}  // namespace glomp::d3d9
