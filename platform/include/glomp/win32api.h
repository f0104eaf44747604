// Win32 window, message, message-box, keyboard, cursor and clock functions.
#pragma once
#include "glomp/wintypes.h"
