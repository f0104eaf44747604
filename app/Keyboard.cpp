#include "app/Keyboard.h"

CKeyboard* g_keyboard = nullptr;

namespace {
// The same physical key may sit in several slots; each slot has its own state.
constexpr signed char kSlotKeys[CKeyboard::kSlotCount] = {
    VK_ESCAPE, 'W',      'S',       'A',      'D',    VK_UP,   VK_DOWN,  VK_LEFT,
    VK_RIGHT,  VK_SPACE, VK_RETURN, VK_LEFT,  VK_RIGHT, 'Q',   'E',      VK_UP,
    VK_DOWN,   VK_SPACE, VK_F1,     VK_F2,    VK_F3,  VK_F4,
};
// F1 to F4 are polled but always read as up: nothing in the game may react to them.
constexpr int kFirstSilencedSlot = 18;
}  // namespace

CKeyboard::CKeyboard() {
  for (int i = 0; i < kSlotCount; ++i) {
    keys[i] = kSlotKeys[i];
    state[i] = KEY_UP;
  }
}

void CKeyboard::Update() {
  for (int i = 0; i < kSlotCount; ++i) {
    const bool down = (GetAsyncKeyState(keys[i]) & 0x8000) != 0;
    const bool wasDown = state[i] == KEY_PRESSED || state[i] == KEY_HELD;
    if (down) {
      state[i] = wasDown ? KEY_HELD : KEY_PRESSED;
    } else {
      state[i] = wasDown ? KEY_RELEASED : KEY_UP;
    }
    if (i >= kFirstSilencedSlot) state[i] = KEY_UP;
  }
}

bool CKeyboard::IsDown(int slot) const {
  if (slot < 0 || slot >= kSlotCount) return false;
  return state[slot] == KEY_PRESSED || state[slot] == KEY_HELD;
}

bool SlotDown(int slot) { return g_keyboard && g_keyboard->IsDown(slot); }

bool SlotPressed(int slot) {
  return g_keyboard && slot >= 0 && slot < CKeyboard::kSlotCount &&
         g_keyboard->state[slot] == KEY_PRESSED;
}
