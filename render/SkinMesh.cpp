#include "render/SkinMesh.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "app/GraphicsDevice.h"

namespace Korvex {
namespace {

// A new character array holding `name` (an empty string for null); null when out of memory.
char* CopyName(LPCSTR name) {
  const char* source = name ? name : "";
  size_t length = std::strlen(source);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy) std::memcpy(copy, source, length + 1);
  return copy;
}

bool IsExactIdentity(const D3DXMATRIX& m) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
    }
  }
  return true;
}

}  // namespace

// ---- CAllocateHierarchy ----

HRESULT CAllocateHierarchy::CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) {
  *newFrame = nullptr;
  D3DXFRAME_EX* frame = new (std::nothrow) D3DXFRAME_EX;
  if (!frame) return E_OUTOFMEMORY;
  frame->Name = CopyName(name);
  if (!frame->Name) {
    delete frame;
    return E_OUTOFMEMORY;
  }
  D3DXMatrixIdentity(&frame->TransformationMatrix);
  D3DXMatrixIdentity(&frame->offsetMatrix);
  D3DXMatrixIdentity(&frame->bindPoseMatrix);
  frame->index = -1;
  frame->parent = nullptr;
  frame->pMeshContainer = nullptr;
  frame->pFrameSibling = nullptr;
  frame->pFrameFirstChild = nullptr;
  *newFrame = frame;
  return S_OK;
}

HRESULT CAllocateHierarchy::CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                                const D3DXMATERIAL* materials,
                                                const D3DXEFFECTINSTANCE*, DWORD materialCount,
                                                const DWORD* adjacency, LPD3DXSKININFO skinInfo,
                                                LPD3DXMESHCONTAINER* newContainer) {
  *newContainer = nullptr;
  if (meshData->Type != D3DXMESHTYPE_MESH || !meshData->pMesh) return E_FAIL;
  ID3DXMesh* mesh = meshData->pMesh;
  if (mesh->GetFVF() == 0) return E_FAIL;

  MESHCONTAINER_EX* container = new (std::nothrow) MESHCONTAINER_EX();
  if (!container) return E_OUTOFMEMORY;
  container->Name = CopyName(name);
  if (!container->Name) {
    delete container;
    return E_OUTOFMEMORY;
  }
  auto fail = [this, container](HRESULT hr) {
    DestroyMeshContainer(container);
    return hr;
  };

  // The toon shading needs normals: a mesh without them gets a copy with computed ones.
  container->MeshData.Type = D3DXMESHTYPE_MESH;
  if (mesh->GetFVF() & D3DFVF_NORMAL) {
    container->MeshData.pMesh = mesh;
    mesh->AddRef();
  } else {
    IDirect3DDevice9* device = nullptr;
    mesh->GetDevice(&device);
    HRESULT hr = mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device,
                                    &container->MeshData.pMesh);
    if (device) device->Release();
    if (FAILED(hr)) return fail(hr);
    D3DXComputeNormals(container->MeshData.pMesh, nullptr);
  }
  ID3DXMesh* ownMesh = container->MeshData.pMesh;

  DWORD faceCount = ownMesh->GetNumFaces();
  container->pAdjacency = new (std::nothrow) DWORD[3 * static_cast<size_t>(faceCount)];
  if (!container->pAdjacency) return fail(E_OUTOFMEMORY);
  if (adjacency) {
    std::memcpy(container->pAdjacency, adjacency, 3 * sizeof(DWORD) * faceCount);
  } else {
    std::fill_n(container->pAdjacency, 3 * static_cast<size_t>(faceCount), 0xFFFFFFFFu);
  }

  if (materialCount > 0 && materials) {
    container->NumMaterials = materialCount;
    container->pMaterials = new (std::nothrow) D3DXMATERIAL[materialCount];
    container->textures = new (std::nothrow) CTexture[materialCount];
    if (!container->pMaterials || !container->textures) return fail(E_OUTOFMEMORY);
    for (DWORD i = 0; i < materialCount; ++i) {
      container->pMaterials[i] = materials[i];
      container->pMaterials[i].MatD3D.Ambient = materials[i].MatD3D.Diffuse;
      container->pMaterials[i].pTextureFilename = nullptr;
      if (materials[i].pTextureFilename) {
        container->textures[i].LoadFromFile(textureDirectory + materials[i].pTextureFilename,
                                             false);
      }
    }
  } else {
    // No materials in the file: one plain white one (alpha 0), without texture.
    container->NumMaterials = 1;
    container->pMaterials = new (std::nothrow) D3DXMATERIAL[1];
    container->textures = new (std::nothrow) CTexture[1];
    if (!container->pMaterials || !container->textures) return fail(E_OUTOFMEMORY);
    std::memset(container->pMaterials, 0, sizeof(D3DXMATERIAL));
    D3DMATERIAL9& material = container->pMaterials[0].MatD3D;
    material.Diffuse.r = material.Diffuse.g = material.Diffuse.b = 1.0f;
    material.Specular = material.Diffuse;
  }

  container->sourceMesh = ownMesh;
  ownMesh->AddRef();
  if (skinInfo) {
    container->pSkinInfo = skinInfo;
    skinInfo->AddRef();
    // Skinning reads vertices in the source mesh's layout, which gained a normal above
    // when the file had none.
    if (skinInfo->GetFVF() != ownMesh->GetFVF()) skinInfo->SetFVF(ownMesh->GetFVF());
    HRESULT hr = PrepareSkinning(container);
    if (FAILED(hr)) return fail(hr);
  }
  container->pEffects = nullptr;
  container->pNextMeshContainer = nullptr;
  *newContainer = container;
  return S_OK;
}

