// Inside the Direct3D 9 stand-in: the objects behind the interfaces of <d3d9.h>.
//
// Threads: the GL context is current on the thread that created the device (the
// "GL thread"). Resources may be created, locked and released on any thread;
// they keep their pixels and vertices in memory and are uploaded to GL on first
// use on the GL thread. GL names of resources released elsewhere are queued and
// deleted by the GL thread at its next draw, clear or present.
#pragma once
#include <d3d9.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "com_object.h"
#include "d3d9/fvf_layout.h"
#include "d3d9/gl_device.h"

namespace glomp::d3d9 {

// ---------------------------------------------------------------- formats
struct FormatInfo {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT bytesPerPixel = 0;
  GLenum internalFormat = 0;
  GLenum pixelFormat = 0;  // client-side layout matching D3D's bytes in memory
  GLenum pixelType = 0;
  GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
  bool depth = false;
  bool renderTarget = false;  // usable with D3DUSAGE_RENDERTARGET
};

// Null for formats the stand-in does not support.
const FormatInfo* FindFormat(D3DFORMAT format);
UINT FullMipChain(UINT width, UINT height);

// ---------------------------------------------------------------- shared GL bookkeeping
// Outlives the device as long as a resource needs it: knows the GL thread and
// collects GL names to delete there.
class GlShared {
 public:
  bool OnGlThread() const { return alive_ && std::this_thread::get_id() == glThread_; }
  void SetGlThread(std::thread::id id) { glThread_ = id; }
  void MarkDead() { alive_ = false; }
  void DeleteTexture(GLuint name);
  void DeleteBuffer(GLuint name);
  // On the GL thread: deletes what was queued.
  void CollectGarbage();
  // Counts the times buffer names were deleted: a name seen before may since
  // stand for another buffer.
  std::uint64_t BufferDeletions() const { return bufferDeletions_; }

 private:
  std::thread::id glThread_;
  std::atomic<bool> alive_{true};
  std::mutex mutex_;
  std::vector<GLuint> textures_;
  std::vector<GLuint> buffers_;
  std::atomic<std::uint64_t> bufferDeletions_{0};
};

class Device;

// ---------------------------------------------------------------- images
// The pixels of a texture (all faces and levels), of the back buffer, of a
// depth-stencil surface or of an off-screen plain surface.
class ImageStorage {
 public:
  ImageStorage(std::shared_ptr<GlShared> gl, const FormatInfo& format, UINT width, UINT height,
               UINT levels, UINT faces, DWORD usage, D3DPOOL pool);
  ~ImageStorage();

  const FormatInfo& Format() const { return format_; }
  UINT Width(UINT level = 0) const { return std::max(1u, width_ >> level); }
  UINT Height(UINT level = 0) const { return std::max(1u, height_ >> level); }
  UINT Levels() const { return levels_; }
  UINT Faces() const { return faces_; }
  DWORD Usage() const { return usage_; }
  D3DPOOL Pool() const { return pool_; }
  bool IsRenderTarget() const { return usage_ & D3DUSAGE_RENDERTARGET; }
  bool IsDepth() const { return format_.depth; }
  bool HasMemoryCopy() const { return !memory_.empty(); }
  UINT Pitch(UINT level) const { return Width(level) * format_.bytesPerPixel; }
  void Describe(UINT level, D3DRESOURCETYPE type, D3DSURFACE_DESC* desc) const;

  HRESULT Lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT Unlock(UINT face, UINT level);
  // Raw access for copies (GetRenderTargetData into system memory).
  std::vector<BYTE>* Memory(UINT face, UINT level);

  // GL thread only: creates the GL texture and uploads changed levels.
  GLuint Prepare();
  GLenum Target() const { return faces_ == 6 ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D; }

 private:
  UINT Index(UINT face, UINT level) const { return face * levels_ + level; }

  std::shared_ptr<GlShared> gl_;
  FormatInfo format_;
  UINT width_, height_, levels_, faces_;
  DWORD usage_;
  D3DPOOL pool_;
  std::mutex mutex_;
  std::vector<std::vector<BYTE>> memory_;  // per face and level; empty for GPU-only images
  std::vector<char> dirty_;
  std::vector<char> locked_;
  bool anyDirty_ = false;
  GLuint name_ = 0;
};

class Surface;

// Common part of the 2D and cube textures.
template <class Interface>
class TextureBase : public RefCounted<Interface> {
 public:
  TextureBase(IDirect3DDevice9* device, std::unique_ptr<ImageStorage> storage);
  ~TextureBase() override;
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  DWORD SetPriority(DWORD) override { return 0; }
  DWORD GetPriority() override { return 0; }
  void PreLoad() override {}
  DWORD SetLOD(DWORD) override { return 0; }
  DWORD GetLOD() override { return 0; }
  DWORD GetLevelCount() override { return storage_->Levels(); }
  HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE) override { return D3D_OK; }
  D3DTEXTUREFILTERTYPE GetAutoGenFilterType() override { return D3DTEXF_LINEAR; }
  void GenerateMipSubLevels() override {}
  ImageStorage* Storage() { return storage_.get(); }

