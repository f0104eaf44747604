// One frame of a slime's collision queries on the game stage: the nearby-object
// query, then 32 ray tests against every candidate (four wall rays, the ground
// and ceiling rays, and one ray per soft-body bone of the 3 × 3 × 3 lattice),
// with the face-alpha and face-normal look-ups the hits lead to.
// Runs in the build directory, where data/ holds the game's content.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/GraphicsDevice.h"
#include "render/ResourceCache.h"
#include "stage/Stage.h"

namespace {

struct Spot {
  const char* name;
  D3DXVECTOR3 position;
};

// Places along the route where a slime stands (position 0.5 below the surface).
const Spot kSpots[] = {
    {"start_pad", D3DXVECTOR3(0.0f, 0.0f, 145.0f)},
    {"pond_stones", D3DXVECTOR3(-35.0f, 9.5f, 146.0f)},
    {"moving_block", D3DXVECTOR3(-67.5f, 29.5f, 145.0f)},
    {"goal", D3DXVECTOR3(-134.0f, 65.5f, 129.0f)},
};

// The 32 ray directions of one frame.
std::vector<D3DXVECTOR3> RayDirections() {
  std::vector<D3DXVECTOR3> directions = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0},
                                         {0, -1, 0}, {0, 1, 0}};
  for (int x = -1; x <= 1; ++x) {
    for (int y = -1; y <= 1; ++y) {
      for (int z = -1; z <= 1; ++z) {
        if (x == 0 && y == 0 && z == 0) continue;
        D3DXVECTOR3 d{float(x), float(y), float(z)};
        D3DXVec3Normalize(&d, &d);
        directions.push_back(d);
      }
    }
  }
  return directions;
}

// The device, cache and game stage, made once for all benchmarks.
struct World {
  World() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 64;
    params.BackBufferHeight = 64;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (!d3d || FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING, &params,
                                         &device))) {
      std::fprintf(stderr, "no Direct3D device\n");
      std::exit(1);
    }
    CGraphicsDevice::GetInstance().device = device;
    g_resourceCache = new CResourceCache;
    // The loader echoes every column on standard output: send it to /dev/null.
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    stage = new CStage(STAGE_FILE_GAME);
    std::fflush(stdout);
    if (savedOut >= 0) dup2(savedOut, STDOUT_FILENO);
    if (null >= 0) close(null);
    if (savedOut >= 0) close(savedOut);
    if (stage->objects->Objects().empty()) {
      std::fprintf(stderr, "the game stage is empty: run in the build directory\n");
      std::exit(1);
    }
  }
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  CStage* stage = nullptr;
};

World& TheWorld() {
  static World world;
  return world;
}

// One frame's queries; returns the number of hits so nothing is optimised away.
int CollisionFrame(const MapObjectList& list, const D3DXVECTOR3& position,
                   const std::vector<D3DXVECTOR3>& directions, int* candidates) {
  const std::vector<int> nearby = list.NearbyObjects(position, 100.0f);
  *candidates = int(nearby.size());
  const std::vector<MapObjectStruct*> objects = list.Objects();
  const D3DXVECTOR3 origin = position + D3DXVECTOR3(0, 1, 0);  // the slime's core
  int hits = 0;
  for (int index : nearby) {
    for (const D3DXVECTOR3& direction : directions) {
      float distance = 0;
      DWORD face = 0;
      if (list.RayTest(index, origin, direction, &distance, &face)) {
        ++hits;
        benchmark::DoNotOptimize(list.FaceAlpha(index, face));
        benchmark::DoNotOptimize(objects[std::size_t(index)]->faceNormals[face]);
      }
    }
  }
  return hits;
}

void BM_NearbyObjects(benchmark::State& state) {
  const MapObjectList& list = *TheWorld().stage->objects;
  const D3DXVECTOR3 position = kSpots[state.range(0)].position;
  for (auto _ : state) benchmark::DoNotOptimize(list.NearbyObjects(position, 100.0f));
  state.SetLabel(kSpots[state.range(0)].name);
  state.counters["candidates"] = double(list.NearbyObjects(position, 100.0f).size());
  state.counters["objects"] = double(list.Objects().size());
}
BENCHMARK(BM_NearbyObjects)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_CollisionFrame(benchmark::State& state) {
  const MapObjectList& list = *TheWorld().stage->objects;
  const D3DXVECTOR3 position = kSpots[state.range(0)].position;
  const std::vector<D3DXVECTOR3> directions = RayDirections();
  int candidates = 0, hits = 0;
  for (auto _ : state) {
    hits = CollisionFrame(list, position, directions, &candidates);
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel(kSpots[state.range(0)].name);
  state.counters["candidates"] = candidates;
  state.counters["rays"] = double(candidates) * double(directions.size());
  state.counters["hits"] = hits;
}
BENCHMARK(BM_CollisionFrame)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
