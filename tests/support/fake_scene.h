// A running scene that a test fills in by hand. While it lives it is the
// scene the game's parts see; it records the actions they take on it.
#pragma once
#include "common/RunningScene.h"

struct FakeScene : RunningScene {
  FakeScene() { SetRunningScene(this); }
  ~FakeScene() override {
    if (CurrentScene() == this) SetRunningScene(nullptr);
  }
  FakeScene(const FakeScene&) = delete;
  FakeScene& operator=(const FakeScene&) = delete;

  int SceneId() const override { return sceneId; }
  int FrameCount() const override { return frameCount; }
  int Phase() const override { return phase; }
  bool Fading() const override { return fading; }
  bool Changing() const override { return changing; }
  CStage* Stage() const override { return stage; }
  CCamera* Camera() const override { return camera; }
  CSlime* Slime() const override { return slime; }
  Player* GamePlayer() const override { return player; }
  D3DXCOLOR PlayerColour() const override { return playerColour; }

  void ChangeScene(int id) override { requestedScene = id; }
  void SetPhase(int p) override {
    phase = p;
    ++phaseChanges;
  }
  void RaiseStartMessage() override { startMessageRaised = true; }
  void SendStartCameraBack() override { ++startCameraSentBack; }
  bool GateMayOpen() const override { return gateMayOpen; }
  void LetGatesOpen() override { gateMayOpen = true; }
  bool ClearMessageShown() const override { return clearShown; }
  void ShowClearMessage() override {
    clearShown = true;
    ++clearShownCalls;
  }

  int sceneId = kSceneGame;
  int frameCount = 0;
  int phase = kPhasePlay;
  bool fading = false;
  bool changing = false;
  CStage* stage = nullptr;
  CCamera* camera = nullptr;
  CSlime* slime = nullptr;
  Player* player = nullptr;
  D3DXCOLOR playerColour{0, 1, 1, 1};

  int requestedScene = -1;
  int phaseChanges = 0;
  bool startMessageRaised = false;
  int startCameraSentBack = 0;
  bool gateMayOpen = false;
  bool clearShown = false;
  int clearShownCalls = 0;
};
