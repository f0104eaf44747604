// Inside the platform layer only: how platform code (the effect runtime) draws
// through the Direct3D 9 device with its own GL program instead of the
// fixed-function emulation.
//
// Use: install a ProgramOverride with SetProgramOverride(device, &program). For
// every draw call (DrawPrimitive, DrawIndexedPrimitive, DrawPrimitiveUP,
// DrawIndexedPrimitiveUP) the device then, on the GL thread:
//   1. binds its framebuffer (render targets 0..3 + depth-stencil surface),
//      viewport, and applies its render states (blend, depth, stencil, cull,
//      colour write masks, scissor, fill mode) to GL;
//   2. binds the texture of stage i (SetTexture(i, ...)) to texture unit i and
//      a GL sampler object carrying sampler i's states (SetSamplerState(i, ...))
//      to unit i, for i = 0..15; a cube texture is bound to GL_TEXTURE_CUBE_MAP,
//      a 2D texture to GL_TEXTURE_2D; units without a texture have none bound;
//   3. binds its vertex array with the attributes of the current FVF at the
//      locations below;
//   4. puts its fixed-function program in use, then calls program->Apply(state),
//      which must glUseProgram its own program and set its uniforms (sampler
//      uniforms = the stage numbers above); an Apply that uses no program of
//      its own leaves the fixed-function one drawing;
//   5. issues the GL draw.
// Clear it again with SetProgramOverride(device, nullptr). The device does not
// own the override. Apply may call GL freely but must leave the vertex array,
// framebuffer and texture bindings as it found them (other state it changes
// is re-applied by the device only when the D3D state changes, so don't).
//
// An effect sets its pass states through the ordinary device calls
// (SetRenderState, SetSamplerState, SetTexture) before the draw, as D3DX does.
// What GL does in fixed hardware follows those states for the override too
// (blend, depth, stencil, cull, colour masks incl. COLORWRITEENABLE1..3,
// scissor, fill mode); what the fixed-function shader does (alpha test,
// texture stage operations, transforms) is the override program's own job.
//
// Conventions the program must follow (the device sets GL up so that D3D's
// rules hold unchanged):
//   - Matrices: upload D3DX matrices' 16 floats unchanged with
//     glUniformMatrix4fv(..., GL_FALSE, m); in GLSL `M * v` is D3DX's `v × M`,
//     and D3DX `A × B` is `B * A` in GLSL.
//   - Clip space is D3D's: x, y in [-w, w] with +y up, z in [0, w]
//     (glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE)). Images are stored top row
//     first everywhere: texture v = 0 is the top row, gl_FragCoord.y counts
//     from the top of the render target. No flips are needed.
//   - Pixel centres are at .5 (GL's rule); the device does not emulate D3D9's
//     half-pixel offset, so a screen-space quad at integer pixel positions maps
//     texels 1:1.
//   - Fragment output location i goes to render target i.
//   - Pretransformed vertices (D3DFVF_XYZRHW): attribute 0 holds (x, y, z, rhw)
//     in render-target pixels. D3D skips vertex processing for them, so the
//     program must place them itself:
//       float w = 1.0 / rhw;   (use 1.0 when rhw is 0)
//       gl_Position = vec4((x * s.x + s.z) * w, (y * s.y + s.w) * w, z * w, w);
//     with s = state.screenToNdc.
#pragma once
#include <d3d9.h>

#include <cstddef>

namespace glomp::d3d9 {

// Vertex attribute locations the device binds for the FVF elements. Elements
// the vertex format lacks are disabled arrays with these constant values:
// diffuse and specular (1, 1, 1, 1), everything else (0, 0, 0, 1).
enum AttributeLocation : unsigned {
  kAttribPosition = 0,      // vec3 (XYZ, XYZBn) or vec4 (XYZRHW: x, y, z, rhw; XYZW)
  kAttribBlendWeight = 1,   // float .. vec4: the n float betas of XYZBn (without indices)
  kAttribBlendIndices = 2,  // vec4 of 0..255 (LASTBETA_UBYTE4 / LASTBETA_D3DCOLOR)
  kAttribNormal = 3,        // vec3
  kAttribPointSize = 4,     // float
  kAttribDiffuse = 5,       // vec4 rgba, from the D3DCOLOR's BGRA bytes, normalised 0..1
  kAttribSpecular = 6,      // vec4 rgba, as diffuse
  kAttribTexCoord0 = 7,     // texture coordinate set i is at 7 + i (i = 0..7), 1..4 floats
};

// What a program override learns about the draw it is applied to.
struct DrawState {
  DWORD fvf = 0;
  bool pretransformed = false;  // the FVF has D3DFVF_XYZRHW
  UINT targetWidth = 0;         // size of render target 0
  UINT targetHeight = 0;
  D3DVIEWPORT9 viewport = {};
  float screenToNdc[4] = {};    // (sx, sy, ox, oy) for pretransformed positions
};

class ProgramOverride {
 public:
  virtual ~ProgramOverride() = default;
  virtual void Apply(const DrawState& state) = 0;
};

// Installs (or with null removes) the program used for the device's draws.
// D3DERR_INVALIDCALL for a null device or one this stand-in did not make.
HRESULT SetProgramOverride(IDirect3DDevice9* device, ProgramOverride* program);
ProgramOverride* GetProgramOverride(IDirect3DDevice9* device);

// True on the thread whose GL context the device uses. GL objects (programs,
// shaders) may only be made there; build them lazily in the first Apply when
// the effect was created on another thread.
bool IsGlThread(IDirect3DDevice9* device);

// How many fixed-function programs the device has made: one per combination of
// fixed-function states its draws have used (0 for a device not made here).
std::size_t FixedFunctionProgramCount(IDirect3DDevice9* device);

}  // namespace glomp::d3d9
