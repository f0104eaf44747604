// Stand-in for <d3dx9.h>: the D3DX 9 utility library subset the game calls.
#pragma once
#include <d3d9.h>
#include "d3dx9math.h"
#include "d3dx9core.h"
#include "d3dx9tex.h"
#include "d3dx9mesh.h"
#include "d3dx9anim.h"
#include "d3dx9effect.h"
