#include "scene/LoadFlag.h"

CLoadFlag* g_loadFlag = nullptr;

bool CLoadFlag::Get() {
  std::lock_guard<std::mutex> lock(mutex);
  return ready;
}

void CLoadFlag::Set(bool value) {
  std::lock_guard<std::mutex> lock(mutex);
  ready = value;
}
