// One piece of a stage: a shared static mesh placed by a world matrix, with its
// kind, the face normals the slime collides against, and the per-frame
// operations the stage calls. Moving blocks, gates, water, checkpoints and
// flags derive from it.
#pragma once
#include <d3dx9.h>

#include <string>
#include <vector>

class CStaticMesh;

// The kind codes, from the kind column of a stage row.
enum MapObjectKind {
  MAP_OBJECT_MAP = 0,         // "Map": solid scenery, always collided with
  MAP_OBJECT_MOVE = 1,        // "MoveObject"
  MAP_OBJECT_CHECKPOINT = 2,  // "CheckPoint"
  MAP_OBJECT_GATE = 3,        // "Gate"
  MAP_OBJECT_WATER = 4,       // "Water"
  MAP_OBJECT_FLAG = 5,        // "Flag"
  MAP_OBJECT_OTHER = 6,       // anything else: drawn, never collided with
};

class MapObjectStruct {
 public:
  // Stores model and world, classifies the kind text and builds the face normals.
  MapObjectStruct(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText);
  virtual ~MapObjectStruct();
  MapObjectStruct(const MapObjectStruct&) = delete;
  MapObjectStruct& operator=(const MapObjectStruct&) = delete;

  virtual void Update() {}
  // Drawn with lighting off before the objects themselves (a moving block's path).
  virtual void DrawOverlay() {}
  // Toon-shaded mesh with "mW" = world.
  virtual void Draw();
  // The mesh into the shadow map; water casts no shadow.
  virtual void DrawShadow();

  // kind from the whole kind text, compared case-sensitively.
  void Classify(const std::string& kindText);
  // One unit normal per mesh face, in world orientation. Objects that are never
  // collided with (kind 6) get none.
  void BuildFaceNormals();

  CStaticMesh* model;  // from the resource cache, not owned
  D3DXMATRIX world;
  D3DXMATRIX motion;   // carries a point on the object from last frame's place to this one's
  int kind;
  std::vector<D3DXVECTOR3> faceNormals;
  int number;
  bool state;
  int index;           // position in its list, set by the loader

 protected:
  // For the kinds that have no face normals (water, checkpoints, flags).
  struct WithoutFaceNormals {};
  MapObjectStruct(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
                  WithoutFaceNormals);
};
