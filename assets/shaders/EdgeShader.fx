// The edge overlay: dark lines where the frame's view-space depth or normal jumps
// (silhouettes against what lies behind, and sharp creases), transparent elsewhere.
// NormalTex and DepthTex are the toon effect's targets 1 and 2; pixels nothing was
// drawn into hold a depth below 0.005 and count as infinitely far.
//
// "EdgeTech" draws the overlay alone, into the edge target. "CompositeTech" lays the
// frame's colour image (ColorTex, the toon effect's target 0) and the overlay over it
// onto the back buffer in one full-screen pass: what the two alpha-blended sprites
// of the colour target and the edge target would leave there, without writing and
// reading the edge target in between.

@parameter texture NormalTex clamp point
@parameter texture DepthTex clamp point
@parameter texture ColorTex clamp point
@parameter float4 g_TexelSize
@parameter float4 EdgeColor = 0.06 0.05 0.1 0.85

@glsl common
// Inverse depth is linear across a flat surface on screen, so its second
// difference is zero there and large across a silhouette.
vec4 InverseDepth(vec4 depth) {
  return vec4(greaterThanEqual(depth, vec4(0.005))) / max(depth, vec4(0.005));
}
vec3 Unpacked(vec4 stored) { return stored.xyz * 2.0 - 1.0; }

// How much of an edge the pixel at uv is: 0 (none) to 1.
float Edge(vec2 uv) {
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
  if (nearest == 0.0) return 0.0;  // nothing drawn around here
  float curve = max(abs(left + right - 2.0 * centre), abs(up + down - 2.0 * centre));
  float depthEdge = smoothstep(0.04, 0.12, curve / nearest);

  float creaseEdge = 0.0;
  if (centre > 0.0) {
    // The neighbours by texel offset: the same texels as uv + one texel, with
    // less work per read than a coordinate of their own.
    vec3 normal = Unpacked(texture(NormalTex, uv));
    float agree = 1.0;
    if (right > 0.0)
      agree = min(agree, dot(normal, Unpacked(textureOffset(NormalTex, uv, ivec2(1, 0)))));
    if (down > 0.0)
      agree = min(agree, dot(normal, Unpacked(textureOffset(NormalTex, uv, ivec2(0, 1)))));
    creaseEdge = 1.0 - smoothstep(0.5, 0.7, agree);
  }
  return max(depthEdge, creaseEdge);
}

@glsl vertex ScreenVS
out vec2 uv;
void main() {
  uv = inTexCoord;
  gl_Position = PretransformedPosition();
}

@glsl fragment EdgePS
in vec2 uv;
void main() { outColor0 = vec4(EdgeColor.rgb, EdgeColor.a * Edge(uv)); }

@glsl fragment CompositePS
in vec2 uv;
// Blending (source alpha, inverse source alpha) the colour c with alpha a and then
// the edge colour e with alpha b over what the back buffer holds leaves
//   b e + (1 - b) (a c + (1 - a) back) = k x + (1 - k) back,
// with k = 1 - (1 - a)(1 - b) and k x = b e + (1 - b) a c: one blended write of
// (x, k). Where neither covers anything (k = 0) the back buffer stays as it is.
void main() {
  vec4 colour = texture(ColorTex, uv);
  float b = EdgeColor.a * Edge(uv);
  float a = colour.a;
  float k = 1.0 - (1.0 - a) * (1.0 - b);
  if (k <= 0.0) discard;
  outColor0 = vec4((b * EdgeColor.rgb + (1.0 - b) * a * colour.rgb) / k, k);
}

@technique EdgeTech
@pass P0 ScreenVS EdgePS
@state CULLMODE NONE
@state ZENABLE FALSE
@state ZWRITEENABLE FALSE
@state ALPHABLENDENABLE FALSE
@state STENCILENABLE FALSE

@technique CompositeTech
@pass P0 ScreenVS CompositePS
@state CULLMODE NONE
@state ZENABLE FALSE
@state ZWRITEENABLE FALSE
@state ALPHABLENDENABLE TRUE
@state SRCBLEND SRCALPHA
@state DESTBLEND INVSRCALPHA
@state BLENDOP ADD
@state SEPARATEALPHABLENDENABLE FALSE
@state ALPHATESTENABLE FALSE
@state STENCILENABLE FALSE
@state COLORWRITEENABLE 0xF
