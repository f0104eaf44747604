// Inside the Direct3D 9 stand-in: the device. It keeps every D3D state as a
// plain value (what Get* returns) and applies what changed to GL when a draw or
// clear needs it. One recursive mutex serialises all calls, as the
// D3DCREATE_MULTITHREADED device does.
#pragma once
#include <SDL.h>

#include <array>
#include <map>
#include <mutex>

#include "d3d9/fixed_function.h"
#include "d3d9/internal.h"

namespace glomp::d3d9 {

constexpr DWORD kMaxStages = 8;     // fixed-function texture stages
constexpr DWORD kMaxSamplers = 16;  // textures and samplers
constexpr DWORD kMaxStreams = 16;
constexpr DWORD kStageStateCount = 33;
constexpr DWORD kSamplerStateCount = 14;

class Device final : public RefCounted<IDirect3DDevice9> {
 public:
  // Makes the GL context (on the calling thread, which becomes the GL thread).
  static HRESULT Create(IDirect3D9* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                        D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device);
  ~Device() override;

  HRESULT QueryInterface(REFIID riid, void** object) override;

  HRESULT TestCooperativeLevel() override { return D3D_OK; }
  UINT GetAvailableTextureMem() override { return 512u << 20; }
  HRESULT EvictManagedResources() override { return D3D_OK; }
  HRESULT GetDirect3D(IDirect3D9** d3d9) override;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
  HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS*) override { return D3DERR_INVALIDCALL; }
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                  const void* dirtyRegion) override;
  HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                        IDirect3DSurface9** surface) override;

  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
  HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                            D3DPOOL pool, IDirect3DCubeTexture9** cubeTexture,
                            HANDLE* shared) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** vertexBuffer, HANDLE* shared) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer9** indexBuffer, HANDLE* shared) override;
  HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                             D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL lockable,
                             IDirect3DSurface9** surface, HANDLE* shared) override;
  HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                    D3DMULTISAMPLE_TYPE multiSample, DWORD quality,
                                    BOOL discard, IDirect3DSurface9** surface,
                                    HANDLE* shared) override;
  HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DSurface9** surface, HANDLE* shared) override;
  HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
                              IDirect3DSurface9* destSurface) override;
  HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                      IDirect3DSurface9* dest, const RECT* destRect,
                      D3DTEXTUREFILTERTYPE filter) override;
  HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;

  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) override;
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* newZStencil) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil) override;

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT GetMaterial(D3DMATERIAL9* material) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                               DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT SetScissorRect(const RECT* rect) override;
  HRESULT GetScissorRect(RECT* rect) override;

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                               UINT numVertices, UINT startIndex, UINT primCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                          UINT stride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                 UINT primitiveCount, const void* indices,
                                 D3DFORMAT indexFormat, const void* vertices,
                                 UINT stride) override;
  HRESULT SetFVF(DWORD fvf) override;
  HRESULT GetFVF(DWORD* fvf) override;
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* data, UINT offset,
                          UINT stride) override;
  HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** data, UINT* offset,
                          UINT* stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) override;
  HRESULT GetIndices(IDirect3DIndexBuffer9** indexData) override;

  void SetProgramOverride(ProgramOverride* program);
  ProgramOverride* ProgramOverrideInUse();
  bool OnGlThread() const { return gl_->OnGlThread(); }
  // How many fixed-function programs have been made so far (one per state combination).
  std::size_t FixedFunctionProgramCount() {
    std::lock_guard lock(mutex_);
    return fixedFunction_.Count();
  }

 private:
  // Groups of render states that map onto one piece of GL state.
  enum Group : unsigned {
    kBlend = 1,
    kDepth = 2,
    kStencil = 4,
    kRaster = 8,
    kColorMask = 16,
    kScissor = 32,
    kAll = 63,
  };
  struct GlObjects {
    GLuint vao = 0, framebuffer = 0, readFramebuffer = 0, drawFramebuffer = 0;
    GLuint streamVertices = 0, streamIndices = 0;
    GLuint samplers[kMaxSamplers] = {};
  };

  Device(IDirect3D9* d3d, const D3DPRESENT_PARAMETERS& params,
         const D3DDEVICE_CREATION_PARAMETERS& creation);
  bool InitGl(SDL_Window* window);
  bool BuildProgram();
  void SetDefaultStates();
  static unsigned GroupOf(DWORD state);

  // GL thread, mutex held.
  bool ApplyFramebuffer();
  void ApplyRenderStates(bool fixedFunction);
  void ApplyTextures();
  void ApplyVertexLayout(const FvfLayout& layout, GLuint buffer, UINT stride, size_t baseOffset);
  FixedFunctionState CurrentFixedFunctionState(const FvfLayout& layout) const;
  void UseProgram(const FvfLayout& layout);
  DrawState CurrentDrawState(const FvfLayout& layout) const;
  HRESULT PrepareDraw(const FvfLayout& layout);
  void Draw(const FvfLayout& layout, GLenum mode, GLuint vertexBuffer, UINT stride, size_t vertexOffset,
            GLint first, GLsizei count, GLenum indexType, size_t indexOffset, GLint baseVertex);
  void ClearRect(GLbitfield mask, const RECT& rect);
  void BindSurfaceForRead(Surface* surface, GLenum target);

  std::recursive_mutex mutex_;
  IDirect3D9* d3d_;
  D3DPRESENT_PARAMETERS params_;
  D3DDEVICE_CREATION_PARAMETERS creation_;
  std::shared_ptr<GlShared> gl_;
  SDL_Window* window_ = nullptr;
  bool ownWindow_ = false;
  SDL_GLContext context_ = nullptr;
  GlObjects glo_;
  FixedFunctionPrograms fixedFunction_;
  GLint maxTextureSize_ = 4096;

  Surface* backBuffer_ = nullptr;
  Surface* autoDepth_ = nullptr;
  std::array<Surface*, D3DMAX_RENDER_TARGETS> targets_{};
  Surface* depth_ = nullptr;

  std::array<DWORD, 256> renderStates_{};
  DWORD stageStates_[kMaxStages][kStageStateCount] = {};
  DWORD samplerStates_[kMaxSamplers][kSamplerStateCount] = {};
  std::array<IDirect3DBaseTexture9*, kMaxSamplers> textures_{};
  D3DMATRIX view_, projection_;
  std::array<D3DMATRIX, 256> world_;
  std::array<D3DMATRIX, kMaxStages> textureTransforms_;
  D3DVIEWPORT9 viewport_ = {};
  RECT scissor_ = {};
  D3DMATERIAL9 material_ = {};
  struct LightSlot {
    D3DLIGHT9 light;
    BOOL enabled;
  };
  std::map<DWORD, LightSlot> lights_;
  DWORD fvf_ = 0;
  struct Stream {
    VertexBuffer* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
  };
  std::array<Stream, kMaxStreams> streams_{};
  IndexBuffer* indices_ = nullptr;
  bool inScene_ = false;
  ProgramOverride* override_ = nullptr;

  // What GL currently has.
  unsigned dirtyGroups_ = kAll;
  bool targetsDirty_ = true;
  bool framebufferComplete_ = false;
  bool lastDrawFixedFunction_ = true;
  std::array<bool, kMaxSamplers> samplerDirty_{};
  // The vertex attributes the vertex array was last set up with.
  struct AppliedLayout {
    bool valid = false;
    DWORD fvf = 0;
    GLuint buffer = 0;
    UINT stride = 0;
    size_t base = 0;
    std::uint64_t bufferDeletions = 0;
  } appliedLayout_;
  std::array<GLuint, kMaxSamplers> boundTexture_{};
  std::array<GLenum, kMaxSamplers> boundTarget_{};
};

}  // namespace glomp::d3d9
