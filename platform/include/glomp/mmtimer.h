// Multimedia timer: timeGetTime, timeBeginPeriod.
#pragma once
#include "glomp/wintypes.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

// Milliseconds since the system started (here: since the first use), wrapping at 2^32.
DWORD timeGetTime();
// Requests a timer resolution; accepted for 1 ms and more.
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
