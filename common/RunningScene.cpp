#include "common/RunningScene.h"

#include <atomic>

namespace {
std::atomic<RunningScene*> runningScene{nullptr};
}  // namespace

void SetRunningScene(RunningScene* scene) { runningScene.store(scene, std::memory_order_release); }

RunningScene* CurrentScene() { return runningScene.load(std::memory_order_acquire); }
