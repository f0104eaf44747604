// The objects of one stage in stage-file order, the loader that fills it, and
// the queries by which the slime collides with the stage.
#pragma once
#include <d3dx9.h>

#include <string>
#include <vector>

#include "stage/MapObjectStruct.h"

// The two stage files, by number.
enum StageFile { STAGE_FILE_TITLE = 0, STAGE_FILE_GAME = 1 };
constexpr int kStageFileCount = 2;
// The path of a stage file; null for a number outside the table.
const char* StageFilePath(int stageFile);

class MapObjectList {
 public:
  explicit MapObjectList(int stageFile);
  ~MapObjectList();
  MapObjectList(const MapObjectList&) = delete;
  MapObjectList& operator=(const MapObjectList&) = delete;

  // Deletes every object, then reads the stage file of that number: one object
  // per row, in file order. A file that cannot be opened leaves the list empty.
  void Load(int stageFile);
  // The same for a file given by path (Load goes through here).
  void LoadFile(const std::string& path);
  void Clear();

  std::vector<MapObjectStruct*> Objects() const { return objects; }
  void UpdateAll();
  void DrawOverlays();
  // Every object but water.
  void DrawOpaque();
  // Water only, drawn after everything else.
  void DrawWater();
  void DrawShadows();

  // Indices of the objects worth a ray test near `point`: all "Map" objects,
  // and moving blocks and gates whose origin is closer than `radius`.
  std::vector<int> NearbyObjects(const D3DXVECTOR3& point, float radius) const;
  // Ray against one object's mesh; the distance is the ray parameter.
  bool RayTest(int index, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction,
               float* distance, DWORD* faceIndex) const;
  // Diffuse alpha of the material that face `faceIndex` of object `index` uses.
  float FaceAlpha(int index, DWORD faceIndex) const;
  // The lowest world height of any solid object (scenery, moving blocks, gates);
  // 0 for a stage without any.
  float LowestSurface() const;

 private:
  void HandleRow(const std::string& line);
  const MapObjectStruct* At(int index) const;

  std::vector<MapObjectStruct*> objects;
};
