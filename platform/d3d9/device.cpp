// The Direct3D object, device creation, the device's plain-value state (what
// Set* stores and Get* returns) and resource creation.
#include "d3d9/device.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "win32/sdl_window.h"

namespace glomp::d3d9 {
namespace {

constexpr UINT kFallbackWidth = 640;
constexpr UINT kFallbackHeight = 480;

DWORD FloatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

template <class T>
void Replace(T*& slot, T* value) {
  if (value) value->AddRef();
  if (slot) slot->Release();
  slot = value;
}

class Direct3D9 final : public RefCounted<IDirect3D9> {
 public:
  Direct3D9() = default;
  ~Direct3D9() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3D9) {
      *object = static_cast<IDirect3D9*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  UINT GetAdapterCount() override { return 1; }
  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
    return adapter == D3DADAPTER_DEFAULT && format == D3DFMT_X8R8G8B8 ? 1 : 0;
  }
  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                           D3DDISPLAYMODE* displayMode) override {
    if (mode != 0 || format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
    return GetAdapterDisplayMode(adapter, displayMode);
  }
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
      mode->Width = static_cast<UINT>(desktop.w);
      mode->Height = static_cast<UINT>(desktop.h);
      mode->RefreshRate = static_cast<UINT>(desktop.refresh_rate);
    } else {
      mode->Width = 1920;
      mode->Height = 1080;
      mode->RefreshRate = 60;
    }
    mode->Format = D3DFMT_X8R8G8B8;  // the desktop is always 32-bit here
    return D3D_OK;
  }
  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                          D3DFORMAT backBufferFormat, BOOL) override {
    if (adapter != D3DADAPTER_DEFAULT || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
      return D3DERR_INVALIDCALL;
    bool ok = adapterFormat == D3DFMT_X8R8G8B8 &&
              (backBufferFormat == D3DFMT_X8R8G8B8 || backBufferFormat == D3DFMT_A8R8G8B8 ||
               backBufferFormat == D3DFMT_UNKNOWN);
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE, D3DFORMAT, DWORD usage, D3DRESOURCETYPE,
                            D3DFORMAT checkFormat) override {
    if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    const FormatInfo* info = FindFormat(checkFormat);
    if (!info) return D3DERR_NOTAVAILABLE;
    if ((usage & D3DUSAGE_RENDERTARGET) && !info->renderTarget) return D3DERR_NOTAVAILABLE;
    if ((usage & D3DUSAGE_DEPTHSTENCIL) && !info->depth) return D3DERR_NOTAVAILABLE;
    return D3D_OK;
  }
  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE, D3DFORMAT, D3DFORMAT,
                                 D3DFORMAT depthFormat) override {
    if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    const FormatInfo* info = FindFormat(depthFormat);
    return info && info->depth ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                       D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override {
    if (device) *device = nullptr;
    if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    return Device::Create(this, type, focusWindow, flags, params, device);
  }
};

