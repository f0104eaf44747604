// Feeds arbitrary bytes to the X-file loaders: both must either load or fail, and whatever
// they built must be released again without leaks (AddressSanitizer checks).
#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// Frames and containers of plain D3DX records, as a game's allocator would keep them.
class Allocator : public ID3DXAllocateHierarchy {
 public:
  HRESULT CreateFrame(LPCSTR name, LPD3DXFRAME* frame) override {
    *frame = new D3DXFRAME{};
    (*frame)->Name = Copy(name);
    return S_OK;
  }
  HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data, const D3DXMATERIAL* materials,
                              const D3DXEFFECTINSTANCE*, DWORD count, const DWORD* adjacency,
                              LPD3DXSKININFO skin, LPD3DXMESHCONTAINER* out) override {
    D3DXMESHCONTAINER* container = new D3DXMESHCONTAINER{};
    container->Name = Copy(name);
    container->MeshData = *data;
    data->pMesh->AddRef();
    // Touch everything handed over, so that a bad pointer shows up here.
    container->NumMaterials = count;
    container->pMaterials = new D3DXMATERIAL[count + 1];
    for (DWORD i = 0; i < count; ++i) {
      container->pMaterials[i] = materials[i];
      container->pMaterials[i].pTextureFilename = Copy(materials[i].pTextureFilename);
    }
    DWORD faces = data->pMesh->GetNumFaces();
    container->pAdjacency = new DWORD[3 * faces];
    std::memcpy(container->pAdjacency, adjacency, 12 * faces);
    if (skin) {
      skin->AddRef();
      for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
        if (skin->GetBoneName(b)) nameBytes_ += std::strlen(skin->GetBoneName(b));
      }
    }
    container->pSkinInfo = skin;
    *out = container;
    return S_OK;
  }
  HRESULT DestroyFrame(LPD3DXFRAME frame) override {
    delete[] frame->Name;
    delete frame;
    return S_OK;
  }
  HRESULT DestroyMeshContainer(LPD3DXMESHCONTAINER c) override {
    for (DWORD i = 0; i < c->NumMaterials; ++i) delete[] c->pMaterials[i].pTextureFilename;
    delete[] c->pMaterials;
    delete[] c->pAdjacency;
    delete[] c->Name;
    c->MeshData.pMesh->Release();
    if (c->pSkinInfo) c->pSkinInfo->Release();
    delete c;
    return S_OK;
  }
  virtual ~Allocator() = default;

 private:
  size_t nameBytes_ = 0;
  static char* Copy(const char* text) {
    if (!text) return nullptr;
    char* copy = new char[std::strlen(text) + 1];
    std::strcpy(copy, text);
    return copy;
  }
};

const std::string& InputPath() {
  static const std::string path = "/tmp/glomp_fuzz_xfile_" + std::to_string(::getpid()) + ".x";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  LPD3DXMESH mesh = nullptr;
  LPD3DXBUFFER adjacency = nullptr, materials = nullptr, effects = nullptr;
  DWORD count = 0;
  if (SUCCEEDED(D3DXLoadMeshFromXA(InputPath().c_str(), D3DXMESH_MANAGED, nullptr, &adjacency,
                                   &materials, &effects, &count, &mesh))) {
    LPD3DXMESH clone = nullptr;
    if (SUCCEEDED(mesh->CloneMeshFVF(D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1,
                                     nullptr, &clone))) {
      D3DXComputeNormals(clone, nullptr);
      clone->Release();
    }
    mesh->Release();
    adjacency->Release();
    materials->Release();
    effects->Release();
  }

  Allocator allocator;
  LPD3DXFRAME root = nullptr;
  LPD3DXANIMATIONCONTROLLER controller = nullptr;
  if (SUCCEEDED(D3DXLoadMeshHierarchyFromXA(InputPath().c_str(), D3DXMESH_MANAGED, nullptr,
                                            &allocator, nullptr, &root, &controller))) {
    D3DXFrameDestroy(root, &allocator);
    if (controller) controller->Release();
  }
  return 0;
}
