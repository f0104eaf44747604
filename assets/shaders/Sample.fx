// The toon effect: every lit 3D draw of the game.
//
// "Tech" draws into the three scene targets at once: the toon-shaded colour
// (target 0), the view-space normal packed into 0..1 (target 1) and the view-space
// depth in world units (target 2, R32F). The edge overlay reads targets 1 and 2;
// "WalkEffectTech" reads target 2 back as DepthTex. Passes that must not disturb
// the normal and depth images switch targets 1 and 2 off.
//
// Shadows: ShadowMap.fx stores (light depth - 2) for every caster, so anything
// that is not negative in ShadowTex (the cleared 1.0, or colour another technique
// wrote there) means "no caster".

@parameter float4x4 mW
@parameter float4x4 mV
@parameter float4x4 mP
@parameter float4x4 mLightVP
@parameter float3 CamPos
@parameter float3 LightDir = 0.5 -1 0.3
@parameter float4 LightColor = 1 1 1 1
@parameter float4 LightAmbient = 0 0 0 1
@parameter float4 LightSpecular = 1 1 1 1
@parameter float4 MateDiffuse = 1 1 1 1
@parameter float4 MateSpecular = 1 1 1 1
@parameter float MateSpePower = 100
@parameter float4 OutlineColor = 0 0 0 1
@parameter texture MateDiffuseTex wrap linear
@parameter texture ToonTex clamp point
@parameter texture ShadowTex clamp point
@parameter texture DepthTex clamp point

@glsl common
// Outline width in pixels at 720 lines.
const float kOutlinePixels = 3.0;
// Depth slack of the shadow test, in light-depth units (the volume is 99 deep).
const float kShadowBias = 0.004;
// The highlight's hard edge: where the specular term crosses these values.
const float kGlossFrom = 0.45, kGlossTo = 0.55;

// Fraction of the light that reaches a point: 1 in the open, 0.5 in full shadow.
// `light` is the point in the light's clip space (mLightVP, interpolated from
// the vertices: it is linear in the position). The four map texels around it
// are read at once and each counts a quarter, which softens the edge of the
// map's texels.
float Sunlight(vec4 light, float facing) {
  if (light.w <= 0.0) return 1.0;  // no light matrix yet
  vec3 ndc = light.xyz / light.w;
  vec2 at = vec2(ndc.x * 0.5 + 0.5, 0.5 - ndc.y * 0.5);
  if (at.x < 0.0 || at.x > 1.0 || at.y < 0.0 || at.y > 1.0 || ndc.z < 0.0 || ndc.z > 1.0)
    return 1.0;
  float bias = kShadowBias * (1.0 + 2.0 * (1.0 - clamp(facing, 0.0, 1.0)));
  vec4 stored = textureGather(ShadowTex, at);
  vec4 caster = vec4(lessThan(stored, vec4(-0.5)));
  vec4 behind = vec4(greaterThan(vec4(ndc.z - bias), stored + 2.0));
  return 1.0 - 0.125 * dot(caster, behind);
}

// The surface normal, facing the camera. Flat polygons have none of their own: it
// comes from the screen derivatives of the position (dx, dy) then.
vec3 SurfaceNormal(vec3 normal, vec3 position, vec3 dx, vec3 dy) {
  if (dot(normal, normal) < 1e-6) {
    normal = cross(dx, dy);
    if (dot(normal, CamPos - position) < 0.0) normal = -normal;
  }
  return normalize(normal);
}

// Toon lighting: the ramp read by nearest texel (sharp bands) at the half-Lambert
// term, darkened in shadow, plus a hard-edged highlight. `toLight` is the unit
// vector towards the light; `glossBand` the cosines between the normal and the
// halfway vector at which the specular term pow(cosine, MateSpePower) crosses
// kGlossFrom and kGlossTo (both from the vertex stage, the same for every pixel).
vec4 ToonColour(vec4 base, vec3 normal, vec3 position, vec4 light, vec3 toLight,
                vec2 glossBand) {
  float facing = dot(normal, toLight);
  float lit = (facing * 0.5 + 0.5) * Sunlight(light, facing);
  vec3 ramp = texture(ToonTex, vec2(clamp(lit, 0.02, 0.98), 0.5)).rgb;
  vec3 shade = 0.5 * LightAmbient.rgb + LightColor.rgb * ramp;
  vec3 halfway = normalize(toLight + normalize(CamPos - position));
  float gloss = smoothstep(glossBand.x, glossBand.y, dot(normal, halfway));
  vec3 highlight = gloss * step(0.0, facing) * 0.4 * MateSpecular.rgb * LightSpecular.rgb;
  return vec4(clamp(base.rgb * shade + highlight, 0.0, 1.0), base.a);
}

// What targets 1 and 2 receive: the view-space normal packed into 0..1, the view depth.
// `normal` is of unit length, and the view's rotation keeps lengths.
vec4 PackedNormal(vec3 normal) { return vec4(mat3(mV) * normal * 0.5 + 0.5, 1.0); }
vec4 ViewDepth(vec3 viewPosition) { return vec4(viewPosition.z, 0.0, 0.0, 1.0); }