HRESULT CAllocateHierarchy::PrepareSkinning(MESHCONTAINER_EX* container) {
  IDirect3DDevice9* device = nullptr;
  container->sourceMesh->GetDevice(&device);
  HRESULT hr = container->sourceMesh->CloneMeshFVF(
      D3DXMESH_MANAGED, container->sourceMesh->GetFVF(), device, &container->drawingMesh);
  if (device) device->Release();
  if (FAILED(hr)) return hr;
  hr = container->drawingMesh->GetAttributeTable(nullptr, &container->attributeCount);
  if (FAILED(hr)) return hr;
  container->attributeTable = new (std::nothrow) D3DXATTRIBUTERANGE[container->attributeCount];
  if (!container->attributeTable) return E_OUTOFMEMORY;
  return container->drawingMesh->GetAttributeTable(container->attributeTable,
                                                   &container->attributeCount);
}

HRESULT CAllocateHierarchy::DestroyFrame(LPD3DXFRAME frame) {
  D3DXFRAME_EX* own = static_cast<D3DXFRAME_EX*>(frame);
  delete[] own->Name;
  delete own;
  return S_OK;
}

HRESULT CAllocateHierarchy::DestroyMeshContainer(LPD3DXMESHCONTAINER base) {
  MESHCONTAINER_EX* container = static_cast<MESHCONTAINER_EX*>(base);
  if (container->pMaterials) {
    for (DWORD i = 0; i < container->NumMaterials; ++i) {
      delete[] container->pMaterials[i].pTextureFilename;
    }
  }
  delete[] container->Name;
  delete[] container->pAdjacency;
  delete[] container->pMaterials;
  delete[] container->textures;
  if (container->drawingMesh) container->drawingMesh->Release();
  delete[] container->attributeTable;
  container->boneFrames.clear();
  if (container->MeshData.pMesh) container->MeshData.pMesh->Release();
  if (container->pSkinInfo) container->pSkinInfo->Release();
  if (container->sourceMesh) container->sourceMesh->Release();
  delete container;
  return S_OK;
}

// ---- CAnimationSet ----

CAnimationSet::~CAnimationSet() {
  for (AnimationTrack* track : tracks) delete track;
}

// ---- CSkinMesh ----

CSkinMesh::~CSkinMesh() { Clear(); }

bool CSkinMesh::Load(const std::string& path) {
  Clear();
  size_t cut = path.find_last_of("/\\");
  size_t start = (path.size() >= 2 && path[1] == ':') ? 2 : 0;  // no drive letter
  directory = cut == std::string::npos ? "" : path.substr(start, cut + 1 - start);
  fileName = cut == std::string::npos ? path : path.substr(cut + 1);

  CAllocateHierarchy allocator(directory);
  LPD3DXFRAME root = nullptr;
  ID3DXAnimationController* controller = nullptr;
  D3DXLoadMeshHierarchyFromXA(path.c_str(), D3DXMESH_MANAGED,
                              CGraphicsDevice::GetInstance().device, &allocator, nullptr, &root,
                              &controller);
  if (!root) {
    if (controller) controller->Release();
    Clear();
    return false;
  }
  CollectFrames(static_cast<D3DXFRAME_EX*>(root), nullptr);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  ComputeBindPoses(frames[0], identity);
  // A bone that names no frame would leave the skin without its matrix; such a model
  // is refused as a whole rather than drawn with a hole in its skeleton.
  if (!FindBoneFrames()) {
    if (controller) controller->Release();
    Clear();
    return false;
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    D3DXFRAME_EX* frame = frames[i];
    frame->index = static_cast<INT>(i);
    D3DXMATRIX inverse;
    if (IsExactIdentity(frame->offsetMatrix) &&
        D3DXMatrixInverse(&inverse, nullptr, &frame->bindPoseMatrix)) {
      frame->offsetMatrix = inverse;
    }
  }
  if (controller) {
    ExtractAnimationSets(controller);
    controller->Release();
  }
  return true;
}

