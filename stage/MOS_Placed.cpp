// Construction of the title flag and of the gates.
#include "render/ResourceCache.h"
#include "stage/MOS_Flag.h"
#include "stage/MOS_Gate.h"

namespace {

CTexture* CachedTexture(const char* fileName) {
  return g_resourceCache ? g_resourceCache->GetTexture(fileName) : nullptr;
}

float FirstRowLength(const D3DXMATRIX& m) {
  const D3DXVECTOR3 row(m._11, m._12, m._13);
  return D3DXVec3Length(&row);
}

constexpr char kReachedFlagPicture[] = "data/texture/flag2.png";
constexpr char kWaitingFlagPicture[] = "data/texture/flag.png";

}  // namespace

MOS_Flag::MOS_Flag(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText)
    : MapObjectStruct(model, world, kindText, WithoutFaceNormals{}),
      radius(FirstRowLength(world)),
      reachedTexture(CachedTexture(kReachedFlagPicture)),
      waitingTexture(CachedTexture(kWaitingFlagPicture)),
      currentTexture(waitingTexture),
      wave{},
      pulse(0.5f),
      colour{0.0f, 1.0f, 1.0f, 1.0f} {
  state = false;
}

MOS_Gate::MOS_Gate(CStaticMesh* model, const D3DXMATRIX& world, const std::string& kindText,
                   int direction)
    : MapObjectStruct(model, world, kindText, WithoutFaceNormals{}),
      reverse(direction > 0),
      turned(0.0f),
      wobbleFrames(30) {
  BuildFaceNormals();
}
