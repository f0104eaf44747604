// CPU time of one slime step on the game stage: riding, moving, the wall,
// ground and ceiling rays, and the soft body with its bone rays. Runs in the
// build directory, where the stage and the slime model are generated.
#include <benchmark/benchmark.h>

#include <iostream>
#include <sstream>

#include "chara/Slime.h"
#include "common/Helpers.h"
#include "render/ResourceCache.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"
#include "tests/support/fake_scene.h"

namespace {


// The player's start: (0, 0, 145), facing -x, walking forward and a little sideways.
void StartSlime(CSlime& slime) {
  D3DXMatrixRotationY(&slime.world, -D3DX_PI / 2);
  slime.PlaceAt(D3DXVECTOR3(0, 0, 145));
}

void BM_SlimeStep(benchmark::State& state) {
  // The loader echoes every cell of the stage file; keep it out of the report.
  CResourceCache cache;
  g_resourceCache = &cache;
  std::ostringstream echo;
  std::streambuf* out = std::cout.rdbuf(echo.rdbuf());
  CStage gameStage(new MapObjectList(STAGE_FILE_GAME));
  std::cout.rdbuf(out);
  const MapObjectList& stage = *gameStage.objects;
  FakeScene scene;  // the game scene in play
  scene.stage = &gameStage;
  CSlime slime;
  StartSlime(slime);
  int steps = 0;
  int grounded = 0;
  for (auto _ : state) {
    // A walk that turns about every two seconds, started again now and then so
    // that the slime stays on the stage.
    if (++steps % 600 == 0) {
      state.PauseTiming();
      slime.Reset();
      StartSlime(slime);
      state.ResumeTiming();
    }
    ++scene.frameCount;
    slime.velocity.z = 0.2f;
    slime.velocity.x = (steps / 120) % 2 ? 0.2f : 0.0f;
    slime.RideObject();
    slime.Move();
    slime.Update();
    grounded += slime.onGround;
    benchmark::DoNotOptimize(slime.position);
  }
  state.counters["grounded"] = static_cast<double>(grounded) / steps;
  state.counters["objects"] = static_cast<double>(stage.Objects().size());
  state.counters["nearby"] =
      static_cast<double>(stage.NearbyObjects(slime.position, CSlime::kNearbyRadius).size());
  slime.Release();
  g_resourceCache = nullptr;
}
BENCHMARK(BM_SlimeStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
