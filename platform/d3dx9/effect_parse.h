// Reading our effect files: a line-based header (parameters, techniques,
// passes, pass render states) around GLSL 330 bodies. The format is described
// in assets/shaders/README.md. This part knows nothing of GL.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <d3d9.h>

namespace glomp::fx {

enum class ParamType { Float, Float2, Float3, Float4, Float4x4, Int, Bool, Texture, TextureCube };

// Size in bytes of a parameter's value (textures hold no bytes).
std::size_t ParamBytes(ParamType type);
bool IsTexture(ParamType type);

enum class Address { Wrap, Clamp, Mirror };
enum class Filter { Linear, Point };

struct ParamDecl {
  std::string name;
  ParamType type = ParamType::Float;
  std::array<float, 16> initial{};  // ints and bools are stored as their 32-bit pattern
  Address address = Address::Wrap;
  Filter filter = Filter::Linear;
};

struct ShaderBlock {
  std::string name;
  bool vertex = true;
  std::string body;
  int firstLine = 1;  // line in the file where the body starts
};

struct StateSetting {
  D3DRENDERSTATETYPE state;
  DWORD value;
};

struct PassDecl {
  std::string name;
  std::string vertex, fragment;  // names of shader blocks
  std::vector<StateSetting> states;
};

struct TechniqueDecl {
  std::string name;
  std::vector<PassDecl> passes;
};

struct EffectSource {
  std::vector<std::pair<std::string, std::string>> defines;  // from the caller's macros
  std::vector<ParamDecl> params;
  std::string common;
  int commonLine = 1;
  std::vector<ShaderBlock> shaders;
  std::vector<TechniqueDecl> techniques;
};

// Parses the file text. On failure returns false and appends messages of the
// form "FILE(LINE): error: ..." to `errors`.
bool ParseEffect(const std::string& text, const std::string& fileName, EffectSource* out,
                 std::string* errors);

// The GLSL text handed to the compiler for one shader block: version line, the
// vertex inputs or fragment outputs, one uniform per parameter, the common block
// and the body, with #line directives so messages name lines of the file.
std::string StageSource(const EffectSource& source, const ShaderBlock& block);

}  // namespace glomp::fx