void FillCaps(D3DDEVTYPE type, DWORD maxTextureSize, D3DCAPS9* caps) {
  std::memset(caps, 0, sizeof *caps);
  caps->DeviceType = type;
  caps->AdapterOrdinal = D3DADAPTER_DEFAULT;
  caps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  caps->PrimitiveMiscCaps = D3DPMISCCAPS_SEPARATEALPHABLEND | D3DPMISCCAPS_MRTINDEPENDENTBITDEPTHS |
                            D3DPMISCCAPS_COLORWRITEENABLE;
  caps->ZCmpCaps = caps->AlphaCmpCaps = 0xFF;
  caps->SrcBlendCaps = caps->DestBlendCaps = 0x3FFF;
  caps->TextureCaps = D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_CUBEMAP;  // any size allowed
  caps->TextureFilterCaps = caps->CubeTextureFilterCaps = 0x03030300;
  caps->TextureAddressCaps = 0x1F;
  caps->MaxTextureWidth = caps->MaxTextureHeight = maxTextureSize;
  caps->MaxTextureRepeat = 8192;
  caps->MaxTextureAspectRatio = maxTextureSize;
  caps->MaxAnisotropy = 1;
  caps->MaxVertexW = 1e10f;
  caps->StencilCaps = 0x1FF | D3DSTENCILCAPS_TWOSIDED;
  caps->FVFCaps = 8;
  caps->TextureOpCaps = 0x03FFFFFF;
  caps->MaxTextureBlendStages = kMaxStages;
  caps->MaxSimultaneousTextures = kMaxStages;
  caps->MaxActiveLights = 8;
  caps->MaxPointSize = 64.0f;
  caps->MaxPrimitiveCount = 0xFFFFF;
  caps->MaxVertexIndex = 0xFFFFFF;
  caps->MaxStreams = 1;
  caps->MaxStreamStride = 255;
  caps->VertexShaderVersion = D3DVS_VERSION(3, 0);
  caps->MaxVertexShaderConst = 256;
  caps->PixelShaderVersion = D3DPS_VERSION(3, 0);
  caps->PixelShader1xMaxValue = 65504.0f;
  caps->NumberOfAdaptersInGroup = 1;
  caps->NumSimultaneousRTs = D3DMAX_RENDER_TARGETS;
  caps->StretchRectFilterCaps = 0x03000300;
  caps->VS20Caps.NumTemps = caps->PS20Caps.NumTemps = 32;
  caps->PS20Caps.NumInstructionSlots = 512;
  caps->MaxVShaderInstructionsExecuted = caps->MaxPShaderInstructionsExecuted = 65535;
  caps->MaxVertexShader30InstructionSlots = caps->MaxPixelShader30InstructionSlots = 32768;
}

HRESULT Direct3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
  if (adapter != D3DADAPTER_DEFAULT || !caps) return D3DERR_INVALIDCALL;
  FillCaps(type, 8192, caps);
  return D3D_OK;
}

}  // namespace
}  // namespace glomp::d3d9

using namespace glomp::d3d9;

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION) return nullptr;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  return new (std::nothrow) Direct3D9();
}

