// Feeds arbitrary bytes to the stage loader as the game stage file: the game's
// CStage reads "./data/csv/model3.csv" against our real models (the scratch
// folder links the run directory's data/model and data/texture), then runs the
// objects it built for some frames of the game scene — moving blocks, gates,
// checkpoints, water and flags — and asks the collision questions the slime asks.
// Any row must give an object or be skipped; the stage must never crash.
#include <cstdlib>
#include <filesystem>

#include "fuzz_support.h"
#include "render/ResourceCache.h"
#include "stage/MapObjectList.h"
#include "stage/Stage.h"
#include "tests/support/fake_scene.h"

namespace {

constexpr int kFrames = 40;
// Names the fuzzer invents each stay in the cache as an empty model; after this
// many inputs the cache starts afresh (and loads the real models again, which
// takes seconds: done more often, it would be a good part of the fuzzer's time),
// so memory stays bounded over millions of inputs.
constexpr std::size_t kCacheRefresh = 32768;

// The running scene the objects read: the game scene, its clock and this stage.
FakeScene* g_scene = nullptr;

// data/model, data/texture and Shader/ of the run directory the fuzzer starts in.
void LinkContent(const std::filesystem::path& runDirectory) {
  namespace fs = std::filesystem;
  fs::create_directories("data/csv");
  for (const char* folder : {"data/model", "data/texture", "data/Texture", "Shader"}) {
    std::error_code ignored;
    if (fs::exists(runDirectory / folder)) fs::create_directory_symlink(runDirectory / folder, folder, ignored);
  }
}

std::size_t g_inputsSinceRefresh = 0;

void RefreshCacheNowAndThen() {
  if (g_resourceCache && ++g_inputsSinceRefresh < kCacheRefresh) return;
  delete g_resourceCache;
  g_resourceCache = new CResourceCache;
  g_inputsSinceRefresh = 0;
}

void AskCollisionQuestions(const MapObjectList& list) {
  const D3DXVECTOR3 points[] = {{0, 0, 145}, {-57, 14.5f, 145}, {-130, 63, 125}, {0, 0, 0}};
  const D3DXVECTOR3 down(0, -1, 0), side(1, 0, 0);
  for (const D3DXVECTOR3& point : points) {
    for (int index : list.NearbyObjects(point, 30.0f)) {
      float distance = 0;
      DWORD face = 0;
      if (list.RayTest(index, point, down, &distance, &face)) list.FaceAlpha(index, face);
      if (list.RayTest(index, point, side, &distance, &face)) list.FaceAlpha(index, face);
    }
  }
  list.FaceAlpha(-1, 0);
  list.FaceAlpha(int(list.Objects().size()), 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::filesystem::path runDirectory = std::filesystem::current_path();
  fuzzing::EnterScratchFolder("stage");
  LinkContent(runDirectory);
  if (!fuzzing::SharedDevice()) std::abort();
  fuzzing::SilenceStandardStreams();
  g_scene = new FakeScene();  // lives as long as the fuzzer
  g_scene->sceneId = kSceneGame;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!fuzzing::WriteInput(StageFilePath(STAGE_FILE_GAME), data, size)) return 0;
  RefreshCacheNowAndThen();

  CStage stage(STAGE_FILE_GAME);
  g_scene->stage = &stage;
  D3DXMATRIX burst;
  D3DXMatrixTranslation(&burst, -57, 14.5f, 145);
  stage.AddEffect(burst);
  for (int frame = 0; frame < kFrames; ++frame) {
    g_scene->frameCount = frame;
    stage.Update();
  }
  AskCollisionQuestions(*stage.objects);
  g_scene->stage = nullptr;
  return 0;
}
