// Stand-in for <windows.h>: the Win32 subset the game calls, over SDL2.
#pragma once
#include "glomp/wintypes.h"
#include "glomp/win32api.h"
