// A character's own skeleton over a shared skinned model: one node per frame, whose
// matrices the character may change before the model is skinned and drawn.
#pragma once
#include <d3dx9.h>

#include <memory>
#include <string>
#include <vector>

#include "render/SkinMesh.h"

namespace Korvex {

class CMeshObject {
 public:
  struct BoneNode {
    D3DXFRAME_EX* frame = nullptr;
    BoneNode* parent = nullptr;
    std::vector<BoneNode*> children;  // in the frame's child order
    INT depth = 0;
    D3DXMATRIX localMatrix;     // starts as the frame's transformation matrix
    D3DXMATRIX combinedMatrix;  // source matrix x parent's combined matrix
    D3DXMATRIX skinMatrix;      // frame offset matrix x combinedMatrix
    bool useFrameMatrix = false;  // use the frame's shared matrix instead of localMatrix
  };

  CMeshObject() = default;
  ~CMeshObject();
  CMeshObject(const CMeshObject&) = delete;
  CMeshObject& operator=(const CMeshObject&) = delete;

  // Builds the node tree for the model; false (and no nodes) for an empty model.
  bool Init(const std::shared_ptr<CSkinMesh>& mesh);
  // Recomputes the combined and skin matrices with `world` as the root's parent.
  void Update(const D3DXMATRIX& world);
  // The first node whose frame name equals `name` byte for byte, or null.
  BoneNode* FindBone(const std::string& name) const;
  void Clear();

  const std::vector<BoneNode*>& GetNodes() const { return nodes; }
  const std::shared_ptr<CSkinMesh>& GetMesh() const { return mesh; }

  std::shared_ptr<CSkinMesh> mesh;
  std::vector<BoneNode*> nodes;  // owned, in the model's frame order

 private:
  void Build(BoneNode* node, D3DXFRAME_EX* frame, INT depth);
  void UpdateNode(BoneNode* node, const D3DXMATRIX& parentMatrix);
};

}  // namespace Korvex