@glsl vertex MeshVS
out vec3 worldPosition;
out vec3 worldNormal;
out vec3 viewPosition;
out vec2 uv;
out vec4 vertexColour;
out vec4 lightPosition;
flat out vec3 toLight;
flat out vec2 glossBand;
void main() {
  vec4 world = mW * inPosition;
  vec4 view = mV * world;
  worldPosition = world.xyz;
  worldNormal = mat3(mW) * inNormal;  // zero for polygons: the pixel shader derives one
  viewPosition = view.xyz;
  uv = inTexCoord;
  vertexColour = inColor;
  lightPosition = mLightVP * world;
  toLight = -normalize(LightDir);
  // pow(c, p) = g where c = g^(1/p): the highlight's edge as cosines.
  float power = max(MateSpePower, 1.0);
  glossBand = vec2(pow(kGlossFrom, 1.0 / power), pow(kGlossTo, 1.0 / power));
  gl_Position = mP * view;
}

@glsl fragment ToonPS
in vec3 worldPosition;
in vec3 worldNormal;
in vec3 viewPosition;
in vec2 uv;
in vec4 vertexColour;
in vec4 lightPosition;
flat in vec3 toLight;
flat in vec2 glossBand;
void main() {
  vec4 base = texture(MateDiffuseTex, uv) * MateDiffuse * vertexColour;
  if (base.a < 0.02) discard;  // cut-out texels leave every target alone
  vec3 normal =
      SurfaceNormal(worldNormal, worldPosition, dFdx(worldPosition), dFdy(worldPosition));
  outColor0 = ToonColour(base, normal, worldPosition, lightPosition, toLight, glossBand);
  outColor1 = PackedNormal(normal);
  outColor2 = ViewDepth(viewPosition);
}

@glsl fragment FlagPS
in vec3 worldPosition;
in vec3 worldNormal;
in vec3 viewPosition;
in vec2 uv;
in vec4 vertexColour;
in vec4 lightPosition;
flat in vec3 toLight;
flat in vec2 glossBand;
// The cloth's material diffuse is (r, g - 1, b - 1, 1) of the slime colour that
// reached it, or (0, 0, 0, 1) untouched: adding (0, 1, 1) back gives that colour,
// or cyan, the slime's own colour, for a cloth nobody has reached yet.
void main() {
  vec3 tint = clamp(MateDiffuse.rgb + vec3(0.0, 1.0, 1.0), 0.0, 1.0);
  vec4 base = texture(MateDiffuseTex, uv) * vec4(tint, 1.0) * vertexColour;
  if (base.a < 0.02) discard;
  vec3 normal =
      SurfaceNormal(worldNormal, worldPosition, dFdx(worldPosition), dFdy(worldPosition));
  outColor0 = ToonColour(base, normal, worldPosition, lightPosition, toLight, glossBand);
  outColor1 = PackedNormal(normal);
  outColor2 = ViewDepth(viewPosition);
}

@glsl fragment WalkEffectPS
in vec3 worldPosition;
in vec3 worldNormal;
in vec3 viewPosition;
in vec2 uv;
in vec4 vertexColour;
// A ring lying on the ground: hidden where the scene in front of it is nearer
// than the ring (DepthTex holds the view depth of the frame's 3D image), faded
// where the two meet. Without a depth image (0 there) nothing hides it.
void main() {
  vec4 colour = texture(MateDiffuseTex, uv) * MateDiffuse * vertexColour;
  float scene = texture(DepthTex, gl_FragCoord.xy / vec2(textureSize(DepthTex, 0))).r;
  if (scene > 0.005) {
    float behind = viewPosition.z - scene;
    if (behind > 0.5) discard;
    colour.a *= clamp(1.0 - behind / 0.5, 0.0, 1.0);
  }
  if (colour.a < 0.02) discard;  // the ring's hole marks no stencil either
  outColor0 = colour;
  outColor1 = vec4(0.0);
  outColor2 = vec4(0.0);
}

@glsl vertex OutlineVS
// Inverted hull: the back faces pushed outwards along their normals by a fixed
// number of pixels, whatever the model's size or distance.
void main() {
  vec4 view = mV * (mW * inPosition);
  vec4 clip = mP * view;
  vec3 normal = mat3(mV) * (mat3(mW) * inNormal);
  vec2 direction = (mP * vec4(normal, 0.0)).xy;
  if (dot(direction, direction) > 1e-12) {
    direction = normalize(direction);
    float aspect = mP[1][1] / max(mP[0][0], 1e-6);
    clip.xy += vec2(direction.x / aspect, direction.y) * (2.0 * kOutlinePixels / 720.0) * clip.w;
  }
  gl_Position = clip;
}

@glsl fragment OutlinePS
void main() {
  outColor0 = OutlineColor;
  outColor1 = vec4(0.0);
  outColor2 = vec4(0.0);
}

@technique Tech
@pass P0 MeshVS ToonPS

@technique FlagTech
@pass P0 MeshVS FlagPS

@technique OutlineTech
@pass P0 OutlineVS OutlinePS
@state CULLMODE CW
@state COLORWRITEENABLE1 0
@state COLORWRITEENABLE2 0

@technique WalkEffectTech
@pass P0 MeshVS WalkEffectPS
@state CULLMODE NONE
@state ZWRITEENABLE FALSE
@state COLORWRITEENABLE1 0
@state COLORWRITEENABLE2 0
