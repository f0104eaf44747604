// The game scene: the stage played from the start pad to the goal. It owns the
// player, the game stage, the start and clear messages and, through its base,
// the camera of the current phase: the opening fly-over (start camera), play
// (game camera) and the clear sequence (clear camera).
#pragma once
#include <vector>

#include "scene/Scene.h"

class Player;
class CStartMessage;
class CClearMessage;

class SGame : public CScene {
 public:
  // On the loader thread: the player, the game stage, the two messages, the
  // start camera; phase 0; the game music.
  SGame();
  ~SGame() override;

  // Escape (pressed) asks for the title; then the stage, the player, the
  // messages and the camera, in that order.
  void Update() override;
  // The shadow map around the player in play, around the camera otherwise.
  void DrawShadow() override;
  void DrawShadowCasters() override;
  // Sky, stage objects, the player, water after the player, the player's effects.
  void Draw3D() override;
  void Draw2D() override;
  // Deletes the player and the messages and stops the game music.
  void Release() override;

  // A new phase gets a new camera and a fresh scene clock; the same phase changes
  // nothing. May be called from inside the current camera's Update, which then
  // must not touch itself afterwards.
  void SetPhase(int p) override;

  int Phase() const override { return phase; }
  CSlime* Slime() const override;
  Player* GamePlayer() const override { return player; }
  void RaiseStartMessage() override;
  void SendStartCameraBack() override;
  bool GateMayOpen() const override;
  void LetGatesOpen() override;
  bool ClearMessageShown() const override;
  void ShowClearMessage() override;

  // A player that has fallen this far below the stage's lowest surface comes
  // back at the last checkpoint it reached (the start pad before any).
  static constexpr float kFallOutDepth = 30.0f;
  static constexpr int kReturnFadeFrames = 20;

  Player* player;               // owned
  CStartMessage* startMessage;  // owned
  CClearMessage* clearMessage;  // owned
  int phase;                    // 0 opening, 1 play, 2 clear

  // Falling off and coming back.
  float fallOutHeight;        // below it the player has left the stage
  D3DXVECTOR3 returnSpot;     // where a fallen player stands again
  std::vector<bool> reached;  // which checkpoints were reached, in stage order
  int returnFade;             // frames of the white flash left after a return
  int returns;                // how often the player came back (the replay log reads it)

 private:
  // The last checkpoint reached becomes the place to come back to.
  void FollowCheckpoints();
  void ReturnFallenPlayer();
  // Where a slime put down at `point` stands: on the surface below it.
  D3DXVECTOR3 StandingSpotBelow(const D3DXVECTOR3& point) const;
};
