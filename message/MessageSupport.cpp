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

bool EnterPressed() { return SlotPressed(kEnterSlot); }

bool EnterDown() { return SlotDown(kEnterSlot); }

void PlayButtonSound() {
  RequestSound(kButtonSound, kRestart);
}

int SceneFrame() {
  const RunningScene* scene = CurrentScene();
  return scene ? scene->FrameCount() : 0;
}

}  // namespace message_support
