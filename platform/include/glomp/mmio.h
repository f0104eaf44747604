// mmio file functions for reading RIFF files.
#pragma once
#include "glomp/wintypes.h"
