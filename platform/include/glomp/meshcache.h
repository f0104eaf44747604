// Derived data kept with a D3DX mesh, such as a ray-test hierarchy built once per mesh.
#pragma once
#include <d3dx9mesh.h>

namespace glomp {

// The mesh owns its cache: it is deleted when the mesh is destroyed, and dropped when the
// vertex or index buffer is unlocked after a lock that may have written to it.
struct MeshCache {
  virtual ~MeshCache() = default;
};

// The cache attached to a mesh made by this library; null when there is none.
MeshCache* GetMeshCache(ID3DXBaseMesh* mesh);

// Attaches a cache (ownership passes to the mesh; a previous one is deleted). False, and the
// cache deleted, when the mesh is not one of this library's.
bool SetMeshCache(ID3DXBaseMesh* mesh, MeshCache* cache);

}  // namespace glomp
