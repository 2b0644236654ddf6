// Shader frame shared by every entry point: parameters (b0), resources, statics, the macro and
// noise library, and the helpers that make the text mean the same on Direct3D and on Vulkan.
//
// Helpers (use these instead of the plain intrinsics wherever a picture depends on the rule). Each
// name has one declaration: not every HLSL compiler chooses between overloads, so a vector form
// carries its width in its name.
//   fmodD(a, b)   a - b*trunc(a/b), the sign of a; fmodD2 for float2
//   powD(x, y)    pow(x, 2) = x*x (any x); other powers of a negative base NaN; pow(0, y>0) = 0;
//                 powD3, powD4 componentwise
//   signD(x)      int -1/0/1
//   normD(s)      normalize of a scalar: its sign, NaN at 0
//   maxD, minD    a NaN operand returns the other one
//   LOADT(tex, p) Load from T or T1..T5 at float2/float3 p (the third component is ignored: mip 0),
//                 truncated toward zero (NaN -> 0, as Direct3D converts); outside the texture reads
//                 float4(0, 0, 0, 0)
//   storeW(v, c)  the store into w: NaN -> 0, saturated, pixels outside w are not written
//   NAND, INFD    quiet NaN and +infinity (INFD stands for 1.#INF), made at run time from the bits
//                 and the parameter x (the picture width, positive: the shift adds nothing), so that
//                 no compiler folds them into a literal, which WGSL forbids
//   isNaND(a)     the NaN test, by the bits: no compiler or driver may fold it away, and not every
//                 HLSL compiler knows isnan
// Every local and static gets a start value. INTRO_VULKAN is defined only by the Vulkan host.
// Loops that must stay loops carry [loop]: a compiler that unrolls a march of hundreds of steps
// takes minutes and megabytes of code for it, and Direct3D's compiler simulates every loop to
// decide unless it is told. The picture size comes from the parameters x and y (not every HLSL
// compiler takes GetDimensions on a RWTexture2D).
float e, e2, e3, t, x, y;
Texture2D<float4> T : register(t0);
Texture2D<float4> T1 : register(t1);
Texture2D<float4> T2 : register(t2);
Texture2D<float4> T3 : register(t3);
Texture2D<float4> T4 : register(t4);
Texture2D<float4> T5 : register(t5);
SamplerState SS : register(s0);
#ifdef INTRO_VULKAN
[[spv::format_rgba8]]
#endif
RWTexture2D<float4> w : register(u0);
static const float PI = acos(-1.);
static float3 C = float3(0, 0, 0);
static float4 D = float4(9, 9, 9, 9);
#define NAND asfloat(0x7fc00000u | (asuint(x) >> 31))
#define INFD asfloat(0x7f800000u | (asuint(x) >> 31))

#define W(p,a) cos(a)*p+sin(a)*float2(-p.y,p.x)
#define Y(a,b) float2 c=W(a,-PI/(b*2));a=W(a,floor(atan2(c.x,c.y)/PI*b)*PI/b)
#define S(a,b,c) -log(exp(-c*a)+exp(-c*b))/c
#define V(a,b,c) lerp(saturate(abs(frac(a+float3(1,2,3)/3)*6-3)-1),1,b)*c
#define B(p,a) (length(p)-a)
#define C(p,a) max(max(abs(p.x)-a.x,abs(p.y)-a.y),abs(p.z)-a.z)
#define D(a,b) length(max(abs(a)-b,0))
#define E(p,a,b) max(length(p.xy)-a,abs(p.z)-b)
#define F(p,a) (abs(p.x)+abs(p.y)+abs(p.z)-a)/3
#define H(p,a,b) max(max(abs(p.x)+abs(p.y)*.5,abs(p.y))-a,abs(p.z)-b)
#define P(p,a,b) max(max(abs(p.x)+p.y*.5,-p.y)-a,abs(p.z)-b)

bool isNaND(float a) { return (asuint(a) & 0x7fffffffu) > 0x7f800000u; }

float fmodD(float a, float b) { return a - b * trunc(a / b); }
float2 fmodD2(float2 a, float2 b) { return a - b * trunc(a / b); }

float powD(float a, float b) {
  float r = 0;
  if (b == 2) r = a * a;
  else if (isNaND(a) || isNaND(b) || a < 0) r = NAND;
  else if (a == 0) r = b > 0 ? 0 : (b < 0 ? INFD : NAND);
  else r = exp2(b * log2(a));
  return r;
}
float3 powD3(float3 a, float3 b) { return float3(powD(a.x, b.x), powD(a.y, b.y), powD(a.z, b.z)); }
float4 powD4(float4 a, float4 b) {
  return float4(powD(a.x, b.x), powD(a.y, b.y), powD(a.z, b.z), powD(a.w, b.w));
}

int signD(float a) { return (a > 0 ? 1 : 0) - (a < 0 ? 1 : 0); }

float normD(float a) { return a > 0 ? 1 : (a < 0 ? -1 : NAND); }

float maxD(float a, float b) { return isNaND(a) ? b : (isNaND(b) ? a : max(a, b)); }
float minD(float a, float b) { return isNaND(a) ? b : (isNaND(b) ? a : min(a, b)); }

// One loader per texture (Direct3D and Vulkan both take textures as globals most easily).
#define LOADT_BODY(tex)                                                                  \
  p = float2(isNaND(p.x) ? 0 : p.x, isNaND(p.y) ? 0 : p.y);                                \
  uint sx = 0, sy = 0;                                                                   \
  tex.GetDimensions(sx, sy);                                                             \
  float2 s = float2(sx, sy);                                                             \
  bool inside = p.x > -1 && p.y > -1 && p.x < s.x && p.y < s.y;                          \
  int2 i = int2(clamp(p, float2(0, 0), s - 1));                                          \
  float4 r = tex.Load(int3(i, 0));                                                       \
  return inside ? r : float4(0, 0, 0, 0);
float4 loadT_T(float2 p) { LOADT_BODY(T) }
float4 loadT_T1(float2 p) { LOADT_BODY(T1) }
float4 loadT_T2(float2 p) { LOADT_BODY(T2) }
float4 loadT_T3(float2 p) { LOADT_BODY(T3) }
float4 loadT_T4(float2 p) { LOADT_BODY(T4) }
float4 loadT_T5(float2 p) { LOADT_BODY(T5) }
#define LOADT(tex,p) loadT_##tex((p).xy)

void storeW(uint2 v, float4 c) {
  float4 k = float4(isNaND(c.x) ? 0 : c.x, isNaND(c.y) ? 0 : c.y, isNaND(c.z) ? 0 : c.z,
                    isNaND(c.w) ? 0 : c.w);
  if (v.x < uint(x) && v.y < uint(y)) w[v] = saturate(k);
}

float N(float3 p) {
  float3 c = floor(p);
  float3 b = cos((p - c) * PI) * -.5 + .5;
  float n = dot(c, float3(1, 57, 21));
  float4 a = n + float4(0, 57, 21, 78);
  a = lerp(sin(cos(a) * a), sin(cos(1 + a) * (1 + a)), b.x);
  a.xy = float2(lerp(a.x, a.y, b.y), lerp(a.z, a.w, b.y));
  return lerp(a.x, a.y, b.z);
}

float O(float3 p) {
  float s = 0, m = 1;
  for (int i = 0; i < 3; i++) {
    s += (N(p) + 1) * m;
    p = p * 2;
    m = m / 2;
  }
  return saturate(s / 4);
}

