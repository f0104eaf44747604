#include "scene/Result.h"

#include "camera/Camera.h"

SResult::SResult() { camera = new CCamera(); }

SResult::~SResult() = default;

void SResult::Release() {}
