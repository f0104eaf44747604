// Feeds arbitrary bytes to the X-file loaders: the D3DX calls with a plain allocator, then
// the game's own models — the static mesh with its ray test, the skinned model with its
// frame hierarchy, skin and animation sets, and a skeleton posed over it. Each must either
// load or fail, and whatever was built must be released again without leaks.
#include <d3dx9.h>

#include <memory>
#include <vector>

#include "render/MeshObject.h"
#include "render/SkinDraw.h"
#include "render/SkinMesh.h"
#include "render/StaticMesh.h"

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

// Asks the controller for every set, its animations and their keys, the way the
// skinned model copies them.
void WalkAnimations(ID3DXAnimationController* controller) {
  for (UINT s = 0; s < controller->GetNumAnimationSets(); ++s) {
    ID3DXAnimationSet* set = nullptr;
    if (FAILED(controller->GetAnimationSet(s, &set)) || !set) continue;
    ID3DXKeyframedAnimationSet* keyed = nullptr;
    if (SUCCEEDED(set->QueryInterface(IID_ID3DXKeyframedAnimationSet,
                                      reinterpret_cast<void**>(&keyed)))) {
      for (UINT a = 0; a < keyed->GetNumAnimations(); ++a) {
        LPCSTR name = nullptr;
        UINT index = 0;
        if (SUCCEEDED(keyed->GetAnimationNameByIndex(a, &name)) && name) {
          keyed->GetAnimationIndexByName(name, &index);
        }
        std::vector<D3DXKEY_QUATERNION> turns(keyed->GetNumRotationKeys(a));
        std::vector<D3DXKEY_VECTOR3> scales(keyed->GetNumScaleKeys(a));
        std::vector<D3DXKEY_VECTOR3> moves(keyed->GetNumTranslationKeys(a));
        if (!turns.empty()) keyed->GetRotationKeys(a, turns.data());
        if (!scales.empty()) keyed->GetScaleKeys(a, scales.data());
        if (!moves.empty()) keyed->GetTranslationKeys(a, moves.data());
      }
      keyed->Release();
    }
    set->Release();
  }
}

// The game's static model: loaded, then hit by a few rays as the stage does.
void LoadStaticModel(const std::string& path) {
  CStaticMesh model;
  if (!model.Load(nullptr, path)) return;
  D3DXMATRIX world;
  D3DXMatrixIdentity(&world);
  const D3DXVECTOR3 origins[] = {{0, 10, 0}, {0.5f, -3, 0.25f}, {-2, 0.5f, 0}};
  const D3DXVECTOR3 directions[] = {{0, -1, 0}, {0, 1, 0}, {1, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    float distance = 0;
    DWORD face = 0;
    IntersectMesh(&model, world, origins[i], directions[i], &distance, &face);
  }
}

// The game's skinned model and a skeleton over it, posed and skinned once.
void LoadSkinnedModel(const std::string& path) {
  auto model = std::make_shared<Korvex::CSkinMesh>();
  if (!model->Load(path)) return;
  Korvex::CMeshObject skeleton;
  if (!skeleton.Init(model)) return;
  D3DXMATRIX world;
  D3DXMatrixRotationYawPitchRoll(&world, 0.5f, 0.25f, 0.0f);
  for (Korvex::CMeshObject::BoneNode* node : skeleton.GetNodes()) {
    D3DXMATRIX turn;
    D3DXMatrixRotationZ(&turn, 0.1f * float(node->depth));
    node->localMatrix = turn * node->localMatrix;
  }
  skeleton.Update(world);
  std::vector<D3DXMATRIX> boneMatrices;
  DWORD subsets = 0;
  for (Korvex::MESHCONTAINER_EX* container : model->GetMeshContainers()) {
    Korvex::SkinContainer(container, skeleton, boneMatrices);
    Korvex::ForEachSubset(container, [&subsets](ID3DXMesh*, DWORD) { ++subsets; });
  }
  for (const auto& set : model->GetAnimationSets()) {
    if (set->tracks.size() != model->GetFrames().size()) std::abort();
  }
  if (!model->GetFrames().empty() && model->GetFrames()[0]->Name) {
    skeleton.FindBone(model->GetFrames()[0]->Name);
  }
}

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
    if (controller) {
      WalkAnimations(controller);
      controller->Release();
    }
  }

  LoadStaticModel(InputPath());
  LoadSkinnedModel(InputPath());
  return 0;
}
