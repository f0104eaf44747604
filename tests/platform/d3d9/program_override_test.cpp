// Drawing with a program of one's own through the device (the hook the effect
// runtime uses): attribute locations, texture units, several targets.
#include <epoxy/gl.h>

#include <cstring>

#include "platform/d3d9/device_fixture.h"
#include "platform/d3d9/gl_device.h"

namespace glomp::test {
namespace {

const char* kVertex = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 5) in vec4 aDiffuse;
layout(location = 7) in vec2 aTexCoord;
uniform vec4 uScreenToNdc;
out vec4 vDiffuse;
out vec2 vTexCoord;
void main() {
  float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;
  gl_Position = vec4((aPosition.x * uScreenToNdc.x + uScreenToNdc.z) * w,
                     (aPosition.y * uScreenToNdc.y + uScreenToNdc.w) * w, aPosition.z * w, w);
  vDiffuse = aDiffuse;
  vTexCoord = aTexCoord;
}
)";

const char* kFragment = R"(#version 330 core
in vec4 vDiffuse;
in vec2 vTexCoord;
uniform sampler2D uPicture;
layout(location = 0) out vec4 oColor;
layout(location = 1) out vec4 oSecond;
layout(location = 2) out vec4 oThird;
void main() {
  oColor = texture(uPicture, vTexCoord) * vDiffuse;
  oSecond = vec4(0.0, 1.0, 0.0, 1.0);
  oThird = vec4(0.25);
}
)";

class TestProgram : public d3d9::ProgramOverride {
 public:
  ~TestProgram() override {
    if (program_) glDeleteProgram(program_);
  }
  void Apply(const d3d9::DrawState& state) override {
    if (!program_) Build();
    last = state;
    ++applied;
    glUseProgram(program_);
    glUniform4fv(glGetUniformLocation(program_, "uScreenToNdc"), 1, state.screenToNdc);
    glUniform1i(glGetUniformLocation(program_, "uPicture"), 1);  // texture stage 1
  }
  d3d9::DrawState last;
  int applied = 0;

 private:
  void Build() {
    GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(vs, 1, &kVertex, nullptr);
    glShaderSource(fs, 1, &kFragment, nullptr);
    glCompileShader(vs);
    glCompileShader(fs);
    program_ = glCreateProgram();
    glAttachShader(program_, vs);
    glAttachShader(program_, fs);
    glLinkProgram(program_);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    EXPECT_TRUE(ok);
  }
  GLuint program_ = 0;
};

TEST_F(DeviceTest, ProgramOverrideDrawsIntoEveryTargetWithTheStageTextures) {
  EXPECT_TRUE(d3d9::IsGlThread(device_));
  EXPECT_EQ(d3d9::SetProgramOverride(nullptr, nullptr), D3DERR_INVALIDCALL);
  IDirect3DTexture9* picture = MakeTexture(2, 1, {0xFFFF0000, 0xFF00FF00});
  IDirect3DTexture9 *a = nullptr, *b = nullptr, *c = nullptr;
  device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                         D3DPOOL_DEFAULT, &a, nullptr);
  device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                         D3DPOOL_DEFAULT, &b, nullptr);
  device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F, D3DPOOL_DEFAULT,
                         &c, nullptr);
  IDirect3DSurface9 *sa, *sb, *sc;
  a->GetSurfaceLevel(0, &sa);
  b->GetSurfaceLevel(0, &sb);
  c->GetSurfaceLevel(0, &sc);
  device_->SetRenderTarget(0, sa);
  device_->SetRenderTarget(1, sb);
  device_->SetRenderTarget(2, sc);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);

  TestProgram program;
  ASSERT_EQ(d3d9::SetProgramOverride(device_, &program), D3D_OK);
  EXPECT_EQ(d3d9::GetProgramOverride(device_), &program);
  device_->SetTexture(1, picture);
  device_->SetSamplerState(1, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device_->SetSamplerState(1, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  FillRect(0, 0, 40, 20, 0xFFFFFFFF);
  EXPECT_EQ(program.applied, 1);
  EXPECT_TRUE(program.last.pretransformed);
  EXPECT_EQ(program.last.fvf, kScreenFvf);
  EXPECT_EQ(program.last.targetWidth, kWidth);
  ASSERT_EQ(d3d9::SetProgramOverride(device_, nullptr), D3D_OK);
  // The fixed-function pipeline writes target 0 only.
  FillRect(0, 30, 10, 40, 0xFF0000FF);
  device_->SetTexture(1, nullptr);

  auto first = ReadPixels(sa), second = ReadPixels(sb);
  EXPECT_TRUE(Near(At(first, kWidth, 5, 10), 255, 0, 0));
  EXPECT_TRUE(Near(At(first, kWidth, 35, 10), 0, 255, 0));
  EXPECT_TRUE(Near(At(first, kWidth, 50, 10), 0, 0, 0));
  EXPECT_TRUE(Near(At(first, kWidth, 5, 35), 0, 0, 255));
  EXPECT_TRUE(Near(At(second, kWidth, 20, 10), 0, 255, 0));
  EXPECT_TRUE(Near(At(second, kWidth, 5, 35), 0, 0, 0)) << "untouched by fixed function";
  IDirect3DSurface9* floats = nullptr;
  device_->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_R32F, D3DPOOL_SYSTEMMEM, &floats,
                                       nullptr);
  ASSERT_EQ(device_->GetRenderTargetData(sc, floats), D3D_OK);
  D3DLOCKED_RECT locked;
  floats->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  const float* values = static_cast<const float*>(locked.pBits);
  EXPECT_FLOAT_EQ(values[10 * kWidth + 20], 0.25f);
  EXPECT_FLOAT_EQ(values[35 * kWidth + 5], 0.0f);
  floats->UnlockRect();
  floats->Release();

  device_->SetRenderTarget(1, nullptr);
  device_->SetRenderTarget(2, nullptr);
  IDirect3DSurface9* back = nullptr;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  device_->SetRenderTarget(0, back);
  back->Release();
  for (IDirect3DSurface9* s : {sa, sb, sc}) s->Release();
  for (IDirect3DTexture9* t : {a, b, c, picture}) t->Release();
}

// An effect outside its passes: installed, but with no program to offer.
class IdleProgram : public d3d9::ProgramOverride {
 public:
  void Apply(const d3d9::DrawState&) override { ++applied; }
  int applied = 0;
};

TEST_F(DeviceTest, AnOverrideWithoutAProgramLeavesTheFixedFunctionDrawing) {
  IdleProgram idle;
  ASSERT_EQ(d3d9::SetProgramOverride(device_, &idle), D3D_OK);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  FillRect(0, 0, 20, 20, 0xFFFF0000);
  d3d9::SetProgramOverride(device_, nullptr);
  EXPECT_EQ(idle.applied, 1);
  EXPECT_TRUE(Near(BackBufferAt(10, 10), 255, 0, 0));
}

}  // namespace
}  // namespace glomp::test
