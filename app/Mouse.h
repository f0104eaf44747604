// Mouse polling: horizontal movement per frame, measured from a fixed centre
// to which the hidden cursor is pulled back after every reading.
#pragma once
#include <windows.h>

class CMouse {
 public:
  // Centres the cursor in the application window's client area and hides it.
  CMouse();
  // Reads this frame's horizontal movement into dx and re-centres the cursor.
  void Update();

  POINT cursor;  // cursor position read this frame, screen coordinates
  POINT centre;  // screen position of the client point (640, 360), fixed at construction
  int dx;        // horizontal movement this frame in pixels, right positive
};

extern CMouse* g_mouse;
