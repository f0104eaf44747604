// The shadow map of light 0: every caster pixel stores its light depth (0 near,
// 1 far across the orthographic volume) minus 2, so that the map's cleared value
// (1.0) and anything else not negative reads as "no caster" in Sample.fx.

@parameter float4x4 mW
@parameter float4x4 mLV
@parameter float4x4 mLP
@parameter texture MeshTex wrap linear

@glsl vertex DepthVS
out vec2 uv;
out float depth;
void main() {
  vec4 clip = mLP * (mLV * (mW * inPosition));
  depth = clip.z / clip.w;
  uv = inTexCoord;
  gl_Position = clip;
}

@glsl fragment DepthPS
in vec2 uv;
in float depth;
// Cut-out texels cast no shadow; an unbound MeshTex reads as opaque black.
void main() {
  if (texture(MeshTex, uv).a < 0.5) discard;
  outColor0 = vec4(depth - 2.0, 0.0, 0.0, 1.0);
}

// For pictures without cut-out texels: the same depth without reading them.
@glsl fragment OpaqueDepthPS
in vec2 uv;
in float depth;
void main() { outColor0 = vec4(depth - 2.0, 0.0, 0.0, 1.0); }

@technique Tech
@pass P0 DepthVS DepthPS
@state ALPHABLENDENABLE FALSE
@state ZENABLE TRUE
@state ZWRITEENABLE TRUE
@state ZFUNC LESSEQUAL

@technique OpaqueTech
@pass P0 DepthVS OpaqueDepthPS
@state ALPHABLENDENABLE FALSE
@state ZENABLE TRUE
@state ZWRITEENABLE TRUE
@state ZFUNC LESSEQUAL
