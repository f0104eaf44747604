#include "d3d9/fixed_function.h"

#include <cstdio>

#include "d3d9/device.h"

namespace glomp::d3d9 {
namespace {

constexpr DWORD kArgSourceMask = 15;  // D3DTA_DIFFUSE ... D3DTA_CONSTANT
constexpr DWORD kArgBits = kArgSourceMask | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE;

bool KnownOp(DWORD op) { return op >= D3DTOP_DISABLE && op <= D3DTOP_ADDSMOOTH; }

// One argument of stage 0. At stage 0 the current colour is the diffuse one;
// sources the stand-in does not keep (specular, temp, constant) read as zero.
std::string Argument(DWORD arg) {
  std::string value;
  switch (arg & kArgSourceMask) {
    case D3DTA_DIFFUSE:
    case D3DTA_CURRENT: value = "vDiffuse"; break;
    case D3DTA_TEXTURE: value = "tex"; break;
    case D3DTA_TFACTOR: value = "uTextureFactor"; break;
    default: value = "vec4(0.0)"; break;
  }
  if (arg & D3DTA_COMPLEMENT) value = "(vec4(1.0) - " + value + ")";
  if (arg & D3DTA_ALPHAREPLICATE) value = "(" + value + ").aaaa";
  return value;
}

std::string Operation(DWORD op, DWORD arg1, DWORD arg2) {
  const std::string a = Argument(arg1), b = Argument(arg2);
  switch (op) {
    case D3DTOP_SELECTARG1: return a;
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE2X: return "(2.0 * " + a + " * " + b + ")";
    case D3DTOP_MODULATE4X: return "(4.0 * " + a + " * " + b + ")";
    case D3DTOP_ADD: return "(" + a + " + " + b + ")";
    case D3DTOP_ADDSIGNED: return "(" + a + " + " + b + " - 0.5)";
    case D3DTOP_ADDSIGNED2X: return "(2.0 * (" + a + " + " + b + " - 0.5))";
    case D3DTOP_SUBTRACT: return "(" + a + " - " + b + ")";
    case D3DTOP_ADDSMOOTH: return "(" + a + " + " + b + " - " + a + " * " + b + ")";
    default: return "(" + a + " * " + b + ")";
  }
}

// The alpha test on the alpha in 0..255 against D3DRS_ALPHAREF; empty when
// every pixel passes.
std::string AlphaTest(DWORD func) {
  const char* compare = nullptr;
  switch (func) {
    case D3DCMP_NEVER: return "  discard;\n";
    case D3DCMP_LESS: compare = "<"; break;
    case D3DCMP_EQUAL: compare = "=="; break;
    case D3DCMP_LESSEQUAL: compare = "<="; break;
    case D3DCMP_GREATER: compare = ">"; break;
    case D3DCMP_NOTEQUAL: compare = "!="; break;
    case D3DCMP_GREATEREQUAL: compare = ">="; break;
    default: return "";
  }
  return std::string("  if (!(floor(color.a * 255.0 + 0.5) ") + compare + " uAlphaRef)) discard;\n";
}

bool Uses(const std::string& source, const char* name) {
  return source.find(name) != std::string::npos;
}

GLuint Compile(GLenum type, const std::string& source) {
  GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
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

FixedFunctionState FixedFunctionState::Normalised() const {
  FixedFunctionState n = *this;
  auto normaliseOp = [](DWORD op) { return KnownOp(op) ? op : DWORD(D3DTOP_MODULATE); };
  n.colorOp = normaliseOp(colorOp);
  n.alphaOp = normaliseOp(alphaOp);
  n.colorArg1 &= kArgBits, n.colorArg2 &= kArgBits;
  n.alphaArg1 &= kArgBits, n.alphaArg2 &= kArgBits;
  // A disabled colour operation disables the stage: the diffuse colour and
  // alpha pass through unchanged.
  if (n.colorOp == D3DTOP_DISABLE) n.alphaOp = D3DTOP_DISABLE;
  if (n.colorOp == D3DTOP_DISABLE) n.colorArg1 = n.colorArg2 = 0;
  if (n.alphaOp == D3DTOP_DISABLE) n.alphaArg1 = n.alphaArg2 = 0;
  if (n.alphaFunc < D3DCMP_NEVER || n.alphaFunc > D3DCMP_GREATEREQUAL) n.alphaFunc = D3DCMP_ALWAYS;
  return n;
}

std::uint64_t FixedFunctionState::Key() const {
  const FixedFunctionState n = Normalised();
  std::uint64_t key = (n.pretransformed ? 1u : 0u) | (n.texture ? 2u : 0u);
  for (DWORD part : {n.colorOp, n.colorArg1, n.colorArg2, n.alphaOp, n.alphaArg1, n.alphaArg2}) {
    key = key << 8 | (part & 0xFF);
  }
  return key << 4 | (n.alphaFunc & 0xF);
}

std::string FixedFunctionVertexSource(const FixedFunctionState& state) {
  std::string source = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 5) in vec4 aDiffuse;
layout(location = 7) in vec4 aTexCoord0;
out vec4 vDiffuse;
out vec2 vTexCoord;
)";
  if (state.pretransformed) {
    // Screen pixels (x, y, z, rhw) placed the way D3D places XYZRHW vertices.
    source += R"(uniform vec4 uScreenToNdc;
void main() {
  float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;
  gl_Position = vec4((aPosition.x * uScreenToNdc.x + uScreenToNdc.z) * w,
                     (aPosition.y * uScreenToNdc.y + uScreenToNdc.w) * w,
                     aPosition.z * w, w);
)";
  } else {
    source += R"(uniform mat4 uWorldViewProj;
void main() {
  gl_Position = uWorldViewProj * aPosition;
)";
  }
  source += R"(  vDiffuse = aDiffuse;
  vTexCoord = aTexCoord0.xy;
}
)";
  return source;
}

