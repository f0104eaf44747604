#include "chara/CharaBase.h"

CharaBase::CharaBase() : position(0, 0, 0), velocity(0, 0, 0), angles(0, 0, 0) {
  D3DXMatrixIdentity(&world);
}
