// Drawing the mesh containers of a skinned model for one skeleton: software
// skinning into the container's drawing mesh, and the order in which a
// container's subsets are drawn. Shared by the toon and the shadow-map pass.
#pragma once
#include <d3dx9.h>

#include <vector>

#include "render/MeshObject.h"
#include "render/SkinMesh.h"

namespace Korvex {

// Fills boneMatrices (which only ever grows) with the skin matrices of the
// skeleton's nodes for the container's bones and writes the skinned vertices of
// the source mesh into the drawing mesh. False when the container has no skin
// information or the skeleton does not fit it.
bool SkinContainer(MESHCONTAINER_EX* container, const CMeshObject& meshObject,
                   std::vector<D3DXMATRIX>& boneMatrices);

// Calls draw(mesh, materialIndex) for every subset of the container, in drawing
// order: for a skinned container the attribute ranges of its drawing mesh in table
// order; for one without skin information its own mesh, material by material (it
// is drawn rigidly, placed by the object's world matrix). Attribute ids without a
// material are skipped.
template <typename DrawSubset>
void ForEachSubset(const MESHCONTAINER_EX* container, DrawSubset draw) {
  if (container->pSkinInfo) {
    if (!container->drawingMesh) return;
    for (DWORD r = 0; r < container->attributeCount; ++r) {
      const DWORD material = container->attributeTable[r].AttribId;
      if (material < container->NumMaterials) draw(container->drawingMesh, material);
    }
    return;
  }
  ID3DXMesh* mesh = container->MeshData.pMesh;
  if (!mesh) return;
  for (DWORD material = 0; material < container->NumMaterials; ++material) {
    draw(mesh, material);
  }
}

}  // namespace Korvex
