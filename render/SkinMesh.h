// Skinned X-file models: the frame and mesh-container records of the hierarchy, the
// allocator D3DX builds them with, the copied animation sets, and the shared model itself.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include <memory>
#include <string>
#include <vector>

#include "render/Texture.h"

namespace Korvex {

// A frame of the hierarchy with what the game adds to it.
struct D3DXFRAME_EX : public D3DXFRAME {
  // For a bone the skin's offset matrix; for every other frame the inverse of its bind pose.
  D3DXMATRIX offsetMatrix;
  // Position in the model's frame list (-1 until loaded).
  INT index;
  // Transformation matrix times the parent's bind pose: where the frame rests.
  D3DXMATRIX bindPoseMatrix;
  D3DXFRAME_EX* parent;
};

struct MESHCONTAINER_EX : public D3DXMESHCONTAINER {
  CTexture* textures;                     // one per material, owned
  ID3DXMesh* sourceMesh;                  // the mesh as loaded (with normals)
  std::vector<D3DXFRAME_EX*> boneFrames;  // skinned only: the frame of each bone, in bone order
  ID3DXMesh* drawingMesh;                 // skinned only: skinned vertices are written here
  D3DXATTRIBUTERANGE* attributeTable;     // of drawingMesh, owned
  DWORD attributeCount;
};

// Builds D3DXFRAME_EX and MESHCONTAINER_EX records for D3DX and destroys them again.
class CAllocateHierarchy : public ID3DXAllocateHierarchy {
 public:
  explicit CAllocateHierarchy(const std::string& textureDirectory)
      : textureDirectory(textureDirectory) {}
  virtual ~CAllocateHierarchy() = default;

  HRESULT CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) override;
  HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                              const D3DXMATERIAL* materials,
                              const D3DXEFFECTINSTANCE* effectInstances, DWORD materialCount,
                              const DWORD* adjacency, LPD3DXSKININFO skinInfo,
                              LPD3DXMESHCONTAINER* newContainer) override;
  HRESULT DestroyFrame(LPD3DXFRAME frame) override;
  HRESULT DestroyMeshContainer(LPD3DXMESHCONTAINER container) override;

  std::string textureDirectory;  // prefix of every material texture name

 private:
  HRESULT PrepareSkinning(MESHCONTAINER_EX* container);
};

struct RotationKey {
  float time;
  float x, y, z, w;
};

struct VectorKey {
  float time;
  float x, y, z;
};

struct AnimationTrack {
  std::vector<RotationKey> rotationKeys;
  std::vector<VectorKey> scaleKeys;
  std::vector<VectorKey> translationKeys;
};

// A keyframed animation set copied out of the X file, one track per frame of the model.
class CAnimationSet {
 public:
  CAnimationSet() = default;
  ~CAnimationSet();
  CAnimationSet(const CAnimationSet&) = delete;
  CAnimationSet& operator=(const CAnimationSet&) = delete;

  std::string name;
  double ticksPerSecond = 60.0;
  double length = 0.0;                  // largest key time + 1, in ticks
  std::vector<AnimationTrack*> tracks;  // owned, indexed by frame index
};

// A skinned model shared by every character that shows it.
class CSkinMesh {
 public:
  CSkinMesh() = default;
  ~CSkinMesh();
  CSkinMesh(const CSkinMesh&) = delete;
  CSkinMesh& operator=(const CSkinMesh&) = delete;

  // Loads the hierarchy, bones and animation sets; on failure the model stays empty.
  bool Load(const std::string& fileName);
  void Clear();

  const std::vector<D3DXFRAME_EX*>& GetFrames() const { return frames; }
  const std::vector<MESHCONTAINER_EX*>& GetMeshContainers() const { return meshContainers; }
  const std::vector<std::shared_ptr<CAnimationSet>>& GetAnimationSets() const {
    return animationSets;
  }
  const std::string& GetDirectory() const { return directory; }
  const std::string& GetFileName() const { return fileName; }

  std::string directory;  // with its trailing separator
  std::string fileName;   // name and extension
  std::vector<D3DXFRAME_EX*> frames;               // depth first; element 0 is the root
  std::vector<MESHCONTAINER_EX*> meshContainers;  // in the same walk, chain order per frame
  std::vector<std::shared_ptr<CAnimationSet>> animationSets;

 private:
  void CollectFrames(D3DXFRAME_EX* frame, D3DXFRAME_EX* parent);
  void ComputeBindPoses(D3DXFRAME_EX* frame, const D3DXMATRIX& parentBindPose);
  bool FindBoneFrames();
  void ExtractAnimationSets(ID3DXAnimationController* controller);
};

}  // namespace Korvex
