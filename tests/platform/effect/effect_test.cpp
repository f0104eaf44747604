// Effects drawn through the device: parameters reach the shaders, passes and
// their render states, unknown names, bad files and compiler messages, and
// effects created away from the GL thread.
#include <d3dx9.h>

#include <fstream>
#include <string>
#include <thread>

#include "platform/tex/test_device.h"

namespace {

// A full-target quad in pretransformed pixels with texture coordinates.
struct ScreenVertex {
  float x, y, z, rhw, u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;

// Shared header of the test effects: a pretransformed vertex shader and
// fragment shaders that output a parameter, a texture, or a fixed blue.
const char* const kEffect = R"(// test effect
@parameter float4 Color = 0 0 0 1
@parameter float4x4 mW
@parameter float Scale = 1
@parameter texture Tex clamp point
@parameter int Mode
@parameter bool Flag

@glsl common
vec4 Tint(vec4 c) { return vec4(c.rgb * Scale, c.a); }

@glsl vertex ScreenVS
out vec2 uv;
void main() {
  uv = inTexCoord;
  gl_Position = PretransformedPosition();
}

@glsl vertex WorldVS
void main() { gl_Position = mW * inPosition; }

@glsl fragment ColorPS
void main() { outColor0 = Tint(Color); }

@glsl fragment TexturePS
in vec2 uv;
void main() { outColor0 = texture(Tex, uv); }

@glsl fragment BluePS
void main() { outColor0 = vec4(0.0, 0.0, 1.0, 1.0); }

@glsl fragment ModePS
void main() { outColor0 = (Mode == 3 && Flag) ? vec4(1.0) : vec4(0.0, 0.0, 0.0, 1.0); }

@technique Plain
@pass P0 ScreenVS ColorPS

@technique TwoPasses
@pass Base ScreenVS ColorPS
@pass AddBlue ScreenVS BluePS
@state ALPHABLENDENABLE TRUE
@state SRCBLEND ONE
@state DESTBLEND D3DBLEND_ONE

@technique Textured
@pass P0 ScreenVS TexturePS

@technique World
@pass P0 WorldVS ColorPS
@state CULLMODE NONE

@technique Modes
@pass P0 ScreenVS ModePS
)";

class EffectTest : public restest::DeviceTest {
 protected:
  void SetUp() override {
    restest::DeviceTest::SetUp();
    if (HasFatalFailure()) return;
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  }
  void TearDown() override {
    if (effect_) effect_->Release();
    restest::DeviceTest::TearDown();
  }

  HRESULT Create(const std::string& text, std::string* errors = nullptr) {
    ID3DXBuffer* buffer = nullptr;
    const HRESULT hr = D3DXCreateEffect(device_, text.data(), UINT(text.size()), nullptr,
                                        nullptr, 0, nullptr, &effect_, &buffer);
    if (buffer) {
      if (errors) *errors = static_cast<const char*>(buffer->GetBufferPointer());
      buffer->Release();
    }
    return hr;
  }

  void Clear(D3DCOLOR colour) { device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0); }

  void DrawScreenQuad() {
    const float w = kWidth, h = kHeight;
    const ScreenVertex quad[4] = {
        {0, 0, 0, 1, 0, 0}, {w, 0, 0, 1, 1, 0}, {0, h, 0, 1, 0, 1}, {w, h, 0, 1, 1, 1}};
    device_->SetFVF(kScreenFvf);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
  }

  // Runs every pass of the current technique over the whole target.
  void DrawAllPasses() {
    UINT passes = 0;
    ASSERT_EQ(effect_->Begin(&passes, 0), S_OK);
    device_->BeginScene();
    for (UINT p = 0; p < passes; ++p) {
      ASSERT_EQ(effect_->BeginPass(p), S_OK);
      DrawScreenQuad();
      ASSERT_EQ(effect_->EndPass(), S_OK);
    }
    device_->EndScene();
    ASSERT_EQ(effect_->End(), S_OK);
  }

  ID3DXEffect* effect_ = nullptr;
};

std::uint32_t Rgb(std::uint32_t argb) { return argb & 0xFFFFFFu; }

