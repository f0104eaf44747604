#include "d3dx9/effect_gl.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstring>

#include "d3dx9/effect_hook.h"

namespace glomp::fx {

namespace {

// Effect textures use units the device's eight texture stages never touch, so
// binding them disturbs nothing the device keeps track of.
constexpr int kFirstUnit = 8;
constexpr int kMaxTextures = 8;

std::string ShaderLog(GLuint shader) {
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
  glGetShaderInfoLog(shader, length, nullptr, log.data());
  log.resize(std::strlen(log.c_str()));
  return log;
}

std::string ProgramLog(GLuint program) {
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
  glGetProgramInfoLog(program, length, nullptr, log.data());
  log.resize(std::strlen(log.c_str()));
  return log;
}

GLint WrapMode(Address address) {
  switch (address) {
    case Address::Clamp: return GL_CLAMP_TO_EDGE;
    case Address::Mirror: return GL_MIRRORED_REPEAT;
    default: return GL_REPEAT;
  }
}

}  // namespace

bool EffectPrograms::ContextIsCurrent() { return SDL_GL_GetCurrentContext() != nullptr; }

EffectPrograms::~EffectPrograms() {
  if (!built_ && shaders_.empty() && passes_.empty()) return;
  for (auto& technique : passes_) {
    for (Pass& pass : technique) {
      if (pass.program) glDeleteProgram(pass.program);
    }
  }
  for (unsigned shader : shaders_) glDeleteShader(shader);
  for (unsigned sampler : samplers_) {
    if (sampler) glDeleteSamplers(1, &sampler);
  }
}

bool EffectPrograms::Build(const EffectSource& source, const std::string& fileName,
                           std::string* log) {
  bool ok = true;
  // Samplers and texture units, one per texture parameter.
  units_.assign(source.params.size(), -1);
  samplers_.assign(source.params.size(), 0);
  int nextUnit = kFirstUnit;
  for (std::size_t i = 0; i < source.params.size(); ++i) {
    const ParamDecl& p = source.params[i];
    if (!IsTexture(p.type)) continue;
    if (nextUnit >= kFirstUnit + kMaxTextures) {
      *log += fileName + ": error: more than " + std::to_string(kMaxTextures) +
              " texture parameters\n";
      return false;
    }
    units_[i] = nextUnit++;
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    const GLint wrap = WrapMode(p.address);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrap);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, wrap);
    const bool point = p.filter == Filter::Point;
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, point ? GL_NEAREST : GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        point ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
    samplers_[i] = sampler;
  }

  // Every shader block once.
  std::vector<GLuint> compiled(source.shaders.size(), 0);
  for (std::size_t s = 0; s < source.shaders.size(); ++s) {
    const ShaderBlock& block = source.shaders[s];
    const std::string text = StageSource(source, block);
    const GLuint shader = glCreateShader(block.vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* pointer = text.c_str();
    glShaderSource(shader, 1, &pointer, nullptr);
    glCompileShader(shader);
    shaders_.push_back(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE) {
      *log += fileName + ": error: " + (block.vertex ? "vertex" : "fragment") + " shader " +
              block.name + " does not compile:\n" + ShaderLog(shader);
      ok = false;
    }
    compiled[s] = shader;
  }
  if (!ok) return false;

  // One program per pass.
  passes_.clear();
  for (const TechniqueDecl& technique : source.techniques) {
    passes_.emplace_back();
    for (const PassDecl& decl : technique.passes) {
      Pass pass;
      pass.program = glCreateProgram();
      for (std::size_t s = 0; s < source.shaders.size(); ++s) {
        if (source.shaders[s].name == decl.vertex || source.shaders[s].name == decl.fragment) {
          glAttachShader(pass.program, compiled[s]);
        }
      }
      glLinkProgram(pass.program);
      GLint status = GL_FALSE;
      glGetProgramiv(pass.program, GL_LINK_STATUS, &status);
      if (status != GL_TRUE) {
        *log += fileName + ": error: technique " + technique.name + " pass " + decl.name +
                " does not link:\n" + ProgramLog(pass.program);
        ok = false;
      }
      pass.locations.assign(source.params.size(), -1);
      pass.uploaded.assign(source.params.size(), 0);
      GLint previous = 0;
      glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
      if (status == GL_TRUE) glUseProgram(pass.program);
      for (std::size_t i = 0; i < source.params.size(); ++i) {
        pass.locations[i] = glGetUniformLocation(pass.program, source.params[i].name.c_str());
        if (status == GL_TRUE && units_[i] >= 0 && pass.locations[i] >= 0) {
          glUniform1i(pass.locations[i], units_[i]);
        }
      }
      glUseProgram(static_cast<GLuint>(previous));
      passes_.back().push_back(std::move(pass));
    }
  }
  built_ = ok;
  return ok;
}

void EffectPrograms::Apply(std::size_t technique, std::size_t passIndex,
                           const std::vector<ParamValue>& values) {
  if (!built_ || technique >= passes_.size() || passIndex >= passes_[technique].size()) return;
  Pass& pass = passes_[technique][passIndex];
  glUseProgram(pass.program);
  GLint activeUnit = GL_TEXTURE0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
  for (std::size_t i = 0; i < values.size() && i < pass.locations.size(); ++i) {
    const ParamValue& v = values[i];
    if (units_[i] >= 0) {
      // Textures are bound every draw: the texture object may have been
      // re-created or re-uploaded since.
      bool cube = false;
      const GLuint name = TextureName(v.texture, &cube);
      glActiveTexture(GL_TEXTURE0 + units_[i]);
      glBindTexture(v.decl->type == ParamType::TextureCube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D,
                    cube == (v.decl->type == ParamType::TextureCube) ? name : 0);
      glBindSampler(static_cast<GLuint>(units_[i]), samplers_[i]);
      continue;
    }
    const GLint location = pass.locations[i];
    if (location < 0 || pass.uploaded[i] == v.version) continue;
    pass.uploaded[i] = v.version;
    const float* f = v.data;
    switch (v.decl->type) {
      case ParamType::Float: glUniform1f(location, f[0]); break;
      case ParamType::Float2: glUniform2f(location, f[0], f[1]); break;
      case ParamType::Float3: glUniform3f(location, f[0], f[1], f[2]); break;
      case ParamType::Float4: glUniform4f(location, f[0], f[1], f[2], f[3]); break;
      // D3DX matrices are row-major for row vectors; handed over unchanged,
      // GLSL's M * v computes D3DX's v * M.
      case ParamType::Float4x4: glUniformMatrix4fv(location, 1, GL_FALSE, f); break;
      case ParamType::Int:
      case ParamType::Bool: {
        std::int32_t value;
        std::memcpy(&value, f, 4);
        glUniform1i(location, value);
        break;
      }
      default: break;
    }
  }
  glActiveTexture(static_cast<GLenum>(activeUnit));
}

void EffectPrograms::Unbind() {}

}  // namespace glomp::fx
