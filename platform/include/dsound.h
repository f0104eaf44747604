// Stand-in for <dsound.h>: the DirectSound 8 subset the game calls, over OpenAL Soft.
#pragma once
#include "glomp/wintypes.h"
#include <mmsystem.h>
