// Keyboard polling: 22 key slots, each with press and release edges.
#pragma once
#include <windows.h>

// Key states of a slot.
enum KeyState {
  KEY_UP = 0,        // not down
  KEY_PRESSED = 1,   // went down this frame
  KEY_HELD = 2,      // down this frame and the previous one
  KEY_RELEASED = 3,  // went up this frame
};

class CKeyboard {
 public:
  static constexpr int kSlotCount = 22;

  CKeyboard();
  // Polls every slot once; called once per frame by the main loop.
  void Update();
  // True when the slot's key is pressed or held; false for a slot out of range.
  bool IsDown(int slot) const;

  signed char keys[kSlotCount];  // virtual-key code of each slot
  int state[kSlotCount];         // KeyState of each slot
};

extern CKeyboard* g_keyboard;

// The process keyboard's slot is pressed or held / went down this frame; false
// without a keyboard or for a slot out of range.
bool SlotDown(int slot);
bool SlotPressed(int slot);
