// D3DX meshes: vertex, index and attribute data with an attribute table, loading from
// text X files, skin information, and the ray test against a mesh.
//
// The mesh data lives in system memory, so meshes can be created and loaded on any thread
// and without a drawing context; DrawSubset hands the data to the device at draw time.
#pragma once
#include <d3d9.h>
#include "d3dx9core.h"
#include "d3dx9math.h"

// Mesh creation options. Only the index size matters here (16-bit indices; D3DXMESH_32BIT
// is refused), the pool and usage bits are kept and reported by GetOptions.
enum _D3DXMESH {
  D3DXMESH_32BIT = 0x001,
  D3DXMESH_DONOTCLIP = 0x002,
  D3DXMESH_POINTS = 0x004,
  D3DXMESH_RTPATCHES = 0x008,
  D3DXMESH_NPATCHES = 0x4000,
  D3DXMESH_VB_SYSTEMMEM = 0x010,
  D3DXMESH_VB_MANAGED = 0x020,
  D3DXMESH_VB_WRITEONLY = 0x040,
  D3DXMESH_VB_DYNAMIC = 0x080,
  D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000,
  D3DXMESH_IB_SYSTEMMEM = 0x100,
  D3DXMESH_IB_MANAGED = 0x200,
  D3DXMESH_IB_WRITEONLY = 0x400,
  D3DXMESH_IB_DYNAMIC = 0x800,
  D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000,
  D3DXMESH_VB_SHARE = 0x1000,
  D3DXMESH_USEHWONLY = 0x2000,
  D3DXMESH_SYSTEMMEM = 0x110,
  D3DXMESH_MANAGED = 0x220,
  D3DXMESH_WRITEONLY = 0x440,
  D3DXMESH_DYNAMIC = 0x880,
  D3DXMESH_SOFTWAREPROCESSING = 0x18000,
};

typedef enum _D3DXMESHDATATYPE {
  D3DXMESHTYPE_MESH = 0x001,
  D3DXMESHTYPE_PMESH = 0x002,
  D3DXMESHTYPE_PATCHMESH = 0x003,
  D3DXMESHTYPE_FORCE_DWORD = 0x7fffffff,
} D3DXMESHDATATYPE;

// D3DX error codes (facility 0x876, as D3DX has them).
#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_HRESULT(1, 0x876, 2900)
#define D3DXERR_INVALIDMESH MAKE_HRESULT(1, 0x876, 2901)
#define D3DXERR_CANNOTATTRSORT MAKE_HRESULT(1, 0x876, 2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_HRESULT(1, 0x876, 2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_HRESULT(1, 0x876, 2904)
#define D3DXERR_INVALIDDATA MAKE_HRESULT(1, 0x876, 2905)
#define D3DXERR_LOADEDMESHASNODATA MAKE_HRESULT(1, 0x876, 2906)

typedef struct _D3DXATTRIBUTERANGE {
  DWORD AttribId;
  DWORD FaceStart;
  DWORD FaceCount;
  DWORD VertexStart;
  DWORD VertexCount;
} D3DXATTRIBUTERANGE, *LPD3DXATTRIBUTERANGE;

typedef struct _D3DXMATERIAL {
  D3DMATERIAL9 MatD3D;
  LPSTR pTextureFilename;
} D3DXMATERIAL, *LPD3DXMATERIAL;

typedef enum _D3DXEFFECTDEFAULTTYPE {
  D3DXEDT_STRING = 0x1,
  D3DXEDT_FLOATS = 0x2,
  D3DXEDT_DWORD = 0x3,
  D3DXEDT_FORCEDWORD = 0x7fffffff,
} D3DXEFFECTDEFAULTTYPE;

typedef struct _D3DXEFFECTDEFAULT {
  LPSTR pParamName;
  D3DXEFFECTDEFAULTTYPE Type;
  DWORD NumBytes;
  LPVOID pValue;
} D3DXEFFECTDEFAULT, *LPD3DXEFFECTDEFAULT;

typedef struct _D3DXEFFECTINSTANCE {
  LPSTR pEffectFilename;
  DWORD NumDefaults;
  LPD3DXEFFECTDEFAULT pDefaults;
} D3DXEFFECTINSTANCE, *LPD3DXEFFECTINSTANCE;

typedef struct _D3DXINTERSECTINFO {
  DWORD FaceIndex;
  FLOAT U;
  FLOAT V;
  FLOAT Dist;
} D3DXINTERSECTINFO, *LPD3DXINTERSECTINFO;

struct ID3DXMesh;
typedef ID3DXMesh* LPD3DXMESH;

