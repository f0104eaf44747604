// The edge overlay: dark lines where the frame's view-space depth or normal jumps
// (silhouettes against what lies behind, and sharp creases), transparent elsewhere.
// NormalTex and DepthTex are the toon effect's targets 1 and 2; pixels nothing was
// drawn into hold a depth below 0.005 and count as infinitely far.

@parameter texture NormalTex clamp point
@parameter texture DepthTex clamp point
@parameter float4 g_TexelSize
@parameter float4 EdgeColor = 0.06 0.05 0.1 0.85

@glsl common
// Inverse depth is linear across a flat surface on screen, so its second
// difference is zero there and large across a silhouette.
vec4 InverseDepth(vec4 depth) {
  return vec4(greaterThanEqual(depth, vec4(0.005))) / max(depth, vec4(0.005));
}
vec3 Normal(vec2 at) { return texture(NormalTex, at).xyz * 2.0 - 1.0; }

@glsl vertex ScreenVS
out vec2 uv;
void main() {
  uv = inTexCoord;
  gl_Position = PretransformedPosition();
}

@glsl fragment EdgePS
in vec2 uv;
void main() {
  vec2 dx = vec2(g_TexelSize.x, 0.0);
  vec2 dy = vec2(0.0, g_TexelSize.y);
  // Two reads of four texels each: the 2 x 2 blocks whose corners are half a
  // texel above-left and below-right of this pixel's centre hold the pixel and
  // its four neighbours (gather order: (0, 1), (1, 1), (1, 0), (0, 0)).
  vec2 halfTexel = 0.5 * g_TexelSize.xy;
  vec4 upLeft = InverseDepth(textureGather(DepthTex, uv - halfTexel));
  vec4 downRight = InverseDepth(textureGather(DepthTex, uv + halfTexel));
  float centre = upLeft.y;
  float left = upLeft.x, up = upLeft.z;
  float right = downRight.z, down = downRight.x;
  float nearest = max(max(max(centre, left), max(right, up)), down);
  if (nearest == 0.0) {  // nothing drawn around here
    outColor0 = vec4(0.0);
    return;
  }
  float curve = max(abs(left + right - 2.0 * centre), abs(up + down - 2.0 * centre));
  float depthEdge = smoothstep(0.04, 0.12, curve / nearest);

  float creaseEdge = 0.0;
  if (centre > 0.0) {
    vec3 normal = Normal(uv);
    float agree = 1.0;
    if (right > 0.0) agree = min(agree, dot(normal, Normal(uv + dx)));
    if (down > 0.0) agree = min(agree, dot(normal, Normal(uv + dy)));
    creaseEdge = 1.0 - smoothstep(0.5, 0.7, agree);
  }
  float edge = max(depthEdge, creaseEdge);
  outColor0 = vec4(EdgeColor.rgb, EdgeColor.a * edge);
}

@technique EdgeTech
@pass P0 ScreenVS EdgePS
@state CULLMODE NONE
@state ZENABLE FALSE
@state ZWRITEENABLE FALSE
@state ALPHABLENDENABLE FALSE
@state STENCILENABLE FALSE
