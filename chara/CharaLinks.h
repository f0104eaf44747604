// What the characters read of the running scene. Scenes sit above the
// characters, so the characters do not include them: the scene layer registers
// a function that describes the current scene, and tests register their own.
#pragma once
#include <d3dx9math.h>

class CSlime;
class MapObjectList;

// Scene ids and game phases the characters compare against.
constexpr int kCharaSceneTitle = 0;
constexpr int kCharaSceneGame = 1;
constexpr int kGamePhaseOpening = 0;
constexpr int kGamePhasePlay = 1;
constexpr int kGamePhaseClear = 2;

struct CharaSceneView {
  int sceneId = -1;                 // 0 title, 1 game, 2 result; -1 while there is none
  int gamePhase = kGamePhaseOpening;  // the game scene's phase; opening elsewhere
  bool fading = false;              // the scene manager's fade is running
  MapObjectList* objects = nullptr;  // the objects of the scene's stage, or null
  CSlime* slime = nullptr;          // the player in the game scene, the title slime elsewhere
  D3DXMATRIX cameraWorld{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  D3DXCOLOR playerColour{0, 1, 1, 1};  // the colour the scene manager keeps for the player
};

using CharaSceneSource = CharaSceneView (*)();
// Registered by the scene layer; null (the default) describes no scene at all.
void SetCharaSceneSource(CharaSceneSource source);
CharaSceneView CurrentCharaScene();
