// The GL side of an effect: one linked program per pass and the uniform
// locations of every parameter in it. Every call here needs the device's GL
// thread (glomp::d3d9::IsGlThread).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "d3dx9/effect_parse.h"

namespace glomp::fx {

// One parameter's value as the draw should see it.
struct ParamValue {
  const ParamDecl* decl;
  const float* data;       // ParamBytes(decl->type) bytes
  std::uint64_t version;   // changes whenever the committed value changes
};

class EffectPrograms {
 public:
  EffectPrograms() = default;
  ~EffectPrograms();
  EffectPrograms(const EffectPrograms&) = delete;
  EffectPrograms& operator=(const EffectPrograms&) = delete;

  // Compiles every shader block and links each pass; texture parameters'
  // samplers read the device's texture stages `stages[i]`. False with the
  // compiler's and linker's messages appended to `log`.
  bool Build(const EffectSource& source, const std::vector<int>& stages,
             const std::string& fileName, std::string* log);

  // Makes pass (technique, pass) the program in use and uploads every value
  // that changed since this program last drew. `screenToNdc` places
  // pretransformed vertices.
  void Apply(std::size_t technique, std::size_t pass, const std::vector<ParamValue>& values,
             const float screenToNdc[4]);

 private:
  struct Pass {
    unsigned program = 0;
    int screenToNdc = -1;
    std::vector<int> locations;           // per parameter, -1 if unused
    std::vector<std::uint64_t> uploaded;  // version last uploaded, per parameter
  };
  std::vector<std::vector<Pass>> passes_;  // [technique][pass]
  std::vector<unsigned> shaders_;
};

}  // namespace glomp::fx
