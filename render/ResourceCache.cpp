#include "render/ResourceCache.h"

#include "app/GraphicsDevice.h"
#include "render/SkinMesh.h"

CResourceCache* g_resourceCache = nullptr;

CResourceCache::~CResourceCache() {
  for (auto& [name, texture] : textures_) delete texture;
  for (auto& [name, mesh] : staticMeshes_) delete mesh;
  skinMeshes_.clear();
  textures_.clear();
  staticMeshes_.clear();
}

CTexture* CResourceCache::GetTexture(const std::string& fileName) {
  CTexture*& slot = textures_[fileName];
  if (!slot) {
    slot = new CTexture;
    slot->LoadFromFile(fileName, true);
  }
  return slot;
}

CStaticMesh* CResourceCache::GetStaticMesh(const std::string& fileName) {
  CStaticMesh*& slot = staticMeshes_[fileName];
  if (!slot) {
    slot = new CStaticMesh;
    slot->Load(CGraphicsDevice::GetInstance().device, fileName);
  }
  return slot;
}

std::shared_ptr<Korvex::CSkinMesh> CResourceCache::GetSkinMesh(const std::string& fileName) {
  std::shared_ptr<Korvex::CSkinMesh>& slot = skinMeshes_[fileName];
  if (!slot) {
    slot = std::make_shared<Korvex::CSkinMesh>();
    slot->Load(fileName);
  }
  return slot;
}
