// The running scene as the characters, stage objects, cameras and messages see
// it. They sit below the scenes and do not include them: every scene
// implements this interface, the scene manager registers the current one, and
// tests register a scene of their own (tests/support/fake_scene.h).
//
// Facts are read-only; the actions are the few ways the game's parts act on the
// game scene: the phase, the start message and the start camera, and the clear
// message's two flags. Outside the game scene the actions do nothing.
#pragma once
#include <d3dx9math.h>

class CCamera;
class CStage;
class CSlime;
class Player;

// Scene ids and the game scene's phases.
constexpr int kSceneTitle = 0;
constexpr int kSceneGame = 1;
constexpr int kSceneResult = 2;
constexpr int kPhaseOpening = 0;
constexpr int kPhasePlay = 1;
constexpr int kPhaseClear = 2;

class RunningScene {
 public:
  virtual ~RunningScene() = default;

  virtual int SceneId() const = 0;     // kSceneTitle, kSceneGame or kSceneResult
  virtual int FrameCount() const = 0;  // the scene's clock; stands still while fading
  virtual int Phase() const { return kPhaseOpening; }  // the game scene's phase
  virtual bool Fading() const = 0;     // the white fade runs, out or in
  virtual bool Changing() const = 0;   // fading out towards a scene change
  virtual CStage* Stage() const = 0;   // null while there is none
  virtual CCamera* Camera() const = 0;
  // The scene's slime: the player in the game scene, the title slime on the title.
  virtual CSlime* Slime() const = 0;
  virtual Player* GamePlayer() const { return nullptr; }
  // The colour the scene manager keeps for the player.
  virtual D3DXCOLOR PlayerColour() const = 0;

  // Asks the scene manager for scene `id` at the next full white (the clear
  // picture's way back to the title).
  virtual void ChangeScene(int /*id*/) {}
  // The game scene's phase change (a new camera; see SGame::SetPhase).
  virtual void SetPhase(int /*phase*/) {}
  // The start camera has settled over the stage: the start band opens.
  virtual void RaiseStartMessage() {}
  // The start band has closed: the start camera glides back, if it still flies out.
  virtual void SendStartCameraBack() {}
  // The clear camera has reached its final pose: the gates may open.
  virtual bool GateMayOpen() const { return false; }
  virtual void LetGatesOpen() {}
  // The first gate has finished opening: the clear picture is shown.
  virtual bool ClearMessageShown() const { return false; }
  virtual void ShowClearMessage() {}
};

// The scene the game runs now, or null. Set by the scene manager on the main
// thread once a scene is built, cleared before it is deleted.
void SetRunningScene(RunningScene* scene);
RunningScene* CurrentScene();

// Whether the game scene is running and in `phase`.
inline bool InGamePhase(int phase) {
  const RunningScene* scene = CurrentScene();
  return scene && scene->SceneId() == kSceneGame && scene->Phase() == phase;
}