std::string FixedFunctionFragmentSource(const FixedFunctionState& unnormalised) {
  const FixedFunctionState state = unnormalised.Normalised();
  std::string body;
  if (state.colorOp != D3DTOP_DISABLE) {
    body += "  color.rgb = " + Operation(state.colorOp, state.colorArg1, state.colorArg2) + ".rgb;\n";
    if (state.alphaOp != D3DTOP_DISABLE)
      body += "  color.a = " + Operation(state.alphaOp, state.alphaArg1, state.alphaArg2) + ".a;\n";
  }
  body += "  color = clamp(color, 0.0, 1.0);\n";
  body += AlphaTest(state.alphaFunc);
  std::string source = R"(#version 330 core
in vec4 vDiffuse;
in vec2 vTexCoord;
layout(location = 0) out vec4 oColor;
)";
  if (Uses(body, "uTextureFactor")) source += "uniform vec4 uTextureFactor;\n";
  if (Uses(body, "uAlphaRef")) source += "uniform float uAlphaRef;\n";
  auto isTexture = [](DWORD arg) { return (arg & kArgSourceMask) == D3DTA_TEXTURE; };
  const bool readsTexture =
      (state.colorOp != D3DTOP_DISABLE && (isTexture(state.colorArg1) || isTexture(state.colorArg2))) ||
      (state.alphaOp != D3DTOP_DISABLE && (isTexture(state.alphaArg1) || isTexture(state.alphaArg2)));
  if (readsTexture && state.texture) source += "uniform sampler2D uTexture;\n";
  source += "void main() {\n";
  // A missing texture reads as white.
  if (readsTexture)
    source += state.texture ? "  vec4 tex = texture(uTexture, vTexCoord);\n" : "  vec4 tex = vec4(1.0);\n";
  source += "  vec4 color = vDiffuse;\n" + body + "  oColor = color;\n}\n";
  return source;
}

