#include "chara/Slime.h"
void CSlime::Update() {}
void CSlime::Move() {}
void CSlime::RideObject() {}
void CSlime::CollideWalls() {}
void CSlime::CollideGround() {}
void CSlime::CollideCeiling() {}
void CSlime::CollideBones(BoneNode*) {}
