// The flag by which the loader thread says that the next scene is built. The
// main thread polls it between loading frames; its mutex is the only lock the
// game has.
#pragma once
#include <mutex>

class CLoadFlag {
 public:
  bool Get();
  void Set(bool value);

 private:
  std::mutex mutex;
  bool ready = false;
};

// The flag of the running game, created at start-up before the scene manager.
extern CLoadFlag* g_loadFlag;
