// Test support: a sound manager on the in-memory sound device, so that the
// play and stop requests a frame posts can be read before they are carried out.
#pragma once
#include <gtest/gtest.h>

#include "app/Sound.h"
#include "app/SoundManager.h"
#include "glomp/soundmix.h"

namespace glomp::test {

class SoundRequests {
 public:
  // The sound table without files: every sound is silent but takes requests.
  SoundRequests() {
    glomp::UseMemorySoundDevice(true);
    g_soundManager = new CSoundManager(nullptr);
    g_soundManager->Load();
  }
  ~SoundRequests() {
    delete g_soundManager;
    g_soundManager = nullptr;
    glomp::UseMemorySoundDevice(false);
  }
  SoundRequests(const SoundRequests&) = delete;
  SoundRequests& operator=(const SoundRequests&) = delete;

  // Whether this frame asked to play sound `id` in `mode` / to stop it.
  static bool Played(int id, int mode) {
    const CSound* sound = g_soundManager->GetSound(id);
    return sound && sound->Request() == SOUND_REQUEST_PLAY && sound->Mode() == mode;
  }
  static bool Stopped(int id) {
    const CSound* sound = g_soundManager->GetSound(id);
    return sound && sound->Request() == SOUND_REQUEST_STOP;
  }
  // Carries out this frame's requests, as the main loop does after the update.
  static void EndFrame() { g_soundManager->Update(); }
};

}  // namespace glomp::test
