#include "message/MessageSupport.h"

#include "app/Application.h"
#include "app/Keyboard.h"
#include "app/SoundManager.h"
#include "common/RunningScene.h"
#include "render/ResourceCache.h"

namespace message_support {

namespace {
constexpr int kEnterSlot = 10;
constexpr int kButtonSound = 3;
constexpr int kRestart = 1;
}  // namespace

CTexture* CachedTexture(const char* fileName) {
  return g_resourceCache ? g_resourceCache->GetTexture(fileName) : nullptr;
}

float ClientWidth() { return static_cast<float>(CApplication::GetInstance().clientWidth); }

float ClientHeight() { return static_cast<float>(CApplication::GetInstance().clientHeight); }

bool EnterPressed() { return g_keyboard && g_keyboard->state[kEnterSlot] == KEY_PRESSED; }

bool EnterDown() { return g_keyboard && g_keyboard->IsDown(kEnterSlot); }

void PlayButtonSound() {
  if (g_soundManager) g_soundManager->Play(kButtonSound, kRestart);
}

int SceneFrame() {
  const RunningScene* scene = CurrentScene();
  return scene ? scene->FrameCount() : 0;
}

}  // namespace message_support
