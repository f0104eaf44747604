// Multimedia timer: timeGetTime, timeBeginPeriod.
#pragma once
#include "glomp/wintypes.h"