// What every mesh kind shares: its vertices, triangles (16-bit indices) and subsets.
struct ID3DXBaseMesh : public IUnknown {
  // Draws the triangles of every attribute range whose id is attribId through the
  // mesh's device with the mesh's vertex format. D3DERR_INVALIDCALL without a device.
  virtual HRESULT DrawSubset(DWORD attribId) = 0;
  virtual DWORD GetNumFaces() = 0;
  virtual DWORD GetNumVertices() = 0;
  virtual DWORD GetFVF() = 0;
  virtual DWORD GetNumBytesPerVertex() = 0;
  virtual DWORD GetOptions() = 0;
  // The device the mesh was created for (with a reference added); null when it has none.
  virtual HRESULT GetDevice(LPDIRECT3DDEVICE9* device) = 0;
  // A copy of the mesh with another vertex format: components both formats have are copied,
  // new ones are zero. Faces, attributes and the attribute table are kept.
  virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE9 device,
                               LPD3DXMESH* cloneMesh) = 0;
  virtual HRESULT LockVertexBuffer(DWORD flags, LPVOID* data) = 0;
  virtual HRESULT UnlockVertexBuffer() = 0;
  // Three WORD indices per face.
  virtual HRESULT LockIndexBuffer(DWORD flags, LPVOID* data) = 0;
  virtual HRESULT UnlockIndexBuffer() = 0;
  // With a null table only the entry count is returned.
  virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* attribTable, DWORD* attribTableSize) = 0;
  // Three entries per face: the neighbouring face across each edge, 0xFFFFFFFF for none.
  // Vertices closer than epsilon in every coordinate count as one point.
  virtual HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) = 0;
};
typedef ID3DXBaseMesh* LPD3DXBASEMESH;

struct ID3DXMesh : public ID3DXBaseMesh {
  // One DWORD attribute id per face.
  virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
  virtual HRESULT UnlockAttributeBuffer() = 0;
  virtual HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* attribTable,
                                    DWORD attribTableSize) = 0;
};

// Per-bone vertex influences and offset matrices of a skinned mesh.
struct ID3DXSkinInfo : public IUnknown {
  virtual HRESULT SetBoneInfluence(DWORD bone, DWORD numInfluences, const DWORD* vertices,
                                   const FLOAT* weights) = 0;
  virtual DWORD GetNumBoneInfluences(DWORD bone) = 0;
  virtual HRESULT GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) = 0;
  virtual HRESULT GetMaxVertexInfluences(DWORD* maxVertexInfluences) = 0;
  virtual DWORD GetNumBones() = 0;
  virtual HRESULT SetBoneName(DWORD bone, LPCSTR name) = 0;
  virtual LPCSTR GetBoneName(DWORD bone) = 0;
  virtual HRESULT SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* boneTransform) = 0;
  virtual D3DXMATRIX* GetBoneOffsetMatrix(DWORD bone) = 0;
  virtual HRESULT Clone(ID3DXSkinInfo** skinInfo) = 0;
  virtual HRESULT SetFVF(DWORD fvf) = 0;
  virtual DWORD GetFVF() = 0;
  // Software skinning: every influenced vertex of src gets the weighted sum of its position
  // times each bone's matrix (normals by the inverse-transpose matrices, or by the bone
  // matrices when those are null) written to dst; everything else is copied from src.
  virtual HRESULT UpdateSkinnedMesh(const D3DXMATRIX* boneTransforms,
                                    const D3DXMATRIX* boneInvTransposeTransforms,
                                    LPCVOID verticesSrc, LPVOID verticesDst) = 0;
};
typedef ID3DXSkinInfo* LPD3DXSKININFO;

typedef struct _D3DXMESHDATA {
  D3DXMESHDATATYPE Type;
  union {
    LPD3DXMESH pMesh;
    void* pPMesh;
    void* pPatchMesh;
  };
} D3DXMESHDATA, *LPD3DXMESHDATA;

UINT D3DXGetFVFVertexSize(DWORD fvf);

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          LPDIRECT3DDEVICE9 device, LPD3DXMESH* mesh);

HRESULT D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones,
                              LPD3DXSKININFO* skinInfo);

// Recomputes the vertex normals as the normalised sum of the face normals around each
// point (positions that coincide share their normal). The adjacency is accepted and unused.
HRESULT D3DXComputeNormals(LPD3DXBASEMESH mesh, const DWORD* adjacency);

// Loads every mesh of a text X file into one mesh (each mesh placed by its frames),
// with its materials (D3DXMATERIAL array followed by the texture names), one effect
// instance per material and the adjacency. Binary and compressed X files are refused.
HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, LPDIRECT3DDEVICE9 device,
                           LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials,
                           LPD3DXBUFFER* effectInstances, DWORD* numMaterials,
                           LPD3DXMESH* mesh);
#define D3DXLoadMeshFromX D3DXLoadMeshFromXA

// The nearest face the ray (from rayPos along rayDir, t >= 0) passes through: its index,
// barycentric coordinates and the ray parameter t. Faces are hit from either side.
HRESULT D3DXIntersect(LPD3DXBASEMESH mesh, const D3DXVECTOR3* rayPos, const D3DXVECTOR3* rayDir,
                      BOOL* hit, DWORD* faceIndex, FLOAT* u, FLOAT* v, FLOAT* dist,
                      LPD3DXBUFFER* allHits, DWORD* countOfHits);
