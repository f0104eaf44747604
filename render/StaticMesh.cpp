#include "render/StaticMesh.h"

#include "app/GraphicsDevice.h"

CStaticMesh::CStaticMesh()
    : mesh(nullptr), textures(nullptr), materials(nullptr), materialCount(0), adjacency(nullptr) {}

CStaticMesh::~CStaticMesh() { Release(); }

void CStaticMesh::Release() {
  delete[] textures;
  textures = nullptr;
  delete[] materials;
  materials = nullptr;
  materialCount = 0;
  if (adjacency) adjacency->Release();
  adjacency = nullptr;
  if (mesh) mesh->Release();
  mesh = nullptr;
  fileName.clear();
}

bool CStaticMesh::Load(IDirect3DDevice9* device, const std::string& path) {
  Release();
  const std::size_t slash = path.find_last_of("/\\");
  fileName = slash == std::string::npos ? path : path.substr(slash + 1);

  ID3DXBuffer* materialBuffer = nullptr;
  ID3DXMesh* loaded = nullptr;
  DWORD count = 0;
  if (FAILED(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, device, &adjacency,
                                &materialBuffer, nullptr, &count, &loaded))) {
    if (adjacency) adjacency->Release();
    adjacency = nullptr;
    return false;
  }

  materialCount = count;
  textures = new CTexture[count];
  materials = new D3DMATERIAL9[count];
  const auto* source =
      materialBuffer ? static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer())
                     : nullptr;
  for (DWORD i = 0; i < count && source; ++i) {
    materials[i] = source[i].MatD3D;
    materials[i].Ambient = materials[i].Diffuse;
    // Texture names are relative to the working directory, not to the model.
    if (source[i].pTextureFilename && source[i].pTextureFilename[0]) {
      textures[i].LoadFromFile(source[i].pTextureFilename, false);
    }
  }
  if (materialBuffer) materialBuffer->Release();

  ID3DXMesh* clone = nullptr;
  const HRESULT cloned = loaded->CloneMeshFVF(D3DXMESH_MANAGED | D3DXMESH_NPATCHES,
                                              D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, device,
                                              &clone);
  loaded->Release();
  if (FAILED(cloned)) {
    // Without the drawing copy there is nothing to draw: empty again.
    Release();
    return false;
  }
  mesh = clone;
  return true;
}

void CStaticMesh::Draw() {
  if (!mesh) return;
  IDirect3DDevice9* device = CGraphicsDevice::GetInstance().device;
  for (DWORD i = 0; i < materialCount; ++i) {
    if (materials[i].Diffuse.a == 0.0f) continue;
    device->SetMaterial(&materials[i]);
    device->SetTexture(0, textures[i].texture);
    mesh->DrawSubset(i);
  }
}

bool IntersectMesh(const CStaticMesh* staticMesh, const D3DXMATRIX& world,
                   const D3DXVECTOR3& rayOrigin, const D3DXVECTOR3& rayDirection,
                   float* distance, DWORD* faceIndex) {
  if (!staticMesh || !staticMesh->mesh) return false;
  // A world matrix flattened to nothing (a scale of 0) has no inverse: such an
  // object has no surface to hit.
  D3DXMATRIX inverse;
  if (!D3DXMatrixInverse(&inverse, nullptr, &world)) return false;
  D3DXVECTOR3 localOrigin, localDirection;
  D3DXVec3TransformCoord(&localOrigin, &rayOrigin, &inverse);
  D3DXVec3TransformNormal(&localDirection, &rayDirection, &inverse);
  BOOL hit = FALSE;
  DWORD face = 0;
  float hitDistance = 0;
  D3DXIntersect(staticMesh->mesh, &localOrigin, &localDirection, &hit, &face, nullptr, nullptr,
                &hitDistance, nullptr, nullptr);
  if (!hit) return false;
  if (distance) *distance = hitDistance;
  if (faceIndex) *faceIndex = face;
  return true;
}
