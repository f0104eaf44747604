#include "chara/CharaLinks.h"

#include <atomic>

namespace {
std::atomic<CharaSceneSource> sceneSource{nullptr};
}  // namespace

void SetCharaSceneSource(CharaSceneSource source) {
  sceneSource.store(source, std::memory_order_release);
}

CharaSceneView CurrentCharaScene() {
  const CharaSceneSource source = sceneSource.load(std::memory_order_acquire);
  return source ? source() : CharaSceneView{};
}