 protected:
  IDirect3DDevice9* device_;
  std::unique_ptr<ImageStorage> storage_;
  std::vector<Surface*> surfaces_;  // per face and level, sharing the texture's count
};

class Texture final : public TextureBase<IDirect3DTexture9> {
 public:
  Texture(IDirect3DDevice9* device, std::unique_ptr<ImageStorage> storage);
  HRESULT QueryInterface(REFIID riid, void** object) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;
  HRESULT AddDirtyRect(const RECT*) override { return D3D_OK; }
};

class CubeTexture final : public TextureBase<IDirect3DCubeTexture9> {
 public:
  CubeTexture(IDirect3DDevice9* device, std::unique_ptr<ImageStorage> storage);
  HRESULT QueryInterface(REFIID riid, void** object) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                            IDirect3DSurface9** surface) override;
  HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                   DWORD flags) override;
  HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;
  HRESULT AddDirtyRect(D3DCUBEMAP_FACES, const RECT*) override { return D3D_OK; }
};

// Returns the storage behind a texture made by this stand-in, else null.
ImageStorage* StorageOf(IDirect3DBaseTexture9* texture);

// A surface: one face and level of a texture (its reference count is the
// texture's), or a stand-alone image (back buffer, depth-stencil, off-screen).
class Surface final : public IDirect3DSurface9 {
 public:
  // A level of a texture.
  Surface(IDirect3DDevice9* device, IUnknown* container, ImageStorage* storage, UINT face, UINT level);
  // A stand-alone surface owning its image.
  Surface(IDirect3DDevice9* device, std::unique_ptr<ImageStorage> storage);
  ~Surface() override;

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  DWORD SetPriority(DWORD) override { return 0; }
  DWORD GetPriority() override { return 0; }
  void PreLoad() override {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetContainer(REFIID riid, void** container) override;
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  ImageStorage* Storage() const { return storage_; }
  UINT Face() const { return face_; }
  UINT Level() const { return level_; }
  UINT Width() const { return storage_->Width(level_); }
  UINT Height() const { return storage_->Height(level_); }

 private:
  IDirect3DDevice9* device_;
  IUnknown* container_;  // null for stand-alone surfaces
  std::unique_ptr<ImageStorage> owned_;
  ImageStorage* storage_;
  UINT face_ = 0;
  UINT level_ = 0;
  std::atomic<ULONG> refs_{1};
};

// Returns the surface object behind an interface made by this stand-in, else null.
Surface* SurfaceOf(IDirect3DSurface9* surface);

// ---------------------------------------------------------------- buffers
class BufferStorage {
 public:
  BufferStorage(std::shared_ptr<GlShared> gl, UINT size) : gl_(std::move(gl)), memory_(size) {}
  ~BufferStorage();
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();
  UINT Size() const { return static_cast<UINT>(memory_.size()); }
  // GL thread only: the GL buffer with the current contents.
  GLuint Prepare(GLenum target);
  const BYTE* Data() const { return memory_.data(); }

 private:
  std::shared_ptr<GlShared> gl_;
  std::mutex mutex_;
  std::vector<BYTE> memory_;
  int locks_ = 0;
  bool writeLocked_ = false;
  bool dirty_ = true;
  GLuint name_ = 0;
};

class VertexBuffer final : public RefCounted<IDirect3DVertexBuffer9> {
 public:
  VertexBuffer(IDirect3DDevice9* device, std::shared_ptr<GlShared> gl, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  ~VertexBuffer() override;
  HRESULT QueryInterface(REFIID riid, void** object) override;
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  DWORD SetPriority(DWORD) override { return 0; }
  DWORD GetPriority() override { return 0; }
  void PreLoad() override {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;
  BufferStorage& Storage() { return storage_; }

 private:
  IDirect3DDevice9* device_;
  BufferStorage storage_;
  DWORD usage_, fvf_;
  D3DPOOL pool_;
};

class IndexBuffer final : public RefCounted<IDirect3DIndexBuffer9> {
 public:
  IndexBuffer(IDirect3DDevice9* device, std::shared_ptr<GlShared> gl, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  ~IndexBuffer() override;
  HRESULT QueryInterface(REFIID riid, void** object) override;
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  DWORD SetPriority(DWORD) override { return 0; }
  DWORD GetPriority() override { return 0; }
  void PreLoad() override {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
  BufferStorage& Storage() { return storage_; }
  D3DFORMAT Format() const { return format_; }

 private:
  IDirect3DDevice9* device_;
  BufferStorage storage_;
  DWORD usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
};

// Number of vertices (or indices) a draw of primitiveCount primitives uses; 0
// for an unknown type.
UINT VertexCountOf(D3DPRIMITIVETYPE type, UINT primitiveCount);

// A D3DCOLOR as GL's red, green, blue, alpha in 0..1.
void ColorToFloats(D3DCOLOR color, float out[4]);
// GL thread: attaches a surface (a texture level or cube face) as a colour
// attachment of the bound framebuffer, or detaches it when null.
void AttachColor(GLenum framebufferTarget, GLenum attachment, Surface* surface);

// D3D's row-vector product a × b.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);
D3DMATRIX IdentityMatrix();

}  // namespace glomp::d3d9
