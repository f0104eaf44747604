// Stand-in for <mmsystem.h>: the multimedia timer and the mmio file functions.
#pragma once
#include "glomp/wintypes.h"
#include "glomp/mmtimer.h"
#include "glomp/mmio.h"