TEST_F(EffectTest, VectorParameterColoursTheQuad) {
  ASSERT_EQ(Create(kEffect), S_OK);
  ASSERT_EQ(effect_->SetTechnique("Plain"), S_OK);
  const D3DXVECTOR4 orange(1.0f, 0.5f, 0.0f, 1.0f);
  ASSERT_EQ(effect_->SetVector("Color", &orange), S_OK);
  Clear(0xFF000000);
  DrawAllPasses();
  const std::uint32_t pixel = BackBufferAt(kWidth / 2, kHeight / 2);
  EXPECT_EQ((pixel >> 16) & 255, 255u);
  EXPECT_NEAR(double((pixel >> 8) & 255), 128.0, 1.0);
  EXPECT_EQ(pixel & 255, 0u);
  // A float parameter from the common block takes part too.
  ASSERT_EQ(effect_->SetFloat("Scale", 0.0f), S_OK);
  DrawAllPasses();
  EXPECT_EQ(Rgb(BackBufferAt(3, 3)), 0u);
}

TEST_F(EffectTest, ValuesSetInsideAPassNeedCommitChanges) {
  ASSERT_EQ(Create(kEffect), S_OK);
  effect_->SetTechnique("Plain");
  const D3DXVECTOR4 red(1, 0, 0, 1), green(0, 1, 0, 1);
  effect_->SetVector("Color", &red);
  Clear(0xFF000000);
  effect_->Begin(nullptr, 0);
  effect_->BeginPass(0);
  effect_->SetVector("Color", &green);
  DrawScreenQuad();
  EXPECT_EQ(Rgb(BackBufferAt(5, 5)), 0xFF0000u);  // not committed yet
  ASSERT_EQ(effect_->CommitChanges(), S_OK);
  DrawScreenQuad();
  EXPECT_EQ(Rgb(BackBufferAt(5, 5)), 0x00FF00u);
  effect_->EndPass();
  effect_->End();
  EXPECT_EQ(effect_->CommitChanges(), D3DERR_INVALIDCALL);  // outside a pass
}

TEST_F(EffectTest, TwoPassesWithTheirStatesAndStatesRestored) {
  ASSERT_EQ(Create(kEffect), S_OK);
  ASSERT_EQ(effect_->SetTechnique("TwoPasses"), S_OK);
  D3DXTECHNIQUE_DESC desc{};
  ASSERT_EQ(effect_->GetTechniqueDesc(effect_->GetCurrentTechnique(), &desc), S_OK);
  EXPECT_EQ(desc.Passes, 2u);
  EXPECT_STREQ(desc.Name, "TwoPasses");
  const D3DXVECTOR4 red(1, 0, 0, 1);
  effect_->SetVector("Color", &red);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  Clear(0xFF000000);
  DrawAllPasses();
  EXPECT_EQ(Rgb(BackBufferAt(10, 10)), 0xFF00FFu);  // red, then blue added
  DWORD value = 0;
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, DWORD(FALSE));
  device_->GetRenderState(D3DRS_DESTBLEND, &value);
  EXPECT_EQ(value, DWORD(D3DBLEND_ZERO));
  // Without saving, the pass's states stay behind.
  UINT passes = 0;
  effect_->Begin(&passes, D3DXFX_DONOTSAVESTATE);
  effect_->BeginPass(1);
  effect_->EndPass();
  effect_->End();
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, DWORD(TRUE));
}

