#include "d3dx9/effect_gl.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>

namespace glomp::fx {

namespace {

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

}  // namespace

EffectPrograms::~EffectPrograms() {
  for (auto& technique : passes_) {
    for (Pass& pass : technique) {
      if (pass.program) glDeleteProgram(pass.program);
    }
  }
  for (unsigned shader : shaders_) glDeleteShader(shader);
}

bool EffectPrograms::Build(const EffectSource& source, const std::vector<int>& stages,
                           const std::string& fileName, std::string* log) {
  bool ok = true;
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

  GLint previous = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
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
        passes_.back().push_back(std::move(pass));
        continue;
      }
      pass.locations.assign(source.params.size(), -1);
      pass.uploaded.assign(source.params.size(), 0);
      pass.screenToNdc = glGetUniformLocation(pass.program, "glompScreenToNdc");
      glUseProgram(pass.program);
      for (std::size_t i = 0; i < source.params.size(); ++i) {
        pass.locations[i] = glGetUniformLocation(pass.program, source.params[i].name.c_str());
        // Samplers read the texture stage the effect binds the parameter to.
        if (IsTexture(source.params[i].type) && pass.locations[i] >= 0) {
          glUniform1i(pass.locations[i], stages[i]);
        }
      }
      passes_.back().push_back(std::move(pass));
    }
  }
  glUseProgram(static_cast<GLuint>(previous));
  return ok;
}

void EffectPrograms::Apply(std::size_t technique, std::size_t passIndex,
                           const std::vector<ParamValue>& values, const float screenToNdc[4]) {
  if (technique >= passes_.size() || passIndex >= passes_[technique].size()) return;
  Pass& pass = passes_[technique][passIndex];
  glUseProgram(pass.program);
  if (pass.screenToNdc >= 0) {
    glUniform4f(pass.screenToNdc, screenToNdc[0], screenToNdc[1], screenToNdc[2], screenToNdc[3]);
  }
  for (std::size_t i = 0; i < values.size() && i < pass.locations.size(); ++i) {
    const ParamValue& v = values[i];
    const GLint location = pass.locations[i];
    if (location < 0 || IsTexture(v.decl->type) || pass.uploaded[i] == v.version) continue;
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
}

}  // namespace glomp::fx
