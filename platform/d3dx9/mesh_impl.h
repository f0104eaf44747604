// The library's ID3DXMesh: vertices, 16-bit indices, attributes and the attribute table
// in system memory. Shared by the mesh functions, the X-file loader and skinning.
#pragma once
#include <d3dx9mesh.h>
#include "com_object.h"
#include "d3d9/fvf_layout.h"
#include "glomp/meshcache.h"

#include <atomic>
#include <memory>
#include <vector>

namespace glomp::d3dx {

using d3d9::DescribeFvf;
using d3d9::FvfLayout;

class Mesh final : public RefCounted<ID3DXMesh> {
 public:
  Mesh(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device);
  ~Mesh() override;

  HRESULT QueryInterface(REFIID riid, void** object) override;

  HRESULT DrawSubset(DWORD attribId) override;
  DWORD GetNumFaces() override { return static_cast<DWORD>(attributes_.size()); }
  DWORD GetNumVertices() override { return numVertices_; }
  DWORD GetFVF() override { return fvf_; }
  DWORD GetNumBytesPerVertex() override { return static_cast<DWORD>(layout_.stride); }
  DWORD GetOptions() override { return options_; }
  HRESULT GetDevice(LPDIRECT3DDEVICE9* device) override;
  HRESULT CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                       LPD3DXMESH* cloneMesh) override;
  HRESULT LockVertexBuffer(DWORD flags, LPVOID* data) override;
  HRESULT UnlockVertexBuffer() override;
  HRESULT LockIndexBuffer(DWORD flags, LPVOID* data) override;
  HRESULT UnlockIndexBuffer() override;
  HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override;
  HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) override;
  HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override;
  HRESULT UnlockAttributeBuffer() override;
  HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) override;

  // Direct access for the library's own code.
  const FvfLayout& Layout() const { return layout_; }
  // Writable access: the device copies are made again before the next draw.
  std::vector<BYTE>& Vertices() {
    verticesChanged_ = true;
    return vertices_;
  }
  std::vector<WORD>& Indices() {
    indicesChanged_ = true;
    return indices_;
  }
  std::vector<DWORD>& Attributes() { return attributes_; }
  std::vector<D3DXATTRIBUTERANGE>& Table() { return table_; }
  // One attribute range per attribute id in use, for faces already sorted by attribute.
  void BuildAttributeTable();
  const float* Position(DWORD vertex) const {
    return reinterpret_cast<const float*>(vertices_.data() + vertex * layout_.stride);
  }

  MeshCache* Cache() { return cache_.get(); }
  void SetCache(MeshCache* cache) { cache_.reset(cache); }

 private:
  DWORD options_;
  DWORD fvf_;
  FvfLayout layout_;
  DWORD numVertices_;
  IDirect3DDevice9* device_;
  std::vector<BYTE> vertices_;
  std::vector<WORD> indices_;
  std::vector<DWORD> attributes_;
  std::vector<D3DXATTRIBUTERANGE> table_;
  std::unique_ptr<MeshCache> cache_;
  bool vertexWriteLock_ = false;
  bool indexWriteLock_ = false;

  // The device's copies of the vertices and indices that draws read, made at
  // the first draw and filled again only after the mesh's own were written.
  bool UpdateDeviceBuffers();
  IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
  IDirect3DIndexBuffer9* indexBuffer_ = nullptr;
  bool verticesChanged_ = true;
  bool indicesChanged_ = true;
};

// Creates a mesh with validated arguments; null on invalid ones (see D3DXCreateMeshFVF).
HRESULT CreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                   IDirect3DDevice9* device, Mesh** mesh);

// Mesh downcast for meshes of this library (all meshes are).
Mesh* AsMesh(ID3DXBaseMesh* mesh);

// Largest vertex count a mesh with 16-bit indices can address.
constexpr DWORD kMaxVertices16 = 0xFFFF;

}  // namespace glomp::d3dx