namespace glomp::d3d9 {

// ---------------------------------------------------------------- creation
Device::Device(IDirect3D9* d3d, const D3DPRESENT_PARAMETERS& params,
               const D3DDEVICE_CREATION_PARAMETERS& creation)
    : d3d_(d3d), params_(params), creation_(creation), gl_(std::make_shared<GlShared>()) {
  d3d_->AddRef();
  gl_->SetGlThread(std::this_thread::get_id());
  view_ = projection_ = IdentityMatrix();
  world_.fill(IdentityMatrix());
  textureTransforms_.fill(IdentityMatrix());
  boundTarget_.fill(GL_TEXTURE_2D);
  samplerDirty_.fill(true);
}

HRESULT Device::Create(IDirect3D9* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                       D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** out) {
  if (!params || !out) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) return D3DERR_NOTAVAILABLE;
  if (!(flags & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                 D3DCREATE_MIXED_VERTEXPROCESSING)))
    return D3DERR_INVALIDCALL;
  D3DPRESENT_PARAMETERS pp = *params;
  HWND window = pp.hDeviceWindow ? pp.hDeviceWindow : focusWindow;
  SDL_Window* sdlWindow = glomp::win32::SdlWindowOf(window);
  if (pp.BackBufferFormat == D3DFMT_UNKNOWN && pp.Windowed) pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  if (pp.BackBufferFormat != D3DFMT_X8R8G8B8 && pp.BackBufferFormat != D3DFMT_A8R8G8B8)
    return D3DERR_INVALIDCALL;
  if (!pp.Windowed && (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0))
    return D3DERR_INVALIDCALL;
  const FormatInfo* depthFormat = nullptr;
  if (pp.EnableAutoDepthStencil) {
    depthFormat = FindFormat(pp.AutoDepthStencilFormat);
    if (!depthFormat || !depthFormat->depth) return D3DERR_INVALIDCALL;
  }
  if (pp.Windowed && (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0)) {
    // Windowed with 0 x 0: the window's client area decides.
    int w = 0, h = 0;
    if (sdlWindow) SDL_GetWindowSize(sdlWindow, &w, &h);
    if (pp.BackBufferWidth == 0) pp.BackBufferWidth = w > 0 ? UINT(w) : kFallbackWidth;
    if (pp.BackBufferHeight == 0) pp.BackBufferHeight = h > 0 ? UINT(h) : kFallbackHeight;
  }
  if (pp.BackBufferCount == 0) pp.BackBufferCount = 1;
  // A full-screen device takes the whole desktop; Present scales the back
  // buffer to fit it with its aspect kept.
  if (!pp.Windowed && sdlWindow && SDL_SetWindowFullscreen(sdlWindow, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
    std::fprintf(stderr, "d3d9: cannot go full screen: %s\n", SDL_GetError());

  D3DDEVICE_CREATION_PARAMETERS creation = {D3DADAPTER_DEFAULT, type, focusWindow, flags};
  auto* device = new (std::nothrow) Device(d3d, pp, creation);
  if (!device) return E_OUTOFMEMORY;
  if (!device->InitGl(sdlWindow)) {
    device->Release();
    return D3DERR_NOTAVAILABLE;
  }
  auto back = std::make_unique<ImageStorage>(device->gl_, *FindFormat(pp.BackBufferFormat),
                                             pp.BackBufferWidth, pp.BackBufferHeight, 1, 1,
                                             D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
  device->backBuffer_ = new Surface(device, std::move(back));
  if (depthFormat) {
    auto depth = std::make_unique<ImageStorage>(device->gl_, *depthFormat, pp.BackBufferWidth,
                                                pp.BackBufferHeight, 1, 1, D3DUSAGE_DEPTHSTENCIL,
                                                D3DPOOL_DEFAULT);
    device->autoDepth_ = new Surface(device, std::move(depth));
  }
  Replace(device->targets_[0], device->backBuffer_);
  Replace(device->depth_, device->autoDepth_);
  device->SetDefaultStates();
  *params = pp;  // D3D reports the sizes and format it chose
  *out = device;
  return D3D_OK;
}

void Device::SetDefaultStates() {
  renderStates_.fill(0);
  auto rs = [this](D3DRENDERSTATETYPE state, DWORD value) { renderStates_[state] = value; };
  rs(D3DRS_ZENABLE, depth_ ? D3DZB_TRUE : D3DZB_FALSE);
  rs(D3DRS_FILLMODE, D3DFILL_SOLID);
  rs(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  rs(D3DRS_ZWRITEENABLE, TRUE);
  rs(D3DRS_LASTPIXEL, TRUE);
  rs(D3DRS_SRCBLEND, D3DBLEND_ONE);
  rs(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  rs(D3DRS_CULLMODE, D3DCULL_CCW);
  rs(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  rs(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
  rs(D3DRS_FOGEND, FloatBits(1.0f));
  rs(D3DRS_FOGDENSITY, FloatBits(1.0f));
  rs(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
  rs(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  rs(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  rs(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
  rs(D3DRS_STENCILMASK, 0xFFFFFFFF);
  rs(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
  rs(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
  rs(D3DRS_CLIPPING, TRUE);
  rs(D3DRS_LIGHTING, TRUE);
  rs(D3DRS_COLORVERTEX, TRUE);
  rs(D3DRS_LOCALVIEWER, TRUE);
  rs(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  rs(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
  rs(D3DRS_POINTSIZE, FloatBits(1.0f));
  rs(D3DRS_POINTSIZE_MIN, FloatBits(1.0f));
  rs(D3DRS_POINTSCALE_A, FloatBits(1.0f));
  rs(D3DRS_MULTISAMPLEANTIALIAS, TRUE);
  rs(D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF);
  rs(D3DRS_POINTSIZE_MAX, FloatBits(64.0f));
  rs(D3DRS_COLORWRITEENABLE, 0xF);
  rs(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  rs(D3DRS_POSITIONDEGREE, 3);
  rs(D3DRS_NORMALDEGREE, 1);
  rs(D3DRS_MINTESSELLATIONLEVEL, FloatBits(1.0f));
  rs(D3DRS_MAXTESSELLATIONLEVEL, FloatBits(1.0f));
  rs(D3DRS_ADAPTIVETESS_Z, FloatBits(1.0f));
  rs(D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP);
  rs(D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP);
  rs(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP);
  rs(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
  rs(D3DRS_COLORWRITEENABLE1, 0xF);
  rs(D3DRS_COLORWRITEENABLE2, 0xF);
  rs(D3DRS_COLORWRITEENABLE3, 0xF);
  rs(D3DRS_BLENDFACTOR, 0xFFFFFFFF);
  rs(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
  rs(D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO);
  rs(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);

  for (DWORD stage = 0; stage < kMaxStages; ++stage) {
    DWORD* s = stageStates_[stage];
    s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    s[D3DTSS_TEXCOORDINDEX] = stage;
    s[D3DTSS_COLORARG0] = s[D3DTSS_ALPHAARG0] = s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  for (DWORD sampler = 0; sampler < kMaxSamplers; ++sampler) {
    DWORD* s = samplerStates_[sampler];
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    s[D3DSAMP_MAXANISOTROPY] = 1;
  }
  viewport_ = {0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
  scissor_ = {0, 0, LONG(params_.BackBufferWidth), LONG(params_.BackBufferHeight)};
  dirtyGroups_ = kAll;
  samplerDirty_.fill(true);
}

Device::~Device() {
  // Drop what the device holds; GL names go while the context is still current.
  for (auto& texture : textures_) Replace(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
  for (auto& target : targets_) Replace(target, static_cast<Surface*>(nullptr));
  Replace(depth_, static_cast<Surface*>(nullptr));
  for (auto& stream : streams_) Replace(stream.buffer, static_cast<VertexBuffer*>(nullptr));
  Replace(indices_, static_cast<IndexBuffer*>(nullptr));
  if (backBuffer_) backBuffer_->Release();
  if (autoDepth_) autoDepth_->Release();
  if (context_) {
    if (gl_->OnGlThread()) {
      gl_->CollectGarbage();
      glDeleteVertexArrays(1, &glo_.vao);
      GLuint framebuffers[] = {glo_.framebuffer, glo_.readFramebuffer, glo_.drawFramebuffer};
      glDeleteFramebuffers(3, framebuffers);
      GLuint buffers[] = {glo_.streamVertices, glo_.streamIndices};
      glDeleteBuffers(2, buffers);
      glDeleteSamplers(kMaxSamplers, glo_.samplers);
      fixedFunction_.Release();
    }
    gl_->MarkDead();
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
  }
  gl_->MarkDead();
  if (ownWindow_ && window_) SDL_DestroyWindow(window_);
  d3d_->Release();
}

HRESULT Device::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) {
    *object = static_cast<IDirect3DDevice9*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT Device::GetDirect3D(IDirect3D9** d3d9) {
  if (!d3d9) return D3DERR_INVALIDCALL;
  *d3d9 = d3d_;
  d3d_->AddRef();
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  FillCaps(creation_.DeviceType, static_cast<DWORD>(maxTextureSize_), caps);
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
  if (swapChain != 0 || !mode) return D3DERR_INVALIDCALL;
  if (params_.Windowed) return d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, mode);
  *mode = {params_.BackBufferWidth, params_.BackBufferHeight, 60, params_.BackBufferFormat};
  return D3D_OK;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
  if (!parameters) return D3DERR_INVALIDCALL;
  *parameters = creation_;
  return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (swapChain != 0 || backBuffer >= params_.BackBufferCount ||
      type != D3DBACKBUFFER_TYPE_MONO)
    return D3DERR_INVALIDCALL;
  *surface = backBuffer_;
  backBuffer_->AddRef();
  return D3D_OK;
}

// ---------------------------------------------------------------- resources
HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                              D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                              HANDLE* shared) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const FormatInfo* info = FindFormat(format);
  if (shared || !info || info->depth || width == 0 || height == 0 ||
      width > UINT(maxTextureSize_) || height > UINT(maxTextureSize_))
    return D3DERR_INVALIDCALL;
  UINT full = FullMipChain(width, height);
  if (levels == 0) levels = full;
  if (levels > full) return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_RENDERTARGET) {
    if (pool != D3DPOOL_DEFAULT || !info->renderTarget) return D3DERR_INVALIDCALL;
  }
  if (usage & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
  auto storage = std::make_unique<ImageStorage>(gl_, *info, width, height, levels, 1, usage, pool);
  *texture = new (std::nothrow) Texture(this, std::move(storage));
  return *texture ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DCubeTexture9** cubeTexture,
                                  HANDLE* shared) {
  if (!cubeTexture) return D3DERR_INVALIDCALL;
  *cubeTexture = nullptr;
  const FormatInfo* info = FindFormat(format);
  if (shared || !info || info->depth || edgeLength == 0 || edgeLength > UINT(maxTextureSize_))
    return D3DERR_INVALIDCALL;
  UINT full = FullMipChain(edgeLength, edgeLength);
  if (levels == 0) levels = full;
  if (levels > full) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || !info->renderTarget))
    return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
  auto storage =
      std::make_unique<ImageStorage>(gl_, *info, edgeLength, edgeLength, levels, 6, usage, pool);
  *cubeTexture = new (std::nothrow) CubeTexture(this, std::move(storage));
  return *cubeTexture ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** vertexBuffer, HANDLE* shared) {
  if (!vertexBuffer) return D3DERR_INVALIDCALL;
  *vertexBuffer = nullptr;
  if (shared || length == 0) return D3DERR_INVALIDCALL;
  *vertexBuffer = new (std::nothrow) VertexBuffer(this, gl_, length, usage, fvf, pool);
  return *vertexBuffer ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** indexBuffer, HANDLE* shared) {
  if (!indexBuffer) return D3DERR_INVALIDCALL;
  *indexBuffer = nullptr;
  if (shared || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
    return D3DERR_INVALIDCALL;
  *indexBuffer = new (std::nothrow) IndexBuffer(this, gl_, length, usage, format, pool);
  return *indexBuffer ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                   D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                   IDirect3DSurface9** surface, HANDLE* shared) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  const FormatInfo* info = FindFormat(format);
  if (shared || !info || !info->renderTarget || width == 0 || height == 0 ||
      width > UINT(maxTextureSize_) || height > UINT(maxTextureSize_))
    return D3DERR_INVALIDCALL;
  auto storage = std::make_unique<ImageStorage>(gl_, *info, width, height, 1, 1,
                                                D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
  *surface = new (std::nothrow) Surface(this, std::move(storage));
  return *surface ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                          D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                          IDirect3DSurface9** surface, HANDLE* shared) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  const FormatInfo* info = FindFormat(format);
  if (shared || !info || !info->depth || width == 0 || height == 0 ||
      width > UINT(maxTextureSize_) || height > UINT(maxTextureSize_))
    return D3DERR_INVALIDCALL;
  auto storage = std::make_unique<ImageStorage>(gl_, *info, width, height, 1, 1,
                                                D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
  *surface = new (std::nothrow) Surface(this, std::move(storage));
  return *surface ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DSurface9** surface,
                                            HANDLE* shared) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  const FormatInfo* info = FindFormat(format);
  if (shared || !info || info->depth || width == 0 || height == 0 || pool == D3DPOOL_MANAGED)
    return D3DERR_INVALIDCALL;
  auto storage = std::make_unique<ImageStorage>(gl_, *info, width, height, 1, 1, 0, pool);
  *surface = new (std::nothrow) Surface(this, std::move(storage));
  return *surface ? D3D_OK : E_OUTOFMEMORY;
}

// ---------------------------------------------------------------- targets
HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) {
  std::lock_guard lock(mutex_);
  if (index >= D3DMAX_RENDER_TARGETS) return D3DERR_INVALIDCALL;
  Surface* surface = nullptr;
  if (renderTarget) {
    surface = SurfaceOf(renderTarget);
    if (!surface || !surface->Storage()->IsRenderTarget() || surface->Storage()->IsDepth())
      return D3DERR_INVALIDCALL;
  } else if (index == 0) {
    return D3DERR_INVALIDCALL;  // there is always a render target 0
  }
  Replace(targets_[index], surface);
  targetsDirty_ = true;
  if (index == 0) {
    // As in D3D, a new target 0 brings a viewport (and scissor) covering it.
    viewport_ = {0, 0, surface->Width(), surface->Height(), 0.0f, 1.0f};
    scissor_ = {0, 0, LONG(surface->Width()), LONG(surface->Height())};
    dirtyGroups_ |= kScissor;
  }
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) {
  std::lock_guard lock(mutex_);
  if (!renderTarget) return D3DERR_INVALIDCALL;
  *renderTarget = nullptr;
  if (index >= D3DMAX_RENDER_TARGETS) return D3DERR_INVALIDCALL;
  if (!targets_[index]) return D3DERR_NOTFOUND;
  *renderTarget = targets_[index];
  targets_[index]->AddRef();
  return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* newZStencil) {
  std::lock_guard lock(mutex_);
  Surface* surface = nullptr;
  if (newZStencil) {
    surface = SurfaceOf(newZStencil);
    if (!surface || !surface->Storage()->IsDepth()) return D3DERR_INVALIDCALL;
  }
  Replace(depth_, surface);
  targetsDirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface) {
  std::lock_guard lock(mutex_);
  if (!zStencilSurface) return D3DERR_INVALIDCALL;
  *zStencilSurface = depth_;
  if (!depth_) return D3DERR_NOTFOUND;
  depth_->AddRef();
  return D3D_OK;
}

HRESULT Device::BeginScene() {
  std::lock_guard lock(mutex_);
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  std::lock_guard lock(mutex_);
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

// ---------------------------------------------------------------- plain state
HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  std::lock_guard lock(mutex_);
  if (!matrix) return D3DERR_INVALIDCALL;
  DWORD s = static_cast<DWORD>(state);
  if (s == D3DTS_VIEW) view_ = *matrix;
  else if (s == D3DTS_PROJECTION) projection_ = *matrix;
  else if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) textureTransforms_[s - D3DTS_TEXTURE0] = *matrix;
  else if (s >= 256 && s < 512) world_[s - 256] = *matrix;
  else return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  std::lock_guard lock(mutex_);
  if (!matrix) return D3DERR_INVALIDCALL;
  DWORD s = static_cast<DWORD>(state);
  if (s == D3DTS_VIEW) *matrix = view_;
  else if (s == D3DTS_PROJECTION) *matrix = projection_;
  else if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) *matrix = textureTransforms_[s - D3DTS_TEXTURE0];
  else if (s >= 256 && s < 512) *matrix = world_[s - 256];
  else return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  std::lock_guard lock(mutex_);
  if (!matrix) return D3DERR_INVALIDCALL;
  D3DMATRIX current;
  HRESULT hr = GetTransform(state, &current);
  if (FAILED(hr)) return hr;
  D3DMATRIX product = Multiply(*matrix, current);  // the new matrix applies first
  return SetTransform(state, &product);
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
  std::lock_guard lock(mutex_);
  if (!viewport || !targets_[0]) return D3DERR_INVALIDCALL;
  UINT width = targets_[0]->Width(), height = targets_[0]->Height();
  if (viewport->Width == 0 || viewport->Height == 0 || viewport->X >= width ||
      viewport->Y >= height || viewport->Width > width - viewport->X ||
      viewport->Height > height - viewport->Y || viewport->MinZ < 0.0f ||
      viewport->MaxZ > 1.0f || viewport->MinZ > viewport->MaxZ)
    return D3DERR_INVALIDCALL;
  viewport_ = *viewport;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
  std::lock_guard lock(mutex_);
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = viewport_;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
  std::lock_guard lock(mutex_);
  if (!material) return D3DERR_INVALIDCALL;
  material_ = *material;
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
  std::lock_guard lock(mutex_);
  if (!material) return D3DERR_INVALIDCALL;
  *material = material_;
  return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
  std::lock_guard lock(mutex_);
  if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
    return D3DERR_INVALIDCALL;
  auto found = lights_.find(index);
  if (found == lights_.end()) lights_[index] = {*light, FALSE};
  else found->second.light = *light;
  return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
  std::lock_guard lock(mutex_);
  auto found = lights_.find(index);
  if (!light || found == lights_.end()) return D3DERR_INVALIDCALL;
  *light = found->second.light;
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  std::lock_guard lock(mutex_);
  auto found = lights_.find(index);
  if (found == lights_.end()) {
    // Enabling a light never set gives D3D's default: white, pointing along +z.
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    found = lights_.emplace(index, LightSlot{light, FALSE}).first;
  }
  found->second.enabled = enable ? TRUE : FALSE;
  return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
  std::lock_guard lock(mutex_);
  auto found = lights_.find(index);
  if (!enable || found == lights_.end()) return D3DERR_INVALIDCALL;
  *enable = found->second.enabled;
  return D3D_OK;
}

unsigned Device::GroupOf(DWORD state) {
  switch (state) {
    case D3DRS_ALPHABLENDENABLE: case D3DRS_SRCBLEND: case D3DRS_DESTBLEND: case D3DRS_BLENDOP:
    case D3DRS_SEPARATEALPHABLENDENABLE: case D3DRS_SRCBLENDALPHA: case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA: case D3DRS_BLENDFACTOR:
      return kBlend;
    case D3DRS_ZENABLE: case D3DRS_ZWRITEENABLE: case D3DRS_ZFUNC:
      return kDepth;
    case D3DRS_STENCILENABLE: case D3DRS_STENCILFAIL: case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS: case D3DRS_STENCILFUNC: case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK: case D3DRS_STENCILWRITEMASK: case D3DRS_TWOSIDEDSTENCILMODE:
    case D3DRS_CCW_STENCILFAIL: case D3DRS_CCW_STENCILZFAIL: case D3DRS_CCW_STENCILPASS:
    case D3DRS_CCW_STENCILFUNC:
      return kStencil;
    case D3DRS_CULLMODE: case D3DRS_FILLMODE:
      return kRaster;
    case D3DRS_COLORWRITEENABLE: case D3DRS_COLORWRITEENABLE1: case D3DRS_COLORWRITEENABLE2:
    case D3DRS_COLORWRITEENABLE3:
      return kColorMask;
    case D3DRS_SCISSORTESTENABLE:
      return kScissor;
    default:
      return 0;  // read by the shader at draw time, or not emulated
  }
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  std::lock_guard lock(mutex_);
  DWORD index = static_cast<DWORD>(state);
  if (index >= renderStates_.size()) return D3DERR_INVALIDCALL;
  if (renderStates_[index] != value) {
    renderStates_[index] = value;
    dirtyGroups_ |= GroupOf(index);
  }
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  std::lock_guard lock(mutex_);
  DWORD index = static_cast<DWORD>(state);
  if (!value || index >= renderStates_.size()) return D3DERR_INVALIDCALL;
  *value = renderStates_[index];
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
  std::lock_guard lock(mutex_);
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (stage >= kMaxSamplers) return D3DERR_INVALIDCALL;
  *texture = textures_[stage];
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  std::lock_guard lock(mutex_);
  if (stage >= kMaxSamplers) return D3DERR_INVALIDCALL;
  if (texture && !StorageOf(texture)) return D3DERR_INVALIDCALL;
  Replace(textures_[stage], texture);
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  std::lock_guard lock(mutex_);
  DWORD t = static_cast<DWORD>(type);
  if (!value || stage >= kMaxStages || t == 0 || t >= kStageStateCount) return D3DERR_INVALIDCALL;
  *value = stageStates_[stage][t];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  std::lock_guard lock(mutex_);
  DWORD t = static_cast<DWORD>(type);
  if (stage >= kMaxStages || t == 0 || t >= kStageStateCount) return D3DERR_INVALIDCALL;
  stageStates_[stage][t] = value;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  std::lock_guard lock(mutex_);
  DWORD t = static_cast<DWORD>(type);
  if (!value || sampler >= kMaxSamplers || t == 0 || t >= kSamplerStateCount)
    return D3DERR_INVALIDCALL;
  *value = samplerStates_[sampler][t];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  std::lock_guard lock(mutex_);
  DWORD t = static_cast<DWORD>(type);
  if (sampler >= kMaxSamplers || t == 0 || t >= kSamplerStateCount) return D3DERR_INVALIDCALL;
  if (samplerStates_[sampler][t] != value) {
    samplerStates_[sampler][t] = value;
    samplerDirty_[sampler] = true;
  }
  return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT* rect) {
  std::lock_guard lock(mutex_);
  if (!rect || rect->left > rect->right || rect->top > rect->bottom) return D3DERR_INVALIDCALL;
  scissor_ = *rect;
  dirtyGroups_ |= kScissor;
  return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* rect) {
  std::lock_guard lock(mutex_);
  if (!rect) return D3DERR_INVALIDCALL;
  *rect = scissor_;
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  std::lock_guard lock(mutex_);
  fvf_ = fvf;
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
  std::lock_guard lock(mutex_);
  if (!fvf) return D3DERR_INVALIDCALL;
  *fvf = fvf_;
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* data, UINT offset,
                                UINT stride) {
  std::lock_guard lock(mutex_);
  if (stream >= kMaxStreams) return D3DERR_INVALIDCALL;
  auto* buffer = data ? dynamic_cast<VertexBuffer*>(data) : nullptr;
  if (data && !buffer) return D3DERR_INVALIDCALL;
  Replace(streams_[stream].buffer, buffer);
  streams_[stream].offset = offset;
  streams_[stream].stride = stride;
  return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** data, UINT* offset,
                                UINT* stride) {
  std::lock_guard lock(mutex_);
  if (!data || !offset || !stride || stream >= kMaxStreams) return D3DERR_INVALIDCALL;
  *data = streams_[stream].buffer;
  if (*data) (*data)->AddRef();
  *offset = streams_[stream].offset;
  *stride = streams_[stream].stride;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indexData) {
  std::lock_guard lock(mutex_);
  auto* buffer = indexData ? dynamic_cast<IndexBuffer*>(indexData) : nullptr;
  if (indexData && !buffer) return D3DERR_INVALIDCALL;
  Replace(indices_, buffer);
  return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indexData) {
  std::lock_guard lock(mutex_);
  if (!indexData) return D3DERR_INVALIDCALL;
  *indexData = indices_;
  if (indices_) indices_->AddRef();
  return D3D_OK;
}

void Device::SetProgramOverride(ProgramOverride* program) {
  std::lock_guard lock(mutex_);
  override_ = program;
}

ProgramOverride* Device::ProgramOverrideInUse() {
  std::lock_guard lock(mutex_);
  return override_;
}

// ---------------------------------------------------------------- the hook
HRESULT SetProgramOverride(IDirect3DDevice9* device, ProgramOverride* program) {
  auto* impl = device ? dynamic_cast<Device*>(device) : nullptr;
  if (!impl) return D3DERR_INVALIDCALL;
  impl->SetProgramOverride(program);
  return D3D_OK;
}

ProgramOverride* GetProgramOverride(IDirect3DDevice9* device) {
  auto* impl = device ? dynamic_cast<Device*>(device) : nullptr;
  return impl ? impl->ProgramOverrideInUse() : nullptr;
}

bool IsGlThread(IDirect3DDevice9* device) {
  auto* impl = device ? dynamic_cast<Device*>(device) : nullptr;
  return impl && impl->OnGlThread();
}

std::size_t FixedFunctionProgramCount(IDirect3DDevice9* device) {
  auto* impl = device ? dynamic_cast<Device*>(device) : nullptr;
  return impl ? impl->FixedFunctionProgramCount() : 0;
}

}  // namespace glomp::d3d9
