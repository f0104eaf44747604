// D3DX vectors, matrices, quaternions, colours and their functions.
#pragma once
#include "glomp/d3dbasetypes.h"
