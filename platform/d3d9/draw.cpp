// The draws: user-pointer and buffer primitives, each flushed and then drawn
// with the program for the current state.
#include "d3d9/device.h"
#include "glomp/headless.h"

namespace glomp::d3d9 {
namespace {

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

}  // namespace

void Device::Draw(const FvfLayout& layout, GLenum mode, GLuint vertexBuffer, UINT stride, size_t vertexOffset,
                  GLint first, GLsizei count, GLenum indexType, size_t indexOffset,
                  GLint baseVertex) {
  if (!headless::Drawing()) return;
  ApplyVertexLayout(layout, vertexBuffer, stride, vertexOffset);
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
  Draw(layout, PrimitiveMode(type), glo_.streamVertices, stride, 0, 0, GLsizei(count), GL_NONE, 0, 0);
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
  Draw(layout, PrimitiveMode(type), glo_.streamVertices, stride, 0, 0, GLsizei(count),
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
  GLuint buffer = stream.buffer->Storage().Prepare(GL_ARRAY_BUFFER);
  Draw(layout, PrimitiveMode(type), buffer, stream.stride, stream.offset, GLint(startVertex),
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
  GLuint buffer = stream.buffer->Storage().Prepare(GL_ARRAY_BUFFER);
  indices_->Storage().Prepare(GL_ELEMENT_ARRAY_BUFFER);
  Draw(layout, PrimitiveMode(type), buffer, stream.stride, stream.offset, 0, GLsizei(count),
       indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, size_t(startIndex) * indexSize,
       baseVertexIndex);
  return D3D_OK;
}

}  // namespace glomp::d3d9
