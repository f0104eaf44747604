// The scene manager in the running game: the white fade around a scene change,
// dropped and refused requests, the scene clock, and the loading loop.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "common/Helpers.h"
#include "game_fixture.h"
#include "glomp/headless.h"
#include "scene/LoadFlag.h"
#include "scene/Game.h"
#include "scene/Result.h"
#include "scene/Scene.h"
#include "scene/SceneManager.h"
#include "scene/Title.h"

namespace scene_test {
namespace {

struct FrameState {
  int alpha;
  bool fading;
  bool changing;
  int sceneId;
  int frameCount;
  int loadingFrames;
  const CScene* scene;  // for comparing only: scenes are gone after the run
  bool isGame;
};

class SceneFlowTest : public GameTest {
 protected:
  // Runs the game and keeps the manager's state after every frame.
  void Run(int frames, const std::function<void(int)>& atFrame = nullptr) {
    RunGame(frames, [&](int frame) {
      if (frame > 0) after[frame - 1] = Snapshot();
      if (atFrame) atFrame(frame);
    });
  }
  static FrameState Snapshot() {
    const CSceneManager& m = *g_sceneManager;
    return {m.fadeAlpha, m.fading, m.changing, m.currentId.load(),
            m.current ? m.current->frameCount : -1, m.loadingFrames.load(), m.current,
            dynamic_cast<const SGame*>(m.current) != nullptr};
  }
  static void PressEnterAt(int frame, int now) {
    if (now == frame) glomp::headless::SetKey(VK_RETURN, true);
    if (now == frame + 2) glomp::headless::SetKey(VK_RETURN, false);
  }
  std::map<int, FrameState> after;
};

TEST_F(SceneFlowTest, AChangeFadesOutBy5SwitchesAtWhiteAndFadesInBy10) {
  WriteWhitePicture();
  constexpr int kEnter = 40;
  Run(125, [&](int frame) { PressEnterAt(kEnter, frame); });

  // The title fades in from white first: 245, 235, ... 5, then 0 and idle.
  EXPECT_EQ(after[0].alpha, 245);
  EXPECT_EQ(after[24].alpha, 5);
  EXPECT_EQ(after[25].alpha, 0);
  EXPECT_FALSE(after[25].fading);

  // From idle: 0 in the frame of the request, 5, 10, ... 255, the switch at 255,
  // then 245, ... 5, 0 and the fade ends.
  std::vector<int> expected;
  for (int a = 0; a <= 255; a += 5) expected.push_back(a);
  expected.push_back(255);
  for (int a = 245; a >= 0; a -= 10) expected.push_back(a);
  expected.push_back(0);
  std::vector<int> seen;
  for (int f = kEnter; f < kEnter + static_cast<int>(expected.size()); ++f) {
    seen.push_back(after[f].alpha);
  }
  EXPECT_EQ(seen, expected);

  const int switchFrame = kEnter + 52;
  for (int f = kEnter; f < switchFrame; ++f) {
    EXPECT_TRUE(after[f].fading && after[f].changing) << f;
    EXPECT_EQ(after[f].sceneId, 0) << f;
  }
  // The game scene from the switch on.
  EXPECT_EQ(after[switchFrame].sceneId, 1);
  EXPECT_FALSE(after[switchFrame].changing);
  EXPECT_TRUE(after[switchFrame + 25].fading);
  EXPECT_FALSE(after[switchFrame + 26].fading);
  EXPECT_EQ(after[switchFrame + 26].alpha, 0);
  EXPECT_FALSE(after[switchFrame - 1].isGame);
  EXPECT_TRUE(after[switchFrame].isGame);
  // Loading frames are counted only in the frame of the switch.
  for (const auto& [frame, state] : after) {
    if (frame != switchFrame) {
      EXPECT_EQ(state.loadingFrames, 0) << frame;
    }
  }
}

// The game's scenes, counted as they are built (a new scene may reuse the old one's address).
int g_builds = 0;
CScene* CountingBuilder(int id) {
  ++g_builds;
  return id == SCENE_TITLE ? static_cast<CScene*>(new STitle()) : new SResult();
}

TEST_F(SceneFlowTest, RequestsDuringEitherFadeAreDroppedAndEnterTwiceBuildsOneScene) {
  WriteWhitePicture();
  g_builds = 0;
  CSceneManager::sceneBuilder = CountingBuilder;
  std::map<int, bool> taken;
  Run(130, [&](int frame) {
    PressEnterAt(40, frame);
    PressEnterAt(60, frame);  // a second Enter while fading out
    if (frame == 10) taken[10] = g_sceneManager->ChangeScene(SCENE_RESULT);   // title fading in
    if (frame == 70) taken[70] = g_sceneManager->ChangeScene(SCENE_RESULT);   // fading out
    if (frame == 100) taken[100] = g_sceneManager->ChangeScene(SCENE_TITLE);  // new scene fading in
  });
  EXPECT_FALSE(taken[10]);
  EXPECT_FALSE(taken[70]);
  EXPECT_FALSE(taken[100]);
  // One change only: the title until the switch at frame 92, then one scene to the end.
  EXPECT_EQ(g_builds, 2);  // the title at start-up, then the game
  EXPECT_EQ(after[91].sceneId, 0);
  EXPECT_EQ(after[92].sceneId, 1);
  EXPECT_EQ(after[129].sceneId, 1);
  EXPECT_FALSE(after[129].fading);
}

TEST_F(SceneFlowTest, IdsThatNameNoSceneAreRefusedAndTheSceneStays) {
  WriteWhitePicture();
  std::vector<bool> taken;
  Run(40, [&](int frame) {
    if (frame == 30) {
      for (int id : {3, -1, 100}) taken.push_back(g_sceneManager->ChangeScene(id));
    }
  });
  EXPECT_EQ(taken, std::vector<bool>({false, false, false}));
  for (int f = 30; f < 40; ++f) {
    EXPECT_FALSE(after[f].fading) << f;
    EXPECT_EQ(after[f].sceneId, 0) << f;
    EXPECT_EQ(after[f].scene, after[29].scene);
  }
  EXPECT_EQ(g_sceneManager, nullptr);  // and Shutdown still went as usual
}

TEST_F(SceneFlowTest, TheSceneClockStandsStillWhileFadingAndWaveFollowsIt) {
  WriteWhitePicture();
  float waveAt35 = 0.0f;
  int countAt35 = 0;
  Run(80, [&](int frame) {
    PressEnterAt(40, frame);
    if (frame == 35) {
      waveAt35 = Wave(2.0f, 0.3f);
      countAt35 = g_sceneManager->current->frameCount;
    }
  });
  // Still during the title's fade-in; counting from the first idle frame (25).
  for (int f = 0; f < 25; ++f) EXPECT_EQ(after[f].frameCount, 0) << f;
  for (int f = 25; f < 40; ++f) EXPECT_EQ(after[f].frameCount, f - 24) << f;
  // Still again from the request on (Enter is read in frame 40, before it is drawn).
  for (int f = 40; f < 80; ++f) EXPECT_EQ(after[f].frameCount, 15) << f;
  // Wave's default time is the scene's clock (10 after frame 34).
  EXPECT_EQ(countAt35, 10);
  EXPECT_FLOAT_EQ(waveAt35, 2.0f * std::sin(0.3f * 10));
}

// Builds a result scene only after the main thread has drawn a number of loading frames.
int g_framesToWaitFor = 0;
CScene* SlowBuilder(int) {
  while (g_sceneManager->loadingFrames.load() < g_framesToWaitFor) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return new SResult();
}

TEST_F(SceneFlowTest, LoadingFramesAreDrawnUntilTheLoaderHasBuiltTheScene) {
  WriteWhitePicture();
  WriteLoadingPicture();
  g_framesToWaitFor = 12;
  CSceneManager::sceneBuilder = SlowBuilder;
  int loadingAtStart = 0;
  Run(90, [&](int frame) {
    if (frame == 0) loadingAtStart = g_sceneManager->loadingFrames.load();
    if (frame == 30) g_sceneManager->ChangeScene(SCENE_RESULT);
  });
  EXPECT_GE(loadingAtStart, 12);  // the first scene, built during start-up
  EXPECT_GE(after[81].loadingFrames, 12);
  EXPECT_EQ(after[81].sceneId, 2);
}

// A loader that builds at once ends the wait with its own "done": nothing else
// sets the flag here. The main thread joins it, takes its scene, and clears the
// flag again for the next build.
TEST_F(SceneFlowTest, ALoaderThatBuildsAtOnceEndsTheWaitWithItsOwnFlag) {
  WriteWhitePicture();
  g_builds = 0;
  CSceneManager::sceneBuilder = CountingBuilder;
  bool flagBeforeChange = true, flagAfterChange = true;
  Run(100, [&](int frame) {
    if (frame == 30) {
      flagBeforeChange = g_loadFlag->Get();
      g_sceneManager->ChangeScene(SCENE_RESULT);
    }
    if (frame == 90) flagAfterChange = g_loadFlag->Get();
  });
  EXPECT_FALSE(flagBeforeChange);
  EXPECT_FALSE(flagAfterChange);
  EXPECT_EQ(g_builds, 2);  // the title at start-up, then the result
  EXPECT_EQ(after[81].sceneId, 2);
  EXPECT_NE(after[81].scene, nullptr);
}

}  // namespace
}  // namespace scene_test
