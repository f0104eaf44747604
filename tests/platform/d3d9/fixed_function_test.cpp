// Texture stage 0 and the alpha test of the fixed-function emulation, drawn
// with the programs made for each state combination: what each operation and
// argument gives, and that a program made for one combination is never used
// for another.
#include "platform/d3d9/device_fixture.h"
#include "platform/d3d9/gl_device.h"

namespace glomp::test {
namespace {

struct StageCase {
  const char* what;
  DWORD colorOp, colorArg1, colorArg2;
  DWORD alphaOp, alphaArg1, alphaArg2;
  D3DCOLOR diffuse, textureFactor;
  int r, g, b;
};

class FixedFunctionTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_NE(device_, nullptr);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  }
  void SetStage(const StageCase& c) {
    device_->SetTextureStageState(0, D3DTSS_COLOROP, c.colorOp);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, c.colorArg1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, c.colorArg2);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, c.alphaArg1);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, c.alphaArg2);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, c.textureFactor);
  }
  // Draws the case into the left half of the back buffer and reads its middle.
  Pixel Draw(const StageCase& c) {
    SetStage(c);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    FillRect(0, 0, 32, 48, c.diffuse);
    return BackBufferAt(16, 24);
  }
};

// Diffuse (0.8, 0.4, 0.2), texture factor (0.2, 0.2, 0.6); no texture, so
// D3DTA_TEXTURE reads white.
const StageCase kCases[] = {
    {"the diffuse colour alone", D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTOP_SELECTARG1,
     D3DTA_DIFFUSE, D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 204, 102, 51},
    {"the texture factor alone", D3DTOP_SELECTARG2, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTOP_SELECTARG1,
     D3DTA_DIFFUSE, D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 51, 51, 153},
    {"a missing texture is white", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,
     D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFFCC6633, 0xFF333399, 204, 102, 51},
    {"sum, clamped", D3DTOP_ADD, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_DIFFUSE,
     D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 255, 153, 204},
    {"difference, clamped", D3DTOP_SUBTRACT, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTOP_SELECTARG1,
     D3DTA_DIFFUSE, D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 153, 51, 0},
    {"twice the product", D3DTOP_MODULATE2X, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTOP_SELECTARG1,
     D3DTA_DIFFUSE, D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 82, 41, 61},
    {"the complement", D3DTOP_SELECTARG1, D3DTA_DIFFUSE | D3DTA_COMPLEMENT, D3DTA_TFACTOR,
     D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 51, 153, 204},
    {"alpha replicated", D3DTOP_SELECTARG1, D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE, D3DTA_TFACTOR,
     D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_TFACTOR, 0x80CC6633, 0xFF333399, 128, 128, 128},
    {"smooth sum", D3DTOP_ADDSMOOTH, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_DIFFUSE,
     D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 214, 133, 173},
    {"a disabled stage passes the diffuse colour", D3DTOP_DISABLE, D3DTA_TFACTOR, D3DTA_TFACTOR,
     D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_TFACTOR, 0xFFCC6633, 0xFF333399, 204, 102, 51},
};

TEST_F(FixedFunctionTest, EachOperationGivesItsColour) {
  for (const StageCase& c : kCases) {
    const Pixel p = Draw(c);
    EXPECT_TRUE(Near(p, c.r, c.g, c.b, 3))
        << c.what << ": got " << p.r << ", " << p.g << ", " << p.b;
  }
}

TEST_F(FixedFunctionTest, AProgramIsMadeOncePerCombinationAndOnlyUsedForIt) {
  const StageCase& sum = kCases[3];
  const StageCase& difference = kCases[4];
  Draw(sum);
  const std::size_t afterFirst = d3d9::FixedFunctionProgramCount(device_);
  EXPECT_GE(afterFirst, 1u);
  // Back and forth: every draw shows its own operation, and the second round
  // makes no new programs.
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(Near(Draw(sum), 255, 153, 204, 3)) << "round " << round;
    EXPECT_TRUE(Near(Draw(difference), 153, 51, 0, 3)) << "round " << round;
  }
  EXPECT_EQ(d3d9::FixedFunctionProgramCount(device_), afterFirst + 1);
  // A texture factor change is a value, not a new combination.
  StageCase brighter = sum;
  brighter.textureFactor = 0xFF000000;
  EXPECT_TRUE(Near(Draw(brighter), 204, 102, 51, 3));
  EXPECT_EQ(d3d9::FixedFunctionProgramCount(device_), afterFirst + 1);
}

TEST_F(FixedFunctionTest, AlphaTestDropsThePixelsThatFailIt) {
  const StageCase& diffuse = kCases[0];
  SetStage(diffuse);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
  struct Case {
    DWORD func;
    bool keepsLow, keepsHigh;  // alpha 0x40 and 0xC0 against 0x80
  } cases[] = {{D3DCMP_GREATER, false, true}, {D3DCMP_LESS, true, false},
               {D3DCMP_NEVER, false, false}, {D3DCMP_ALWAYS, true, true},
               {D3DCMP_NOTEQUAL, true, true}, {D3DCMP_EQUAL, false, false}};
  for (const Case& c : cases) {
    device_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    FillRect(0, 0, 32, 48, 0x40FF0000);
    FillRect(32, 0, 64, 48, 0xC000FF00);
    EXPECT_EQ(BackBufferAt(16, 24).r > 128, c.keepsLow) << "func " << c.func;
    EXPECT_EQ(BackBufferAt(48, 24).g > 128, c.keepsHigh) << "func " << c.func;
  }
  // With the test off again every pixel is drawn, whatever the function says.
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_NEVER);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  FillRect(0, 0, 32, 48, 0x40FF0000);
  EXPECT_GT(BackBufferAt(16, 24).r, 128);
}

}  // namespace
}  // namespace glomp::test
