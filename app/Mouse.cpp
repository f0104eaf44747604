#include "app/Mouse.h"

#include "app/Application.h"

CMouse* g_mouse = nullptr;

CMouse::CMouse() : cursor{}, centre{640, 360}, dx(0) {
  ClientToScreen(CApplication::GetInstance().window, &centre);
  SetCursorPos(centre.x, centre.y);
  GetCursorPos(&cursor);
  ShowCursor(FALSE);
}

void CMouse::Update() {
  GetCursorPos(&cursor);
  dx = cursor.x - centre.x;  // vertical movement is not used
  SetCursorPos(centre.x, centre.y);
}
