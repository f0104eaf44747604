// Keyframed animation sets and the controller that holds them, as the X-file loader fills them.
#pragma once
#include <d3dx9anim.h>

#include <string>
#include <vector>

namespace glomp::d3dx {

struct AnimationKeys {
  std::string target;  // name of the animated frame
  std::vector<D3DXKEY_QUATERNION> rotation;
  std::vector<D3DXKEY_VECTOR3> scale;
  std::vector<D3DXKEY_VECTOR3> translation;
};

struct AnimationSetData {
  std::string name;
  double ticksPerSecond = 4800.0;
  std::vector<AnimationKeys> animations;
};

// A controller holding the sets in the given order; null when out of memory.
ID3DXAnimationController* CreateAnimationController(std::vector<AnimationSetData> sets);

}  // namespace glomp::d3dx