const FixedFunctionPrograms::Program* FixedFunctionPrograms::Get(const FixedFunctionState& state) {
  const std::uint64_t key = state.Key();
  if (auto found = programs_.find(key); found != programs_.end()) {
    return found->second.name ? &found->second : nullptr;
  }
  const FixedFunctionState normalised = state.Normalised();
  GLuint vertex = Compile(GL_VERTEX_SHADER, FixedFunctionVertexSource(normalised));
  GLuint fragment = Compile(GL_FRAGMENT_SHADER, FixedFunctionFragmentSource(normalised));
  Program program;
  program.name = glCreateProgram();
  glAttachShader(program.name, vertex);
  glAttachShader(program.name, fragment);
  glLinkProgram(program.name);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(program.name, GL_LINK_STATUS, &ok);
  if (!ok) {
    std::fprintf(stderr, "d3d9: a fixed-function program does not link\n");
    glDeleteProgram(program.name);
    program.name = 0;  // remembered, so that it is not tried again every draw
    programs_.emplace(key, program);
    return nullptr;
  }
  program.worldViewProj = glGetUniformLocation(program.name, "uWorldViewProj");
  program.screenToNdc = glGetUniformLocation(program.name, "uScreenToNdc");
  program.textureFactor = glGetUniformLocation(program.name, "uTextureFactor");
  program.alphaRef = glGetUniformLocation(program.name, "uAlphaRef");
  glUseProgram(program.name);
  glUniform1i(glGetUniformLocation(program.name, "uTexture"), 0);  // stage 0 is unit 0
  return &programs_.emplace(key, program).first->second;
}

void FixedFunctionPrograms::Release() {
  for (auto& [key, program] : programs_) {
    if (program.name) glDeleteProgram(program.name);
  }
  programs_.clear();
}

// ---------------------------------------------------------------- the device's side
FixedFunctionState Device::CurrentFixedFunctionState(const FvfLayout& layout) const {
  FixedFunctionState state;
  state.pretransformed = layout.pretransformed;
  ImageStorage* storage = StorageOf(textures_[0]);
  state.texture = storage && storage->Target() == GL_TEXTURE_2D;
  const DWORD* stage = stageStates_[0];
  state.colorOp = stage[D3DTSS_COLOROP];
  state.colorArg1 = stage[D3DTSS_COLORARG1];
  state.colorArg2 = stage[D3DTSS_COLORARG2];
  state.alphaOp = stage[D3DTSS_ALPHAOP];
  state.alphaArg1 = stage[D3DTSS_ALPHAARG1];
  state.alphaArg2 = stage[D3DTSS_ALPHAARG2];
  state.alphaFunc =
      renderStates_[D3DRS_ALPHATESTENABLE] ? renderStates_[D3DRS_ALPHAFUNC] : DWORD(D3DCMP_ALWAYS);
  return state;
}

bool Device::BuildProgram() {
  // The game's everyday state must build, or the GL is of no use.
  FixedFunctionState everyday;
  everyday.colorArg2 = everyday.alphaArg2 = D3DTA_DIFFUSE;
  everyday.alphaOp = D3DTOP_MODULATE;
  return fixedFunction_.Get(everyday) != nullptr;
}

void Device::UseProgram(const FvfLayout& layout) {
  DrawState state = CurrentDrawState(layout);
  // The fixed-function program is always set up first: an override that has
  // nothing to draw with (an effect outside its passes) leaves it in use, as
  // D3D falls back to the fixed pipeline when no shaders are set.
  if (const FixedFunctionPrograms::Program* program =
          fixedFunction_.Get(CurrentFixedFunctionState(layout))) {
    glUseProgram(program->name);
    if (program->worldViewProj >= 0) {
      D3DMATRIX wvp = Multiply(Multiply(world_[0], view_), projection_);
      glUniformMatrix4fv(program->worldViewProj, 1, GL_FALSE, &wvp.m[0][0]);
    }
    if (program->screenToNdc >= 0) glUniform4fv(program->screenToNdc, 1, state.screenToNdc);
    if (program->textureFactor >= 0) {
      float factor[4];
      ColorToFloats(renderStates_[D3DRS_TEXTUREFACTOR], factor);
      glUniform4fv(program->textureFactor, 1, factor);
    }
    if (program->alphaRef >= 0)
      glUniform1f(program->alphaRef, static_cast<float>(renderStates_[D3DRS_ALPHAREF] & 0xFF));
  }
  if (override_) override_->Apply(state);
}

}  // namespace glomp::d3d9
