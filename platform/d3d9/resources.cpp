// Textures, surfaces and buffers: memory copies plus GL objects made on the
// GL thread when first used.
#include <cstring>
#include <new>

#include "d3d9/internal.h"

namespace glomp::d3d9 {

// ---------------------------------------------------------------- ImageStorage
ImageStorage::ImageStorage(std::shared_ptr<GlShared> gl, const FormatInfo& format, UINT width,
                           UINT height, UINT levels, UINT faces, DWORD usage, D3DPOOL pool)
    : gl_(std::move(gl)),
      format_(format),
      width_(width),
      height_(height),
      levels_(levels),
      faces_(faces),
      usage_(usage),
      pool_(pool),
      dirty_(faces * levels, 1),
      locked_(faces * levels, 0) {
  bool gpuOnly = format.depth || (usage & D3DUSAGE_RENDERTARGET);
  if (!gpuOnly) {
    memory_.resize(faces * levels);
    for (UINT face = 0; face < faces; ++face)
      for (UINT level = 0; level < levels; ++level)
        memory_[Index(face, level)].assign(size_t{Pitch(level)} * Height(level), 0);
  }
  anyDirty_ = true;
}

ImageStorage::~ImageStorage() {
  if (gl_) gl_->DeleteTexture(name_);
}

void ImageStorage::Describe(UINT level, D3DRESOURCETYPE type, D3DSURFACE_DESC* desc) const {
  desc->Format = format_.format;
  desc->Type = type;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->MultiSampleQuality = 0;
  desc->Width = Width(level);
  desc->Height = Height(level);
}

HRESULT ImageStorage::Lock(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                           DWORD flags) {
  if (!locked || face >= faces_ || level >= levels_) return D3DERR_INVALIDCALL;
  if (memory_.empty()) return D3DERR_INVALIDCALL;  // render targets and depth buffers
  LONG width = static_cast<LONG>(Width(level)), height = static_cast<LONG>(Height(level));
  RECT whole = {0, 0, width, height};
  const RECT& area = rect ? *rect : whole;
  if (area.left < 0 || area.top < 0 || area.right > width || area.bottom > height ||
      area.left >= area.right || area.top >= area.bottom)
    return D3DERR_INVALIDCALL;
  std::lock_guard lock(mutex_);
  UINT index = Index(face, level);
  if (locked_[index]) return D3DERR_INVALIDCALL;
  locked_[index] = (flags & D3DLOCK_READONLY) ? 1 : 2;
  locked->Pitch = static_cast<INT>(Pitch(level));
  locked->pBits = memory_[index].data() + size_t(area.top) * Pitch(level) +
                  size_t(area.left) * format_.bytesPerPixel;
  return D3D_OK;
}

HRESULT ImageStorage::Unlock(UINT face, UINT level) {
  if (face >= faces_ || level >= levels_) return D3DERR_INVALIDCALL;
  std::lock_guard lock(mutex_);
  UINT index = Index(face, level);
  if (!locked_[index]) return D3DERR_INVALIDCALL;
  if (locked_[index] == 2) dirty_[index] = 1, anyDirty_ = true;
  locked_[index] = 0;
  return D3D_OK;
}

std::vector<BYTE>* ImageStorage::Memory(UINT face, UINT level) {
  if (memory_.empty() || face >= faces_ || level >= levels_) return nullptr;
  return &memory_[Index(face, level)];
}

GLuint ImageStorage::Prepare() {
  std::lock_guard lock(mutex_);
  if (name_ && !anyDirty_) return name_;
  GLenum target = Target();
  // A unit of its own, so that uploads never disturb the stages' bindings.
  glActiveTexture(GL_TEXTURE31);
  bool fresh = name_ == 0;
  if (fresh) {
    glGenTextures(1, &name_);
    glBindTexture(target, name_);
    glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
    glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, format_.swizzle);
  } else {
    glBindTexture(target, name_);
  }
  std::vector<BYTE> zeros;
  for (UINT face = 0; face < faces_; ++face) {
    GLenum faceTarget = faces_ == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
    for (UINT level = 0; level < levels_; ++level) {
      UINT index = Index(face, level);
      if (!fresh && !dirty_[index]) continue;
      GLsizei w = static_cast<GLsizei>(Width(level)), h = static_cast<GLsizei>(Height(level));
      const void* pixels = nullptr;
      if (!memory_.empty()) {
        pixels = memory_[index].data();
      } else if (!format_.depth) {
        // A new render target starts out transparent black, not with garbage.
        zeros.assign(size_t{Pitch(level)} * Height(level), 0);
        pixels = zeros.data();
      }
      if (fresh)
        glTexImage2D(faceTarget, static_cast<GLint>(level),
                     static_cast<GLint>(format_.internalFormat), w, h, 0, format_.pixelFormat,
                     format_.pixelType, pixels);
      else
        glTexSubImage2D(faceTarget, static_cast<GLint>(level), 0, 0, w, h, format_.pixelFormat,
                        format_.pixelType, pixels);
      dirty_[index] = 0;
    }
  }
  anyDirty_ = false;
  glBindTexture(target, 0);
  glActiveTexture(GL_TEXTURE0);
  return name_;
}

