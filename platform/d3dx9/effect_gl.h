// The GL side of an effect: one linked program per pass, the uniform
// locations of every parameter in it, and the sampler objects of the texture
// parameters. Every call here needs the GL context current on the calling thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <d3d9.h>

#include "d3dx9/effect_parse.h"

namespace glomp::fx {

// One parameter's value as the draw should see it.
struct ParamValue {
  const ParamDecl* decl;
  const float* data;                   // ParamBytes(decl->type) bytes
  IDirect3DBaseTexture9* texture;      // texture parameters
  std::uint64_t version;               // changes whenever data or texture changes
};

class EffectPrograms {
 public:
  EffectPrograms() = default;
  ~EffectPrograms();
  EffectPrograms(const EffectPrograms&) = delete;
  EffectPrograms& operator=(const EffectPrograms&) = delete;

  // Whether the calling thread can make GL calls.
  static bool ContextIsCurrent();

  // Compiles every shader block and links each pass. False with the compiler's
  // and linker's messages appended to `log`.
  bool Build(const EffectSource& source, const std::string& fileName, std::string* log);
  bool Built() const { return built_; }

  // Makes pass (technique, pass) current: its program in use, every parameter
  // that changed since this program last saw it uploaded, textures bound.
  // Called just before a draw.
  void Apply(std::size_t technique, std::size_t pass, const std::vector<ParamValue>& values);
  // Leaves GL as the fixed-function path expects it (samplers unbound).
  void Unbind();

 private:
  struct Pass {
    unsigned program = 0;
    std::vector<int> locations;                 // per parameter, -1 if unused
    std::vector<std::uint64_t> uploaded;        // version last uploaded, per parameter
  };
  std::vector<std::vector<Pass>> passes_;       // [technique][pass]
  std::vector<unsigned> shaders_;
  std::vector<unsigned> samplers_;              // per parameter (0 for non-textures)
  std::vector<int> units_;                      // texture unit per parameter, -1 for non-textures
  int boundUnits_ = 0;
  bool built_ = false;
};

}  // namespace glomp::fx