TEST_F(EffectTest, TextureParameterIsSampledAndTheStageRestored) {
  ASSERT_EQ(Create(kEffect), S_OK);
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                   nullptr),
            S_OK);
  D3DLOCKED_RECT locked{};
  texture->LockRect(0, &locked, nullptr, 0);
  static_cast<std::uint32_t*>(locked.pBits)[0] = 0xFF00FFFF;  // cyan left
  static_cast<std::uint32_t*>(locked.pBits)[1] = 0xFFFFFF00;  // yellow right
  texture->UnlockRect(0);
  ASSERT_EQ(effect_->SetTexture("Tex", texture), S_OK);
  IDirect3DBaseTexture9* before = nullptr;
  device_->SetTexture(0, nullptr);
  effect_->SetTechnique("Textured");
  Clear(0xFF000000);
  DrawAllPasses();
  EXPECT_EQ(Rgb(BackBufferAt(4, 20)), 0x00FFFFu);
  EXPECT_EQ(Rgb(BackBufferAt(kWidth - 4, 20)), 0xFFFF00u);
  device_->GetTexture(0, &before);
  EXPECT_EQ(before, nullptr);  // End put the stage back
  if (before) before->Release();
  IDirect3DBaseTexture9* held = nullptr;
  ASSERT_EQ(effect_->GetTexture("Tex", &held), S_OK);
  EXPECT_EQ(held, texture);
  held->Release();
  effect_->SetTexture("Tex", nullptr);
  texture->Release();
}

TEST_F(EffectTest, MatrixParameterPlacesTheGeometry) {
  ASSERT_EQ(Create(kEffect), S_OK);
  effect_->SetTechnique("World");
  // Clip space covers -1..1; scale x by 0.5 and move it left: only the left half.
  D3DXMATRIX scale, move, world;
  D3DXMatrixScaling(&scale, 0.5f, 1, 1);
  D3DXMatrixTranslation(&move, -0.5f, 0, 0);
  world = scale * move;
  ASSERT_EQ(effect_->SetMatrix("mW", &world), S_OK);
  D3DXMATRIX back;
  effect_->GetMatrix("mW", &back);
  EXPECT_EQ(back._41, -0.5f);
  const D3DXVECTOR4 white(1, 1, 1, 1);
  effect_->SetVector("Color", &white);
  struct V {
    float x, y, z;
  } quad[4] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {-1, -1, 0.5f}, {1, -1, 0.5f}};
  Clear(0xFF000000);
  effect_->Begin(nullptr, 0);
  effect_->BeginPass(0);
  device_->BeginScene();
  device_->SetFVF(D3DFVF_XYZ);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V));
  device_->EndScene();
  effect_->EndPass();
  effect_->End();
  EXPECT_EQ(Rgb(BackBufferAt(4, kHeight / 2)), 0xFFFFFFu);
  EXPECT_EQ(Rgb(BackBufferAt(kWidth - 4, kHeight / 2)), 0u);
}

TEST_F(EffectTest, IntsBoolsAndConversions) {
  ASSERT_EQ(Create(kEffect), S_OK);
  effect_->SetTechnique("Modes");
  ASSERT_EQ(effect_->SetInt("Mode", 3), S_OK);
  ASSERT_EQ(effect_->SetBool("Flag", TRUE), S_OK);
  Clear(0xFF000000);
  DrawAllPasses();
  EXPECT_EQ(Rgb(BackBufferAt(7, 7)), 0xFFFFFFu);
  effect_->SetBool("Flag", FALSE);
  DrawAllPasses();
  EXPECT_EQ(Rgb(BackBufferAt(7, 7)), 0u);

  // A 12-byte value into a float4 fills x, y, z; reading back sees it.
  const float camera[3] = {1, 2, 3};
  ASSERT_EQ(effect_->SetValue("Color", camera, sizeof camera), S_OK);
  D3DXVECTOR4 colour;
  effect_->GetVector("Color", &colour);
  EXPECT_EQ(colour.z, 3.0f);
  EXPECT_EQ(colour.w, 1.0f);  // untouched initial value
  EXPECT_EQ(effect_->SetValue("Color", camera, 64), D3DERR_INVALIDCALL);
  INT mode = 0;
  effect_->GetInt("Mode", &mode);
  EXPECT_EQ(mode, 3);
  float scale = 0;
  effect_->GetFloat("Scale", &scale);
  EXPECT_EQ(scale, 1.0f);  // initial value from the file
}

