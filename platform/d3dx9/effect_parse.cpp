#include "d3dx9/effect_parse.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace glomp::fx {

namespace {

struct NamedValue {
  const char* name;
  DWORD value;
};

// Render states a pass may set, under their D3DRS_ names without the prefix.
constexpr NamedValue kStates[] = {
    {"ZENABLE", 7},           {"FILLMODE", 8},          {"ZWRITEENABLE", 14},
    {"ALPHATESTENABLE", 15},  {"SRCBLEND", 19},         {"DESTBLEND", 20},
    {"CULLMODE", 22},         {"ZFUNC", 23},            {"ALPHAREF", 24},
    {"ALPHAFUNC", 25},        {"ALPHABLENDENABLE", 27}, {"STENCILENABLE", 52},
    {"STENCILFAIL", 53},      {"STENCILZFAIL", 54},     {"STENCILPASS", 55},
    {"STENCILFUNC", 56},      {"STENCILREF", 57},       {"STENCILMASK", 58},
    {"STENCILWRITEMASK", 59}, {"COLORWRITEENABLE", 168}, {"BLENDOP", 171},
    {"SCISSORTESTENABLE", 174}, {"SEPARATEALPHABLENDENABLE", 206}, {"SRCBLENDALPHA", 207},
    {"DESTBLENDALPHA", 208},  {"BLENDOPALPHA", 209},    {"COLORWRITEENABLE1", 190},
    {"COLORWRITEENABLE2", 191}, {"COLORWRITEENABLE3", 192},
};

// Symbolic values, per kind of state (the D3D enumerations' numbers).
constexpr NamedValue kBools[] = {{"FALSE", 0}, {"TRUE", 1}};
constexpr NamedValue kCull[] = {{"NONE", 1}, {"CW", 2}, {"CCW", 3}};
constexpr NamedValue kFill[] = {{"POINT", 1}, {"WIREFRAME", 2}, {"SOLID", 3}};
constexpr NamedValue kCompare[] = {{"NEVER", 1},   {"LESS", 2},         {"EQUAL", 3},
                                   {"LESSEQUAL", 4}, {"GREATER", 5},    {"NOTEQUAL", 6},
                                   {"GREATEREQUAL", 7}, {"ALWAYS", 8}};
constexpr NamedValue kBlend[] = {{"ZERO", 1},        {"ONE", 2},          {"SRCCOLOR", 3},
                                 {"INVSRCCOLOR", 4}, {"SRCALPHA", 5},     {"INVSRCALPHA", 6},
                                 {"DESTALPHA", 7},   {"INVDESTALPHA", 8}, {"DESTCOLOR", 9},
                                 {"INVDESTCOLOR", 10}, {"SRCALPHASAT", 11}, {"BLENDFACTOR", 14},
                                 {"INVBLENDFACTOR", 15}};
constexpr NamedValue kBlendOp[] = {{"ADD", 1}, {"SUBTRACT", 2}, {"REVSUBTRACT", 3}, {"MIN", 4},
                                   {"MAX", 5}};
constexpr NamedValue kStencilOp[] = {{"KEEP", 1}, {"ZERO", 2},   {"REPLACE", 3}, {"INCRSAT", 4},
                                     {"DECRSAT", 5}, {"INVERT", 6}, {"INCR", 7},  {"DECR", 8}};

template <std::size_t N>
bool Lookup(const NamedValue (&table)[N], const std::string& name, DWORD* value) {
  for (const NamedValue& entry : table) {
    if (name == entry.name) {
      *value = entry.value;
      return true;
    }
  }
  return false;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A state's value: a number (decimal or 0x hex) or the symbolic name that
// fits the state.
bool StateValue(DWORD state, const std::string& word, DWORD* value) {
  char* end = nullptr;
  const unsigned long number = std::strtoul(word.c_str(), &end, 0);
  if (!word.empty() && end && *end == '\0') {
    *value = static_cast<DWORD>(number);
    return true;
  }
  const std::string name = Upper(word);
  switch (state) {
    case 22: return Lookup(kCull, name, value);
    case 8: return Lookup(kFill, name, value);
    case 23: case 25: case 56: return Lookup(kCompare, name, value);
    case 19: case 20: case 207: case 208: return Lookup(kBlend, name, value);
    case 171: case 209: return Lookup(kBlendOp, name, value);
    case 53: case 54: case 55: return Lookup(kStencilOp, name, value);
    default: return Lookup(kBools, name, value);
  }
}

struct TypeName {
  const char* name;
  ParamType type;
  const char* glsl;
};
constexpr TypeName kTypes[] = {
    {"float", ParamType::Float, "float"},         {"float2", ParamType::Float2, "vec2"},
    {"float3", ParamType::Float3, "vec3"},        {"float4", ParamType::Float4, "vec4"},
    {"float4x4", ParamType::Float4x4, "mat4"},    {"int", ParamType::Int, "int"},
    {"bool", ParamType::Bool, "bool"},            {"texture", ParamType::Texture, "sampler2D"},
    {"texturecube", ParamType::TextureCube, "samplerCube"},
};

const char* GlslType(ParamType type) {
  for (const TypeName& t : kTypes) {
    if (t.type == type) return t.glsl;
  }
  return "float";
}

bool ValidName(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

class Parser {
 public:
  Parser(const std::string& fileName, EffectSource* out, std::string* errors)
      : file_(fileName), out_(out), errors_(errors) {}

  bool Run(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    std::string* body = nullptr;  // the GLSL block being collected
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t first = line.find_first_not_of(" \t");
      if (first != std::string::npos && line[first] == '@') {
        body = nullptr;
        Directive(line.substr(first + 1), number, &body);
      } else if (body) {
        *body += line;
        *body += '\n';
      } else if (first != std::string::npos && line.compare(first, 2, "//") != 0) {
        Error(number, "text outside a @glsl block: " + line.substr(first));
      }
    }
    Check();
    return ok_;
  }

 private:
  void Error(int line, const std::string& message) {
    *errors_ += file_ + "(" + std::to_string(line) + "): error: " + message + "\n";
    ok_ = false;
  }

  void Directive(const std::string& text, int line, std::string** body) {
    const std::vector<std::string> w = Words(text.substr(0, text.find("//")));
    if (w.empty()) return Error(line, "empty directive");
    if (w[0] == "parameter") return Parameter(w, line);
    if (w[0] == "glsl") return Glsl(w, line, body);
    if (w[0] == "technique") return Technique(w, line);
    if (w[0] == "pass") return Pass(w, line);
    if (w[0] == "state") return State(w, line);
    Error(line, "unknown directive @" + w[0]);
  }

  void Parameter(const std::vector<std::string>& w, int line) {
    if (w.size() < 3) return Error(line, "@parameter needs a type and a name");
    ParamDecl decl;
    const TypeName* type = nullptr;
    for (const TypeName& t : kTypes) {
      if (w[1] == t.name) type = &t;
    }
    if (!type) return Error(line, "unknown parameter type " + w[1]);
    decl.type = type->type;
    decl.name = w[2];
    if (!ValidName(decl.name)) return Error(line, "bad parameter name " + decl.name);
    for (const ParamDecl& p : out_->params) {
      if (p.name == decl.name) return Error(line, "parameter " + decl.name + " declared twice");
    }
    std::size_t i = 3;
    if (IsTexture(decl.type)) {
      for (; i < w.size(); ++i) {
        const std::string option = Upper(w[i]);
        if (option == "WRAP") decl.address = Address::Wrap;
        else if (option == "CLAMP") decl.address = Address::Clamp;
        else if (option == "MIRROR") decl.address = Address::Mirror;
        else if (option == "LINEAR") decl.filter = Filter::Linear;
        else if (option == "POINT") decl.filter = Filter::Point;
        else return Error(line, "unknown texture option " + w[i]);
      }
    } else if (i < w.size()) {
      if (w[i] != "=") return Error(line, "expected = before the initial value");
      const std::size_t count = ParamBytes(decl.type) / 4;
      if (w.size() - i - 1 != count) {
        return Error(line, "parameter " + decl.name + " needs " + std::to_string(count) +
                               " initial value(s)");
      }
      for (std::size_t k = 0; k < count; ++k) {
        char* end = nullptr;
        const std::string& word = w[i + 1 + k];
        if (decl.type == ParamType::Int || decl.type == ParamType::Bool) {
          long value = word == "true" ? 1 : word == "false" ? 0 : std::strtol(word.c_str(), &end, 0);
          if (end && *end) return Error(line, "bad initial value " + word);
          const std::int32_t v32 = static_cast<std::int32_t>(value);
          std::memcpy(&decl.initial[k], &v32, 4);
        } else {
          decl.initial[k] = std::strtof(word.c_str(), &end);
          if (!end || *end) return Error(line, "bad initial value " + word);
        }
      }
    }
    out_->params.push_back(decl);
  }

  void Glsl(const std::vector<std::string>& w, int line, std::string** body) {
    if (w.size() == 2 && w[1] == "common") {
      if (!out_->common.empty() || sawCommon_) return Error(line, "second @glsl common block");
      sawCommon_ = true;
      out_->commonLine = line + 1;
      *body = &out_->common;
      return;
    }
    if (w.size() != 3 || (w[1] != "vertex" && w[1] != "fragment")) {
      return Error(line, "expected @glsl common, @glsl vertex NAME or @glsl fragment NAME");
    }
    ShaderBlock block;
    block.vertex = w[1] == "vertex";
    block.name = w[2];
    block.firstLine = line + 1;
    for (const ShaderBlock& b : out_->shaders) {
      if (b.name == block.name) return Error(line, "shader " + block.name + " defined twice");
    }
    out_->shaders.push_back(block);
    *body = &out_->shaders.back().body;
  }

  void Technique(const std::vector<std::string>& w, int line) {
    if (w.size() != 2) return Error(line, "expected @technique NAME");
    for (const TechniqueDecl& t : out_->techniques) {
      if (t.name == w[1]) return Error(line, "technique " + w[1] + " defined twice");
    }
    out_->techniques.push_back({w[1], {}});
  }

  void Pass(const std::vector<std::string>& w, int line) {
    if (out_->techniques.empty()) return Error(line, "@pass before any @technique");
    if (w.size() != 4) return Error(line, "expected @pass NAME VERTEX_SHADER FRAGMENT_SHADER");
    PassDecl pass{w[1], w[2], w[3], {}};
    passLines_.push_back(line);
    out_->techniques.back().passes.push_back(pass);
  }

  void State(const std::vector<std::string>& w, int line) {
    if (out_->techniques.empty() || out_->techniques.back().passes.empty()) {
      return Error(line, "@state outside a pass");
    }
    if (w.size() != 3) return Error(line, "expected @state NAME VALUE");
    std::string name = Upper(w[1]);
    if (name.rfind("D3DRS_", 0) == 0) name = name.substr(6);
    DWORD state = 0, value = 0;
    if (!Lookup(kStates, name, &state)) return Error(line, "unknown render state " + w[1]);
    std::string word = w[2];
    for (const char* prefix : {"D3DCULL_", "D3DFILL_", "D3DCMP_", "D3DBLEND_", "D3DBLENDOP_",
                               "D3DSTENCILOP_"}) {
      if (Upper(word).rfind(prefix, 0) == 0) word = word.substr(std::strlen(prefix));
    }
    if (!StateValue(state, word, &value)) return Error(line, "bad value " + w[2] + " for " + w[1]);
    out_->techniques.back().passes.back().states.push_back(
        {static_cast<D3DRENDERSTATETYPE>(state), value});
  }

  // Every pass must name shaders that exist, of the right stage; every
  // technique needs a pass.
  void Check() {
    std::size_t passIndex = 0;
    for (const TechniqueDecl& t : out_->techniques) {
      if (t.passes.empty()) Error(1, "technique " + t.name + " has no pass");
      for (const PassDecl& p : t.passes) {
        const int line = passIndex < passLines_.size() ? passLines_[passIndex] : 1;
        ++passIndex;
        for (const auto& [name, vertex] : {std::pair{p.vertex, true}, std::pair{p.fragment, false}}) {
          // (clang 14 cannot capture a structured binding, hence the named reference.)
          const auto found =
              std::find_if(out_->shaders.begin(), out_->shaders.end(),
                           [&wanted = name](const ShaderBlock& b) { return b.name == wanted; });
          if (found == out_->shaders.end()) {
            Error(line, "pass " + p.name + " names unknown shader " + name);
          } else if (found->vertex != vertex) {
            Error(line, "pass " + p.name + ": " + name + " is not a " +
                            (vertex ? "vertex" : "fragment") + " shader");
          }
        }
      }
    }
    if (out_->techniques.empty()) Error(1, "no technique in the file");
  }

  std::string file_;
  EffectSource* out_;
  std::string* errors_;
  std::vector<int> passLines_;
  bool sawCommon_ = false;
  bool ok_ = true;
};

}  // namespace

std::size_t ParamBytes(ParamType type) {
  switch (type) {
    case ParamType::Float: case ParamType::Int: case ParamType::Bool: return 4;
    case ParamType::Float2: return 8;
    case ParamType::Float3: return 12;
    case ParamType::Float4: return 16;
    case ParamType::Float4x4: return 64;
    default: return 0;
  }
}

bool IsTexture(ParamType type) {
  return type == ParamType::Texture || type == ParamType::TextureCube;
}

bool ParseEffect(const std::string& text, const std::string& fileName, EffectSource* out,
                 std::string* errors) {
  *out = EffectSource{};
  Parser parser(fileName, out, errors);
  const bool ok = parser.Run(text);
  // Shaders are referred to by pointer into this vector afterwards; nothing is
  // added to it once parsing is done.
  return ok;
}

std::string StageSource(const EffectSource& source, const ShaderBlock& block) {
  // textureGather (four texels in one fetch) is core from GL 4.0 and an
  // extension every GL 3.3 the game runs on has.
  std::string text = "#version 330 core\n#extension GL_ARB_texture_gather : enable\n";
  for (const auto& [name, value] : source.defines) text += "#define " + name + " " + value + "\n";
  if (block.vertex) {
    // The device's attribute locations for the vertex format's elements.
    text +=
        "layout(location = 0) in vec4 inPosition;\n"  // (x, y, z, 1); XYZRHW: (x, y, z, rhw)
        "layout(location = 3) in vec3 inNormal;\n"
        "layout(location = 5) in vec4 inColor;\n"
        "layout(location = 6) in vec4 inSpecular;\n"
        "layout(location = 7) in vec2 inTexCoord;\n"
        "uniform vec4 glompScreenToNdc;\n"
        "vec4 PretransformedPosition() {\n"
        "  float w = inPosition.w == 0.0 ? 1.0 : 1.0 / inPosition.w;\n"
        "  vec4 s = glompScreenToNdc;\n"
        "  return vec4((inPosition.x * s.x + s.z) * w, (inPosition.y * s.y + s.w) * w,\n"
        "              inPosition.z * w, w);\n"
        "}\n";
  } else {
    text +=
        "layout(location = 0) out vec4 outColor0;\n"
        "layout(location = 1) out vec4 outColor1;\n"
        "layout(location = 2) out vec4 outColor2;\n";
  }
  for (const ParamDecl& p : source.params) {
    text += std::string("uniform ") + GlslType(p.type) + " " + p.name + ";\n";
  }
  // #line N makes the next line N, so messages count lines of the effect file.
  text += "#line " + std::to_string(source.commonLine) + "\n" + source.common;
  text += "#line " + std::to_string(block.firstLine) + "\n" + block.body;
  return text;
}

}  // namespace glomp::fx