// ---------------------------------------------------------------- textures
template <class Interface>
TextureBase<Interface>::TextureBase(IDirect3DDevice9* device,
                                    std::unique_ptr<ImageStorage> storage)
    : device_(device), storage_(std::move(storage)) {
  for (UINT face = 0; face < storage_->Faces(); ++face)
    for (UINT level = 0; level < storage_->Levels(); ++level)
      surfaces_.push_back(new Surface(device, this, storage_.get(), face, level));
}

template <class Interface>
TextureBase<Interface>::~TextureBase() {
  for (Surface* surface : surfaces_) delete surface;
}

template <class Interface>
HRESULT TextureBase<Interface>::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = device_;
  device_->AddRef();
  return D3D_OK;
}

template class TextureBase<IDirect3DTexture9>;
template class TextureBase<IDirect3DCubeTexture9>;

Texture::Texture(IDirect3DDevice9* device, std::unique_ptr<ImageStorage> storage)
    : TextureBase(device, std::move(storage)) {}

HRESULT Texture::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 ||
      riid == IID_IDirect3DBaseTexture9 || riid == IID_IDirect3DTexture9) {
    *object = static_cast<IDirect3DTexture9*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= storage_->Levels()) return D3DERR_INVALIDCALL;
  storage_->Describe(level, D3DRTYPE_SURFACE, desc);
  return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (!surface || level >= storage_->Levels()) return D3DERR_INVALIDCALL;
  *surface = surfaces_[level];
  (*surface)->AddRef();
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  return storage_->Lock(0, level, locked, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) { return storage_->Unlock(0, level); }

CubeTexture::CubeTexture(IDirect3DDevice9* device, std::unique_ptr<ImageStorage> storage)
    : TextureBase(device, std::move(storage)) {}

HRESULT CubeTexture::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 ||
      riid == IID_IDirect3DBaseTexture9 || riid == IID_IDirect3DCubeTexture9) {
    *object = static_cast<IDirect3DCubeTexture9*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT CubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= storage_->Levels()) return D3DERR_INVALIDCALL;
  storage_->Describe(level, D3DRTYPE_SURFACE, desc);
  return D3D_OK;
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                                       IDirect3DSurface9** surface) {
  if (!surface || static_cast<UINT>(face) >= 6 || level >= storage_->Levels())
    return D3DERR_INVALIDCALL;
  *surface = surfaces_[face * storage_->Levels() + level];
  (*surface)->AddRef();
  return D3D_OK;
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked,
                              const RECT* rect, DWORD flags) {
  return storage_->Lock(static_cast<UINT>(face), level, locked, rect, flags);
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
  return storage_->Unlock(static_cast<UINT>(face), level);
}

ImageStorage* StorageOf(IDirect3DBaseTexture9* texture) {
  if (!texture) return nullptr;
  if (auto* plain = dynamic_cast<Texture*>(texture)) return plain->Storage();
  if (auto* cube = dynamic_cast<CubeTexture*>(texture)) return cube->Storage();
  return nullptr;
}

// ---------------------------------------------------------------- surfaces
Surface::Surface(IDirect3DDevice9* device, IUnknown* container, ImageStorage* storage, UINT face,
                 UINT level)
    : device_(device), container_(container), storage_(storage), face_(face), level_(level) {}

Surface::Surface(IDirect3DDevice9* device, std::unique_ptr<ImageStorage> storage)
    : device_(device), container_(nullptr), owned_(std::move(storage)), storage_(owned_.get()) {}