// Depth first: a frame, its containers, its first child's subtree, then its next sibling.
void CSkinMesh::CollectFrames(D3DXFRAME_EX* frame, D3DXFRAME_EX* parent) {
  for (; frame; frame = static_cast<D3DXFRAME_EX*>(frame->pFrameSibling)) {
    frame->parent = parent;
    frames.push_back(frame);
    for (LPD3DXMESHCONTAINER c = frame->pMeshContainer; c; c = c->pNextMeshContainer) {
      meshContainers.push_back(static_cast<MESHCONTAINER_EX*>(c));
    }
    CollectFrames(static_cast<D3DXFRAME_EX*>(frame->pFrameFirstChild), frame);
  }
}

void CSkinMesh::ComputeBindPoses(D3DXFRAME_EX* frame, const D3DXMATRIX& parentBindPose) {
  for (; frame; frame = static_cast<D3DXFRAME_EX*>(frame->pFrameSibling)) {
    D3DXMatrixMultiply(&frame->bindPoseMatrix, &frame->TransformationMatrix, &parentBindPose);
    ComputeBindPoses(static_cast<D3DXFRAME_EX*>(frame->pFrameFirstChild), frame->bindPoseMatrix);
  }
}

bool CSkinMesh::FindBoneFrames() {
  for (MESHCONTAINER_EX* container : meshContainers) {
    ID3DXSkinInfo* skin = container->pSkinInfo;
    if (!skin) continue;
    container->boneFrames.clear();
    for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
      const char* boneName = skin->GetBoneName(b);
      auto found = std::find_if(frames.begin(), frames.end(), [boneName](D3DXFRAME_EX* frame) {
        return boneName && std::strcmp(frame->Name, boneName) == 0;
      });
      if (found == frames.end()) return false;
      container->boneFrames.push_back(*found);
      (*found)->offsetMatrix = *skin->GetBoneOffsetMatrix(b);
    }
  }
  return true;
}

void CSkinMesh::ExtractAnimationSets(ID3DXAnimationController* controller) {
  for (UINT s = 0; s < controller->GetNumAnimationSets(); ++s) {
    ID3DXAnimationSet* base = nullptr;
    if (FAILED(controller->GetAnimationSet(s, &base)) || !base) continue;
    ID3DXKeyframedAnimationSet* set = nullptr;
    HRESULT hr =
        base->QueryInterface(IID_ID3DXKeyframedAnimationSet, reinterpret_cast<void**>(&set));
    base->Release();
    if (FAILED(hr)) continue;

    auto animation = std::make_shared<CAnimationSet>();
    animationSets.push_back(animation);
    animation->name = set->GetName();
    animation->ticksPerSecond = set->GetSourceTicksPerSecond();
    // Sets whose name starts with "//" are commented out in the model.
    if (animation->name.compare(0, 2, "//") == 0) {
      animationSets.pop_back();
      set->Release();
      continue;
    }
    float largest = 0.0f;
    animation->tracks.reserve(frames.size());
    for (D3DXFRAME_EX* frame : frames) {
      AnimationTrack* track = new AnimationTrack;
      animation->tracks.push_back(track);
      UINT index = 0;
      if (FAILED(set->GetAnimationIndexByName(frame->Name, &index))) continue;
      std::vector<D3DXKEY_QUATERNION> rotations(set->GetNumRotationKeys(index));
      std::vector<D3DXKEY_VECTOR3> scales(set->GetNumScaleKeys(index));
      std::vector<D3DXKEY_VECTOR3> translations(set->GetNumTranslationKeys(index));
      if (!rotations.empty()) set->GetRotationKeys(index, rotations.data());
      if (!scales.empty()) set->GetScaleKeys(index, scales.data());
      if (!translations.empty()) set->GetTranslationKeys(index, translations.data());
      for (const D3DXKEY_QUATERNION& key : rotations) {
        track->rotationKeys.push_back(
            {key.Time, key.Value.x, key.Value.y, key.Value.z, -key.Value.w});
        largest = std::max(largest, key.Time);
      }
      for (const D3DXKEY_VECTOR3& key : scales) {
        track->scaleKeys.push_back({key.Time, key.Value.x, key.Value.y, key.Value.z});
        largest = std::max(largest, key.Time);
      }
      for (const D3DXKEY_VECTOR3& key : translations) {
        track->translationKeys.push_back({key.Time, key.Value.x, key.Value.y, key.Value.z});
        largest = std::max(largest, key.Time);
      }
    }
    animation->length = static_cast<double>(largest) + 1.0;
    set->Release();
  }
}

void CSkinMesh::Clear() {
  if (!frames.empty()) {
    CAllocateHierarchy allocator(directory);
    D3DXFrameDestroy(frames[0], &allocator);
  }
  frames.clear();
  meshContainers.clear();
  animationSets.clear();
  directory.clear();
  fileName.clear();
}

}  // namespace Korvex
