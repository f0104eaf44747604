// Inside the Direct3D 9 stand-in: the fixed-function pipeline as GL programs.
// Every combination of the states below that a draw uses gets a program of its
// own, generated for exactly that combination, made once and kept: a single
// program that branched on uniforms for every state cost llvmpipe several
// milliseconds per full-screen draw.
#pragma once
#include <d3d9.h>
#include <epoxy/gl.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace glomp::d3d9 {

// What a fixed-function program is made for: how positions arrive, whether
// stage 0 has a 2D texture, stage 0's colour and alpha operations with their
// arguments, and the alpha test.
struct FixedFunctionState {
  bool pretransformed = false;
  bool texture = false;
  DWORD colorOp = D3DTOP_MODULATE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
  DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
  DWORD alphaFunc = D3DCMP_ALWAYS;  // ALWAYS while the alpha test is off

  // The same state with everything that cannot change a pixel made equal:
  // unknown operations are MODULATE (as before), what a disabled stage or an
  // always-passing test ignores is cleared. Programs are made for these.
  FixedFunctionState Normalised() const;
  // One number per normalised state.
  std::uint64_t Key() const;
};

// GLSL of the two stages for a (normalised) state.
std::string FixedFunctionVertexSource(const FixedFunctionState& state);
std::string FixedFunctionFragmentSource(const FixedFunctionState& state);

class FixedFunctionPrograms {
 public:
  struct Program {
    GLuint name = 0;
    // -1 where the program does without.
    GLint worldViewProj = -1, screenToNdc = -1, textureFactor = -1, alphaRef = -1;
  };

  // GL thread: the program for `state`, made on first use; null when it does
  // not build (the GL's messages go to standard error).
  const Program* Get(const FixedFunctionState& state);
  // GL thread: deletes every program.
  void Release();
  std::size_t Count() const { return programs_.size(); }

 private:
  std::unordered_map<std::uint64_t, Program> programs_;
};

}  // namespace glomp::d3d9
