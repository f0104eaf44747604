// Shared setup for the slime tests: the scene the characters see (its clock is
// the one Wave reads), and lookups of bones by their Shift-JIS names.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "chara/Slime.h"
#include "common/Helpers.h"
#include "support/fake_scene.h"

namespace chara_test {

// Words by their meaning, for readable bone names.
namespace w = slime_words;

// Bones by name, and the translations of their matrices.
inline CSlime::BoneNode* Bone(const CSlime& slime, const std::string& name) {
  return slime.meshObject.FindBone(name);
}
inline const CSlime::BonePoint& Point(const CSlime& slime, const std::string& name) {
  return slime.bonePoints.at(Bone(slime, name)->frame->index);
}
inline D3DXVECTOR3 Local(const CSlime::BoneNode* node) {
  return D3DXVECTOR3(node->localMatrix._41, node->localMatrix._42, node->localMatrix._43);
}
inline D3DXVECTOR3 Rest(const CSlime::BoneNode* node) {
  const D3DXMATRIX& m = node->frame->TransformationMatrix;
  return D3DXVECTOR3(m._41, m._42, m._43);
}
inline D3DXVECTOR3 WorldOf(const CSlime::BoneNode* node) {
  return D3DXVECTOR3(node->combinedMatrix._41, node->combinedMatrix._42,
                     node->combinedMatrix._43);
}

class SlimeTest : public ::testing::Test {
 protected:
  FakeScene scene_;  // the running scene while the test lives
};

}  // namespace chara_test
