// D3DX frame hierarchies and keyframed animation sets, as D3DXLoadMeshHierarchyFromX
// builds them from a text X file.
#pragma once
#include <d3d9.h>
#include "d3dx9core.h"
#include "d3dx9math.h"
#include "d3dx9mesh.h"

#ifndef D3DERR_NOTFOUND
#define D3DERR_NOTFOUND MAKE_HRESULT(1, 0x876, 2150)
#endif

typedef struct _D3DXMESHCONTAINER {
  LPSTR Name;
  D3DXMESHDATA MeshData;
  LPD3DXMATERIAL pMaterials;
  LPD3DXEFFECTINSTANCE pEffects;
  DWORD NumMaterials;
  DWORD* pAdjacency;
  LPD3DXSKININFO pSkinInfo;
  struct _D3DXMESHCONTAINER* pNextMeshContainer;
} D3DXMESHCONTAINER, *LPD3DXMESHCONTAINER;

typedef struct _D3DXFRAME {
  LPSTR Name;
  D3DXMATRIX TransformationMatrix;
  LPD3DXMESHCONTAINER pMeshContainer;
  struct _D3DXFRAME* pFrameSibling;
  struct _D3DXFRAME* pFrameFirstChild;
} D3DXFRAME, *LPD3DXFRAME;

// The application's allocator for frames and mesh containers. Not reference counted.
struct ID3DXAllocateHierarchy {
  virtual HRESULT CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) = 0;
  virtual HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                      const D3DXMATERIAL* materials,
                                      const D3DXEFFECTINSTANCE* effectInstances,
                                      DWORD numMaterials, const DWORD* adjacency,
                                      LPD3DXSKININFO skinInfo,
                                      LPD3DXMESHCONTAINER* newMeshContainer) = 0;
  virtual HRESULT DestroyFrame(LPD3DXFRAME frameToFree) = 0;
  virtual HRESULT DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainerToFree) = 0;

 protected:
  ~ID3DXAllocateHierarchy() = default;
};
typedef ID3DXAllocateHierarchy* LPD3DXALLOCATEHIERARCHY;

// Custom data objects are not offered to a loader; the parameter exists for the signature.
struct ID3DXLoadUserData;
typedef ID3DXLoadUserData* LPD3DXLOADUSERDATA;

typedef struct _D3DXKEY_VECTOR3 {
  FLOAT Time;
  D3DXVECTOR3 Value;
} D3DXKEY_VECTOR3, *LPD3DXKEY_VECTOR3;

typedef struct _D3DXKEY_QUATERNION {
  FLOAT Time;
  D3DXQUATERNION Value;
} D3DXKEY_QUATERNION, *LPD3DXKEY_QUATERNION;

DEFINE_GUID(IID_ID3DXAnimationSet, 0x698cfb3f, 0x9289, 0x4d95, 0x9a, 0x57, 0x33, 0xa9, 0x4b,
            0x5a, 0x65, 0xf9);
DEFINE_GUID(IID_ID3DXKeyframedAnimationSet, 0xfa4e8e3a, 0x9786, 0x407d, 0x8b, 0x4c, 0x59, 0x95,
            0x89, 0x37, 0x64, 0xaf);
DEFINE_GUID(IID_ID3DXAnimationController, 0xac8948ec, 0xf86d, 0x43e2, 0x96, 0xde, 0x31, 0xfc,
            0x35, 0xf9, 0x6d, 0x9e);

// A named set of animations, one per animated frame (looked up by the frame's name).
struct ID3DXAnimationSet : public IUnknown {
  virtual LPCSTR GetName() = 0;
  // Length in seconds: the last key time over the source ticks per second.
  virtual double GetPeriod() = 0;
  virtual UINT GetNumAnimations() = 0;
  virtual HRESULT GetAnimationNameByIndex(UINT index, LPCSTR* name) = 0;
  virtual HRESULT GetAnimationIndexByName(LPCSTR name, UINT* index) = 0;
};
typedef ID3DXAnimationSet* LPD3DXANIMATIONSET;

// An animation set made of scale, rotation and translation key lists (times in ticks).
// Rotation keys are reported as the file stores them.
struct ID3DXKeyframedAnimationSet : public ID3DXAnimationSet {
  virtual double GetSourceTicksPerSecond() = 0;
  virtual UINT GetNumScaleKeys(UINT animation) = 0;
  virtual HRESULT GetScaleKeys(UINT animation, LPD3DXKEY_VECTOR3 scaleKeys) = 0;
  virtual UINT GetNumRotationKeys(UINT animation) = 0;
  virtual HRESULT GetRotationKeys(UINT animation, LPD3DXKEY_QUATERNION rotationKeys) = 0;
  virtual UINT GetNumTranslationKeys(UINT animation) = 0;
  virtual HRESULT GetTranslationKeys(UINT animation, LPD3DXKEY_VECTOR3 translationKeys) = 0;
};
typedef ID3DXKeyframedAnimationSet* LPD3DXKEYFRAMEDANIMATIONSET;

// Holds the animation sets of a loaded hierarchy. Sets come back with a reference added;
// QueryInterface(IID_ID3DXKeyframedAnimationSet) gives their key lists.
struct ID3DXAnimationController : public IUnknown {
  virtual UINT GetMaxNumAnimationSets() = 0;
  virtual UINT GetNumAnimationSets() = 0;
  virtual HRESULT GetAnimationSet(UINT index, LPD3DXANIMATIONSET* animationSet) = 0;
  virtual HRESULT GetAnimationSetByName(LPCSTR name, LPD3DXANIMATIONSET* animationSet) = 0;
};
typedef ID3DXAnimationController* LPD3DXANIMATIONCONTROLLER;

// Loads the frame hierarchy of a text X file through the allocator: top-level frames become
// the root and its siblings (a mesh outside any frame gets a frame of its own), every mesh
// becomes a mesh container of its frame. Animation sets come back in a controller (null
// when the file has none), the last set of the file first. On failure everything created
// so far is destroyed through the allocator and *frameHierarchy is null.
HRESULT D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD meshOptions,
                                    LPDIRECT3DDEVICE9 device, LPD3DXALLOCATEHIERARCHY alloc,
                                    LPD3DXLOADUSERDATA userDataLoader,
                                    LPD3DXFRAME* frameHierarchy,
                                    LPD3DXANIMATIONCONTROLLER* animController);
#define D3DXLoadMeshHierarchyFromX D3DXLoadMeshHierarchyFromXA

// Destroys a frame, its siblings, all their descendants and their mesh containers.
HRESULT D3DXFrameDestroy(LPD3DXFRAME frameRoot, LPD3DXALLOCATEHIERARCHY alloc);
