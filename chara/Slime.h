// The slime body shared by the player and the title slime: one skinned model
// whose bones, a lattice around the core bone "核", behave as a soft body. The
// bones on the side the slime moves towards are pushed ahead, the others are
// pulled back towards their rest offsets from their neighbours, and the core
// bobs. The slime collides with the stage by ray tests (SlimeCollision.cpp).
#pragma once
#include <d3dx9math.h>

#include <memory>
#include <string>
#include <vector>

#include "chara/CharaBase.h"
#include "render/MeshObject.h"

class MapObjectStruct;

namespace Korvex {
class CSkinMesh;
}

// The slime model, a skinned X file.
inline constexpr const char* kSlimeModelPath = "./data/model/Character/Player/slime9.x";

// Bone names are Shift-JIS words, compared byte for byte.
namespace slime_words {
inline const std::string kCore = "\x8A\x6A";   // 核
inline const std::string kRight = "\x89\x45";  // 右 +x
inline const std::string kLeft = "\x8D\xB6";   // 左 -x
inline const std::string kUp = "\x8F\xE3";     // 上 +y
inline const std::string kDown = "\x89\xBA";   // 下 -y
inline const std::string kFront = "\x91\x4F";  // 前 +z
inline const std::string kBack = "\x8C\xE3";   // 後 -z
// (positive word, negative word) for x, y and z.
inline const std::string kAxisWords[3][2] = {{kRight, kLeft}, {kUp, kDown}, {kFront, kBack}};
inline constexpr size_t kWordBytes = 2;
}  // namespace slime_words

class CSlime : public CharaBase {
 public:
  using BoneNode = Korvex::CMeshObject::BoneNode;

  struct BonePoint {
    int nodeIndex = 0;                 // equals the bone's frame index
    std::vector<BoneNode*> neighbours;  // not owned
    bool leading = false;              // leads the motion this frame
    int level = 0;                     // 0 leading, -n for n links away from a leading bone
  };

  // Takes the model from the resource cache, builds this slime's skeleton, then Reset.
  CSlime();
  ~CSlime() override;

  // Walls, ground and ceiling, the anchor while grounded or riding, then the bones.
  void Update() override;
  void DrawShadow() override;
  void Draw() override;
  void Release() override;
  // Back to the model's pose, at the origin, standing still, cyan and of size 1.
  // The rotation and scale in world stay.
  virtual void Reset();

  void PlaceAt(const D3DXVECTOR3& v);
  // Moves by v in the slime's own axes (scaled by any scale in world).
  void Translate(const D3DXVECTOR3& v);

  // The soft body.
  std::vector<BoneNode*> FindNeighbours(const std::string& name) const;
  void MarkLeading(const D3DXVECTOR3& dir);
  void RankBones();
  void PushLeading(BoneNode* core, const D3DXVECTOR3& dir);
  std::vector<BoneNode*> SortedNodes() const;
  void Relax(BoneNode* core);
  // No bone other than the core ends a frame farther than kBoneStray from its
  // rest offset beside the core.
  void KeepBonesNearRest(BoneNode* core);
  void UpdateBones();

  // Movement and stage collision.
  void Move();
  void RideObject();
  void CollideWalls();
  void CollideGround();
  void CollideCeiling();
  void CollideBones(BoneNode* core);

  // Whether a footstep falls on this frame: the scene's pulse 0.2 + Wave(0.05, 0.1),
  // printed with two decimals, reads 0.25 (a few frames about every 63).
  static bool FootstepDue();
  // The core node, or null when the model has no bone named "核".
  BoneNode* FindCore() const;
  static std::string NameOf(const BoneNode* node);

  std::shared_ptr<Korvex::CSkinMesh> skinMesh;
  Korvex::CMeshObject meshObject;
  bool onGround = false;
  std::vector<BonePoint> bonePoints;
  D3DXVECTOR3 lastPosition{0, 0, 0};
  bool wallTouch = false;
  D3DXVECTOR3 anchor{0, 0, 0};        // the camera follows it
  MapObjectStruct* standingOn = nullptr;  // not owned
  D3DXVECTOR3 groundNormal{0, 0, 0};
  bool wallStick = false;
  int wallStickFrames = 0;
  D3DXVECTOR3 wallNormal{0, 0, 0};
  bool wallJump = false;
  float landDepth = 0;
  D3DXCOLOR colour{0, 0, 0, 0};
  float size = 0;

  // Collision distances and speeds, per frame.
  static constexpr float kGravity = 0.02f;
  static constexpr float kWallSlideSpeed = -0.02f;
  static constexpr int kWallStickFrames = 100;
  static constexpr float kNearbyRadius = 100.0f;
  static constexpr int kStampSound = 5;
  // How far a bone may stray from its rest offset, in model units (the rest
  // lattice spans one unit).
  static constexpr float kBoneStray = 0.25f;

 private:
  void ResetSlime();
};