Surface::~Surface() = default;

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DSurface9) {
    *object = static_cast<IDirect3DSurface9*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// A texture's surfaces live and die with the texture, so they count on it.
ULONG Surface::AddRef() { return container_ ? container_->AddRef() : ++refs_; }

ULONG Surface::Release() {
  if (container_) return container_->Release();
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT Surface::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = device_;
  device_->AddRef();
  return D3D_OK;
}

HRESULT Surface::GetContainer(REFIID riid, void** container) {
  if (!container) return D3DERR_INVALIDCALL;
  if (container_) return container_->QueryInterface(riid, container);
  if (riid == IID_IDirect3DDevice9 || riid == IID_IUnknown) {
    *container = device_;
    device_->AddRef();
    return D3D_OK;
  }
  *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  storage_->Describe(level_, D3DRTYPE_SURFACE, desc);
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  return storage_->Lock(face_, level_, locked, rect, flags);
}

HRESULT Surface::UnlockRect() { return storage_->Unlock(face_, level_); }

Surface* SurfaceOf(IDirect3DSurface9* surface) { return dynamic_cast<Surface*>(surface); }

// ---------------------------------------------------------------- buffers
BufferStorage::~BufferStorage() {
  if (gl_) gl_->DeleteBuffer(name_);
}

HRESULT BufferStorage::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data) return D3DERR_INVALIDCALL;
  if (size == 0 && offset == 0) size = Size();  // 0, 0 locks the whole buffer
  if (offset > Size() || size > Size() - offset) return D3DERR_INVALIDCALL;
  std::lock_guard lock(mutex_);
  ++locks_;
  if (!(flags & D3DLOCK_READONLY)) writeLocked_ = true;
  *data = memory_.data() + offset;
  return D3D_OK;
}

HRESULT BufferStorage::Unlock() {
  std::lock_guard lock(mutex_);
  if (locks_ == 0) return D3DERR_INVALIDCALL;
  --locks_;
  // Marked changed only now, so that an upload never catches half-written data.
  if (locks_ == 0 && writeLocked_) dirty_ = true, writeLocked_ = false;
  return D3D_OK;
}

GLuint BufferStorage::Prepare(GLenum target) {
  std::lock_guard lock(mutex_);
  if (!name_) glGenBuffers(1, &name_);
  glBindBuffer(target, name_);
  if (dirty_) {
    glBufferData(target, static_cast<GLsizeiptr>(memory_.size()), memory_.data(),
                 GL_STATIC_DRAW);
    dirty_ = false;
  }
  return name_;
}

VertexBuffer::VertexBuffer(IDirect3DDevice9* device, std::shared_ptr<GlShared> gl, UINT length,
                           DWORD usage, DWORD fvf, D3DPOOL pool)
    : device_(device), storage_(std::move(gl), length), usage_(usage), fvf_(fvf), pool_(pool) {}

VertexBuffer::~VertexBuffer() = default;

HRESULT VertexBuffer::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 ||
      riid == IID_IDirect3DVertexBuffer9) {
    *object = static_cast<IDirect3DVertexBuffer9*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = device_;
  device_->AddRef();
  return D3D_OK;
}

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  return storage_.Lock(offset, size, data, flags);
}

HRESULT VertexBuffer::Unlock() { return storage_.Unlock(); }

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  desc->Format = D3DFMT_VERTEXDATA;
  desc->Type = D3DRTYPE_VERTEXBUFFER;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = storage_.Size();
  desc->FVF = fvf_;
  return D3D_OK;
}

IndexBuffer::IndexBuffer(IDirect3DDevice9* device, std::shared_ptr<GlShared> gl, UINT length,
                         DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), storage_(std::move(gl), length), usage_(usage), format_(format), pool_(pool) {}

IndexBuffer::~IndexBuffer() = default;

HRESULT IndexBuffer::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 ||
      riid == IID_IDirect3DIndexBuffer9) {
    *object = static_cast<IDirect3DIndexBuffer9*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = device_;
  device_->AddRef();
  return D3D_OK;
}

HRESULT IndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  return storage_.Lock(offset, size, data, flags);
}

HRESULT IndexBuffer::Unlock() { return storage_.Unlock(); }

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  desc->Format = format_;
  desc->Type = D3DRTYPE_INDEXBUFFER;
  desc->Usage = usage_;
  desc->Pool = pool_;
  desc->Size = storage_.Size();
  return D3D_OK;
}

}  // namespace glomp::d3d9
