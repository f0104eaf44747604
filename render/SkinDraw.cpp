#include "render/SkinDraw.h"

namespace Korvex {

bool SkinContainer(MESHCONTAINER_EX* container, const CMeshObject& meshObject,
                   std::vector<D3DXMATRIX>& boneMatrices) {
  ID3DXSkinInfo* skin = container->pSkinInfo;
  if (!skin || !container->sourceMesh || !container->drawingMesh) return false;
  const DWORD boneCount = skin->GetNumBones();
  if (container->boneFrames.size() < boneCount) return false;
  if (boneMatrices.size() < boneCount) boneMatrices.resize(boneCount);
  const std::vector<CMeshObject::BoneNode*>& nodes = meshObject.GetNodes();
  for (DWORD b = 0; b < boneCount; ++b) {
    const INT index = container->boneFrames[b]->index;
    if (index < 0 || static_cast<size_t>(index) >= nodes.size()) return false;
    boneMatrices[b] = nodes[index]->skinMatrix;
  }
  void* source = nullptr;
  void* destination = nullptr;
  if (FAILED(container->sourceMesh->LockVertexBuffer(D3DLOCK_READONLY, &source))) return false;
  if (FAILED(container->drawingMesh->LockVertexBuffer(0, &destination))) {
    container->sourceMesh->UnlockVertexBuffer();
    return false;
  }
  skin->UpdateSkinnedMesh(boneMatrices.data(), nullptr, source, destination);
  container->drawingMesh->UnlockVertexBuffer();
  container->sourceMesh->UnlockVertexBuffer();
  return true;
}

}  // namespace Korvex
