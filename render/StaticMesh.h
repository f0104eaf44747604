// An unskinned X-file model with its materials and material textures.
#pragma once
#include <d3d9.h>
#include <d3dx9.h>

#include <string>

#include "render/Texture.h"

class CStaticMesh {
 public:
  CStaticMesh();
  ~CStaticMesh();
  CStaticMesh(const CStaticMesh&) = delete;
  CStaticMesh& operator=(const CStaticMesh&) = delete;

  // Loads the model; on failure the object stays empty and draws nothing.
  bool Load(IDirect3DDevice9* device, const std::string& fileName);
  // Draws every subset whose material is not fully transparent with the fixed
  // function pipeline; transforms and render states are the caller's.
  void Draw();
  void Release();

  ID3DXMesh* GetMesh() const { return mesh; }
  const D3DMATERIAL9* GetMaterials() const { return materials; }
  CTexture* GetTextures() const { return textures; }
  DWORD GetMaterialCount() const { return materialCount; }
  const std::string& GetFileName() const { return fileName; }

  ID3DXMesh* mesh;          // position + normal + one texture coordinate
  CTexture* textures;       // one per material
  D3DMATERIAL9* materials;  // one per material
  DWORD materialCount;
  ID3DXBuffer* adjacency;
  std::string fileName;     // name and extension, without the folder
};

// Ray against a static mesh placed by `world`: the ray is taken into the mesh's
// space unnormalised, so with a unit world direction the distance is in world
// units. On a hit the face index is stored when asked for; a miss leaves it alone.
bool IntersectMesh(const CStaticMesh* staticMesh, const D3DXMATRIX& world,
                   const D3DXVECTOR3& rayOrigin, const D3DXVECTOR3& rayDirection,
                   float* distance, DWORD* faceIndex = nullptr);