TEST_F(EffectTest, UnknownNamesAreNoOps) {
  ASSERT_EQ(Create(kEffect), S_OK);
  ASSERT_EQ(effect_->SetTechnique("TwoPasses"), S_OK);
  EXPECT_EQ(effect_->SetTechnique("NoSuchTech"), D3DERR_INVALIDCALL);
  EXPECT_STREQ(effect_->GetCurrentTechnique(), "TwoPasses");
  const D3DXVECTOR4 v(1, 2, 3, 4);
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  EXPECT_EQ(effect_->SetVector("NoSuchParam", &v), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->SetMatrix("NoSuchParam", &m), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->SetFloat("NoSuchParam", 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->SetTexture("NoSuchParam", nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->SetValue("NoSuchParam", &v, 12), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->SetInt("NoSuchParam", 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->SetBool("NoSuchParam", 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->GetParameterByName(nullptr, "NoSuchParam"), nullptr);
  // Wrong kinds are refused as well.
  EXPECT_EQ(effect_->SetMatrix("Color", &m), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->SetTexture("Color", nullptr), D3DERR_INVALIDCALL);
  // Handles work like names.
  D3DXHANDLE colour = effect_->GetParameterByName(nullptr, "Color");
  ASSERT_NE(colour, nullptr);
  EXPECT_EQ(effect_->SetVector(colour, &v), S_OK);
  EXPECT_EQ(effect_->SetTechnique(effect_->GetTechniqueByName("Plain")), S_OK);
  EXPECT_EQ(effect_->BeginPass(0), D3DERR_INVALIDCALL);  // before Begin
  UINT passes = 0;
  ASSERT_EQ(effect_->Begin(&passes, 0), S_OK);
  EXPECT_EQ(effect_->BeginPass(passes), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect_->End(), S_OK);
}

// Vertex colours and texture coordinates arrive at the inputs the README names,
// and the caller's macros reach the shaders.
TEST_F(EffectTest, VertexInputsAndMacros) {
  const std::string text =
      "@glsl vertex VS\nout vec4 colour;\n"
      "void main() { colour = inColor; gl_Position = inPosition; }\n"
      "@glsl fragment PS\nin vec4 colour;\n"
      "void main() { outColor0 = colour * vec4(GAIN, GAIN, GAIN, 1.0); }\n"
      "@technique T\n@pass P VS PS\n@state CULLMODE NONE\n";
  const D3DXMACRO macros[] = {{"GAIN", "1.0"}, {nullptr, nullptr}};
  ASSERT_EQ(D3DXCreateEffect(device_, text.data(), UINT(text.size()), macros, nullptr, 0,
                             nullptr, &effect_, nullptr),
            S_OK);
  struct V {
    float x, y, z;
    D3DCOLOR colour;
  };
  // Left half red, right half green (one quad each, clip-space positions).
  const V quads[12] = {{-1, 1, 0, 0xFFFF0000},  {0, 1, 0, 0xFFFF0000},  {-1, -1, 0, 0xFFFF0000},
                       {0, 1, 0, 0xFFFF0000},   {0, -1, 0, 0xFFFF0000}, {-1, -1, 0, 0xFFFF0000},
                       {0, 1, 0, 0xFF00FF00},   {1, 1, 0, 0xFF00FF00},  {0, -1, 0, 0xFF00FF00},
                       {1, 1, 0, 0xFF00FF00},   {1, -1, 0, 0xFF00FF00}, {0, -1, 0, 0xFF00FF00}};
  Clear(0xFF000000);
  effect_->Begin(nullptr, 0);
  effect_->BeginPass(0);
  device_->BeginScene();
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, quads, sizeof(V));
  device_->EndScene();
  effect_->EndPass();
  effect_->End();
  EXPECT_EQ(Rgb(BackBufferAt(8, kHeight / 2)), 0xFF0000u);
  EXPECT_EQ(Rgb(BackBufferAt(kWidth - 8, kHeight / 2)), 0x00FF00u);
  effect_->Release();
  effect_ = nullptr;

  // Without the macro the shader does not compile.
  std::string errors;
  EXPECT_TRUE(FAILED(Create(text, &errors)));
  EXPECT_NE(errors.find("GAIN"), std::string::npos) << errors;
}

TEST_F(EffectTest, MissingAndBrokenFilesReportErrors) {
  ID3DXBuffer* errors = nullptr;
  ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(0x1);
  EXPECT_TRUE(FAILED(D3DXCreateEffectFromFileA(device_, "Shader/None.fx", nullptr, nullptr, 0,
                                               nullptr, &effect, &errors)));
  EXPECT_EQ(effect, nullptr);
  ASSERT_NE(errors, nullptr);
  EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("None.fx"),
            std::string::npos);
  errors->Release();

  // GLSL that does not compile: the compiler's text, on the effect file's line.
  std::filesystem::create_directories("Shader");
  std::string broken = kEffect;
  broken.replace(broken.find("outColor0 = Tint(Color);"), 24, "outColor0 = Tint(Colour);");
  std::ofstream("Shader/Broken.fx") << broken;
  errors = nullptr;
  EXPECT_TRUE(FAILED(D3DXCreateEffectFromFileA(device_, "shader/broken.FX", nullptr, nullptr, 0,
                                               nullptr, &effect, &errors)));
  EXPECT_EQ(effect, nullptr);
  ASSERT_NE(errors, nullptr);
  const std::string text = static_cast<const char*>(errors->GetBufferPointer());
  EXPECT_NE(text.find("ColorPS"), std::string::npos) << text;
  EXPECT_NE(text.find("Colour"), std::string::npos) << text;
  errors->Release();

  // Header mistakes name their line.
  std::string messages;
  EXPECT_TRUE(FAILED(Create("@parameter float5 X\n@technique T\n@pass P A B\n", &messages)));
  EXPECT_NE(messages.find("(1): error: unknown parameter type float5"), std::string::npos);
  EXPECT_NE(messages.find("(3): error: pass P names unknown shader A"), std::string::npos);
  EXPECT_TRUE(FAILED(Create("", &messages)));
  EXPECT_TRUE(FAILED(Create("@glsl vertex V\nvoid main(){}\n@technique T\n", &messages)));
  EXPECT_TRUE(FAILED(Create(std::string(kEffect) + "@state ZENABLE MAYBE\n", &messages)));
  EXPECT_NE(messages.find("bad value MAYBE"), std::string::npos);
  // Shaders that compile but do not link (no main in the fragment stage).
  EXPECT_TRUE(FAILED(Create("@glsl vertex V\nvoid main(){ gl_Position = inPosition; }\n"
                            "@glsl fragment F\nvoid helper(){}\n@technique T\n@pass P V F\n",
                            &messages)));
  EXPECT_NE(messages.find("does not link"), std::string::npos) << messages;
  EXPECT_EQ(effect_, nullptr);
}

TEST_F(EffectTest, CreatedOnAnotherThreadCompilesAtFirstUse) {
  ID3DXEffect* good = nullptr;
  ID3DXEffect* broken = nullptr;
  HRESULT goodResult = E_FAIL, brokenResult = E_FAIL;
  std::string brokenText = kEffect;
  brokenText.replace(brokenText.find("gl_Position = mW"), 16, "gl_Position = mQ");
  std::thread loader([&] {
    goodResult = D3DXCreateEffect(device_, kEffect, UINT(std::strlen(kEffect)), nullptr, nullptr,
                                  0, nullptr, &good, nullptr);
    brokenResult = D3DXCreateEffect(device_, brokenText.data(), UINT(brokenText.size()),
                                    nullptr, nullptr, 0, nullptr, &broken, nullptr);
  });
  loader.join();
  ASSERT_EQ(goodResult, S_OK);
  ASSERT_EQ(brokenResult, S_OK);  // only the header could be checked there
  effect_ = good;
  effect_->SetTechnique("Plain");
  const D3DXVECTOR4 blue(0, 0, 1, 1);
  effect_->SetVector("Color", &blue);
  Clear(0xFF000000);
  DrawAllPasses();
  EXPECT_EQ(Rgb(BackBufferAt(9, 9)), 0x0000FFu);
  EXPECT_EQ(broken->Begin(nullptr, 0), E_FAIL);
  EXPECT_EQ(broken->BeginPass(0), D3DERR_INVALIDCALL);
  broken->Release();
}

}  // namespace
