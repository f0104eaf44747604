// Environment mapping: a toon-shaded surface that mirrors CubeTex. Loaded at
// start-up with its ramp and cube texture; no draw of the game uses it yet.

@parameter float4x4 mW
@parameter float4x4 mV
@parameter float4x4 mP
@parameter float3 CamPos
@parameter float3 LightDir = 0.5 -1 0.3
@parameter float4 MateDiffuse = 1 1 1 1
@parameter float Reflectivity = 0.5
@parameter texturecube CubeTex
@parameter texture ToonTex clamp linear

@glsl vertex MeshVS
out vec3 worldPosition;
out vec3 worldNormal;
out float viewDepth;
void main() {
  vec4 world = mW * inPosition;
  vec4 view = mV * world;
  worldPosition = world.xyz;
  worldNormal = mat3(mW) * inNormal;
  viewDepth = view.z;
  gl_Position = mP * view;
}

@glsl fragment MirrorPS
in vec3 worldPosition;
in vec3 worldNormal;
in float viewDepth;
void main() {
  vec3 normal = normalize(worldNormal);
  vec3 reflected = reflect(normalize(worldPosition - CamPos), normal);
  float light = dot(normal, -normalize(LightDir)) * 0.5 + 0.5;
  vec3 ramp = texture(ToonTex, vec2(clamp(light, 0.02, 0.98), 0.5)).rgb;
  vec3 mirror = texture(CubeTex, reflected).rgb;
  outColor0 = vec4(mix(MateDiffuse.rgb * ramp, mirror, Reflectivity), MateDiffuse.a);
  outColor1 = vec4(normalize(mat3(mV) * normal) * 0.5 + 0.5, 1.0);
  outColor2 = vec4(viewDepth, 0.0, 0.0, 1.0);
}

@technique Tech
@pass P0 MeshVS MirrorPS
