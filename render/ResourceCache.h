// The one cache through which every texture, static mesh and skinned mesh is
// loaded: one object per file name, kept until shutdown. Names are compared
// byte for byte, so "./a.png" and "a.png" are two entries.
#pragma once
#include <d3d9.h>

#include <map>
#include <memory>
#include <string>

#include "render/StaticMesh.h"
#include "render/Texture.h"

namespace Korvex {
class CSkinMesh;
}

class CResourceCache {
 public:
  CResourceCache() = default;
  // Deletes every cached texture and static mesh, then drops the cache's
  // shares of the skinned meshes.
  ~CResourceCache();
  CResourceCache(const CResourceCache&) = delete;
  CResourceCache& operator=(const CResourceCache&) = delete;

  // Each returns a usable object for any name; a file that fails to load gives
  // an empty object, which is kept (the file is tried once).
  CTexture* GetTexture(const std::string& fileName);
  CStaticMesh* GetStaticMesh(const std::string& fileName);
  std::shared_ptr<Korvex::CSkinMesh> GetSkinMesh(const std::string& fileName);

 private:
  std::map<std::string, CTexture*> textures_;
  std::map<std::string, CStaticMesh*> staticMeshes_;
  std::map<std::string, std::shared_ptr<Korvex::CSkinMesh>> skinMeshes_;
};

// The cache of the running game, created at start-up after the device.
extern CResourceCache* g_resourceCache;
