// The fixed-function pipeline: the program that draws texture stage 0, the
// transforms and the alpha test when no effect supplies a program of its own.
#include <cstdio>

#include "d3d9/device.h"

namespace glomp::d3d9 {
namespace {

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 5) in vec4 aDiffuse;
layout(location = 7) in vec4 aTexCoord0;
uniform mat4 uWorldViewProj;
uniform bool uPretransformed;
uniform vec4 uScreenToNdc;
out vec4 vDiffuse;
out vec2 vTexCoord;
void main() {
  if (uPretransformed) {
    float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;
    gl_Position = vec4((aPosition.x * uScreenToNdc.x + uScreenToNdc.z) * w,
                       (aPosition.y * uScreenToNdc.y + uScreenToNdc.w) * w,
                       aPosition.z * w, w);
  } else {
    gl_Position = uWorldViewProj * aPosition;
  }
  vDiffuse = aDiffuse;
  vTexCoord = aTexCoord0.xy;
}
)";

// Texture stage 0 of the fixed-function pipeline; the game uses only stage 0.
const char* kFragmentShader = R"(#version 330 core
in vec4 vDiffuse;
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform bool uHasTexture;
uniform ivec3 uColorOp;
uniform ivec3 uAlphaOp;
uniform vec4 uTextureFactor;
uniform int uAlphaFunc;
uniform float uAlphaRef;
layout(location = 0) out vec4 oColor;

vec4 Arg(int arg, vec4 tex) {
  int source = arg & 15;
  vec4 value = vDiffuse;  // D3DTA_DIFFUSE, and D3DTA_CURRENT at stage 0
  if (source == 2) value = tex;
  else if (source == 3) value = uTextureFactor;
  else if (source > 3) value = vec4(0.0);
  if ((arg & 16) != 0) value = vec4(1.0) - value;
  if ((arg & 32) != 0) value = value.aaaa;
  return value;
}

vec4 Combine(int op, vec4 a, vec4 b) {
  if (op == 2) return a;
  if (op == 3) return b;
  if (op == 5) return 2.0 * a * b;
  if (op == 6) return 4.0 * a * b;
  if (op == 7) return a + b;
  if (op == 8) return a + b - 0.5;
  if (op == 9) return 2.0 * (a + b - 0.5);
  if (op == 10) return a - b;
  if (op == 11) return a + b - a * b;
  return a * b;
}

bool Passes(int func, float value, float reference) {
  if (func == 1) return false;
  if (func == 2) return value < reference;
  if (func == 3) return value == reference;
  if (func == 4) return value <= reference;
  if (func == 5) return value > reference;
  if (func == 6) return value != reference;
  if (func == 7) return value >= reference;
  return true;
}

void main() {
  vec4 tex = uHasTexture ? texture(uTexture, vTexCoord) : vec4(1.0);
  vec4 color = vDiffuse;
  if (uColorOp.x != 1) {
    color.rgb = Combine(uColorOp.x, Arg(uColorOp.y, tex), Arg(uColorOp.z, tex)).rgb;
    if (uAlphaOp.x != 1) color.a = Combine(uAlphaOp.x, Arg(uAlphaOp.y, tex), Arg(uAlphaOp.z, tex)).a;
  }
  color = clamp(color, 0.0, 1.0);
  if (!Passes(uAlphaFunc, floor(color.a * 255.0 + 0.5), uAlphaRef)) discard;
  oColor = color;
}
)";

GLuint Compile(GLenum type, const char* source) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "d3d9: fixed-function shader: %s\n", log);
  }
  return shader;
}

}  // namespace

bool Device::BuildProgram() {
  GLuint vertex = Compile(GL_VERTEX_SHADER, kVertexShader);
  GLuint fragment = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
  glo_.program = glCreateProgram();
  glAttachShader(glo_.program, vertex);
  glAttachShader(glo_.program, fragment);
  glLinkProgram(glo_.program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(glo_.program, GL_LINK_STATUS, &ok);
  if (!ok) return false;
  GLuint p = glo_.program;
  glo_.uWorldViewProj = glGetUniformLocation(p, "uWorldViewProj");
  glo_.uPretransformed = glGetUniformLocation(p, "uPretransformed");
  glo_.uScreenToNdc = glGetUniformLocation(p, "uScreenToNdc");
  glo_.uHasTexture = glGetUniformLocation(p, "uHasTexture");
  glo_.uColorOp = glGetUniformLocation(p, "uColorOp");
  glo_.uAlphaOp = glGetUniformLocation(p, "uAlphaOp");
  glo_.uTextureFactor = glGetUniformLocation(p, "uTextureFactor");
  glo_.uAlphaFunc = glGetUniformLocation(p, "uAlphaFunc");
  glo_.uAlphaRef = glGetUniformLocation(p, "uAlphaRef");
  glo_.uTexture = glGetUniformLocation(p, "uTexture");
  glUseProgram(p);
  glUniform1i(glo_.uTexture, 0);  // stage 0 is texture unit 0
  return true;
}

void Device::UseProgram(const FvfLayout& layout) {
  DrawState state = CurrentDrawState(layout);
  // The fixed-function program is always set up first: an override that has
  // nothing to draw with (an effect outside its passes) leaves it in use, as
  // D3D falls back to the fixed pipeline when no shaders are set.
  glUseProgram(glo_.program);
  D3DMATRIX wvp = Multiply(Multiply(world_[0], view_), projection_);
  glUniformMatrix4fv(glo_.uWorldViewProj, 1, GL_FALSE, &wvp.m[0][0]);
  glUniform1i(glo_.uPretransformed, layout.pretransformed ? 1 : 0);
  glUniform4fv(glo_.uScreenToNdc, 1, state.screenToNdc);
  ImageStorage* storage = StorageOf(textures_[0]);
  glUniform1i(glo_.uHasTexture, storage && storage->Target() == GL_TEXTURE_2D ? 1 : 0);
  const DWORD* stage = stageStates_[0];
  glUniform3i(glo_.uColorOp, GLint(stage[D3DTSS_COLOROP]), GLint(stage[D3DTSS_COLORARG1]),
              GLint(stage[D3DTSS_COLORARG2]));
  glUniform3i(glo_.uAlphaOp, GLint(stage[D3DTSS_ALPHAOP]), GLint(stage[D3DTSS_ALPHAARG1]),
              GLint(stage[D3DTSS_ALPHAARG2]));
  float factor[4];
  ColorToFloats(renderStates_[D3DRS_TEXTUREFACTOR], factor);
  glUniform4fv(glo_.uTextureFactor, 1, factor);
  glUniform1i(glo_.uAlphaFunc, renderStates_[D3DRS_ALPHATESTENABLE]
                                   ? GLint(renderStates_[D3DRS_ALPHAFUNC])
                                   : GLint(D3DCMP_ALWAYS));
  glUniform1f(glo_.uAlphaRef, static_cast<float>(renderStates_[D3DRS_ALPHAREF] & 0xFF));
  if (override_) override_->Apply(state);
}

}  // namespace glomp::d3d9
