// The scene manager: owns the running scene, fades to white and back around a
// scene change, and builds the next scene on a loader thread while the main
// thread draws the loading picture.
#pragma once
#include <d3dx9math.h>

#include <atomic>

#include "scene/LoadingScreen.h"

class CScene;
class CTexture;

enum SceneId {
  SCENE_TITLE = 0,
  SCENE_GAME = 1,
  SCENE_RESULT = 2,
};

class CSceneManager {
 public:
  // Starts fading in from full white, with the title as the scene to build first.
  CSceneManager();
  // Deletes the current scene.
  ~CSceneManager();
  CSceneManager(const CSceneManager&) = delete;
  CSceneManager& operator=(const CSceneManager&) = delete;

  // Asks for scene `id` at the next full white. Dropped while a fade runs, and
  // for ids that name no scene (the old scene would be deleted with nothing to
  // follow it). True when the request was taken.
  bool ChangeScene(int id);
  // Fade step, the scene switch when one is due, then the current scene's Update.
  void Update();
  // The current scene's drawing frame.
  void Draw();
  // Builds scene `pendingId` on a loader thread while drawing loading frames;
  // returns once it is built.
  void LoadScene();
  // The loader thread's body.
  void CreateScene();
  // The white picture at fadeAlpha, while fading (inside the frame's sprite batch).
  void DrawFade();

  static bool IsSceneId(int id) { return id >= SCENE_TITLE && id <= SCENE_RESULT; }

  // Tests and tools may build their own scenes in place of the game's: when
  // set, CreateScene builds through it (on the loader thread, like the game's).
  using SceneBuilder = CScene* (*)(int id);
  static SceneBuilder sceneBuilder;

  // Fade steps per frame: towards white, and back.
  static constexpr int kFadeOutStep = 5;
  static constexpr int kFadeInStep = 10;

  CScene* current;  // owned; set only by CreateScene
  int pendingId;
  CTexture* fadeTexture;  // not owned
  D3DXMATRIX fadeTransform;
  bool fading;
  int fadeAlpha;  // 0 to 255
  bool changing;  // fading towards white with a switch due at full white
  CLoadingScreen loadingScreen;
  D3DXCOLOR slimeColour;  // carried from the title slime to the player

  // What the replay log and the tests follow (not part of the game's logic):
  // the id of the current scene (-1 while there is none) and the loading frames
  // drawn by this frame's scene change (0 in frames without one).
  std::atomic<int> currentId;
  std::atomic<int> loadingFrames;
};

// The scene manager of the running game, created at start-up.
extern CSceneManager* g_sceneManager;
