#include "render/MeshObject.h"

#include <cstring>

namespace Korvex {

CMeshObject::~CMeshObject() { Clear(); }

bool CMeshObject::Init(const std::shared_ptr<CSkinMesh>& skinMesh) {
  Clear();
  mesh = skinMesh;
  if (!mesh || mesh->frames.empty() || !mesh->frames[0]) return false;
  BoneNode* root = new BoneNode;
  D3DXMatrixIdentity(&root->localMatrix);
  D3DXMatrixIdentity(&root->combinedMatrix);
  D3DXMatrixIdentity(&root->skinMatrix);
  Build(root, mesh->frames[0], 0);
  for (BoneNode* node : nodes) {
    node->localMatrix = node->frame->TransformationMatrix;
    node->combinedMatrix = node->frame->bindPoseMatrix;
  }
  return true;
}

// Depth first, so that node i mirrors frame i of the model's list.
void CMeshObject::Build(BoneNode* node, D3DXFRAME_EX* frame, INT depth) {
  nodes.push_back(node);
  node->frame = frame;
  node->depth = depth;
  for (LPD3DXFRAME child = frame->pFrameFirstChild; child; child = child->pFrameSibling) {
    BoneNode* childNode = new BoneNode;
    D3DXMatrixIdentity(&childNode->localMatrix);
    D3DXMatrixIdentity(&childNode->combinedMatrix);
    D3DXMatrixIdentity(&childNode->skinMatrix);
    childNode->parent = node;
    node->children.push_back(childNode);
    Build(childNode, static_cast<D3DXFRAME_EX*>(child), depth + 1);
  }
}

void CMeshObject::Update(const D3DXMATRIX& world) {
  if (nodes.empty()) return;
  UpdateNode(nodes[0], world);
}

void CMeshObject::UpdateNode(BoneNode* node, const D3DXMATRIX& parentMatrix) {
  const D3DXMATRIX& source =
      node->useFrameMatrix ? node->frame->TransformationMatrix : node->localMatrix;
  D3DXMatrixMultiply(&node->combinedMatrix, &source, &parentMatrix);
  D3DXMatrixMultiply(&node->skinMatrix, &node->frame->offsetMatrix, &node->combinedMatrix);
  for (BoneNode* child : node->children) UpdateNode(child, node->combinedMatrix);
}

CMeshObject::BoneNode* CMeshObject::FindBone(const std::string& name) const {
  for (BoneNode* node : nodes) {
    if (node->frame->Name && name == node->frame->Name) return node;
  }
  return nullptr;
}

void CMeshObject::Clear() {
  for (BoneNode* node : nodes) delete node;
  nodes.clear();
  mesh.reset();
}

}  // namespace Korvex
