// The distortion pass: InputTex redrawn over a screen rectangle, each pixel taken
// from a place displaced by DisTex. The distortion texture's red and green hold
// the offset around 0.5 and its alpha how strongly it applies, so a transparent
// (or empty) distortion texture leaves the picture as it was.

@parameter texture InputTex clamp linear
@parameter texture DisTex clamp linear
@parameter float4 Color = 1 1 1 1
@parameter float4 g_TexelSize
@parameter float4 g_disTexelSize

@glsl common
// Largest displacement, in pixels of the input.
const float kReach = 16.0;

@glsl vertex ScreenVS
out vec2 uv;
void main() {
  uv = inTexCoord;
  gl_Position = PretransformedPosition();
}

@glsl fragment DistortPS
in vec2 uv;
void main() {
  vec4 distortion = texture(DisTex, uv);
  vec2 offset = (distortion.rg * 2.0 - 1.0) * distortion.a * kReach * g_TexelSize.xy;
  outColor0 = texture(InputTex, uv + offset) * Color;
}

@technique DisTech
@pass P0 ScreenVS DistortPS
@state CULLMODE NONE
@state ZENABLE FALSE
@state ZWRITEENABLE FALSE
@state ALPHABLENDENABLE FALSE
