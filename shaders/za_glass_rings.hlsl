// ZA: a straight-ahead flight down a round tube that bends away ever more strongly ahead.
// Every 8 units stands a ring of hexagonal glass blocks, each 4-unit slice turned by its own
// angle; blocks and wall melt into each other with a softness driven by e. The blocks
// refract and glow in a hue per ring; the wall is a bright white mirror.

// D.y = tube wall (positive inside the tube), D.x = ring blocks.
float M5(float3 p) {
  float a = 3.85;
  float c = t * 9 + e * 9 - p.z;
  p.x = p.x + .64 * sin(p.z * .012 + e * 4) * c;
  p.y = p.y + .36 * cos(p.z * .007 + e * 3) * c;
  D.y = a * 2 - length(p.xy);                // a cylinder without end in z, inside out
  p.xy = W(p.xy, 32 * sin(floor(p.z / 4) * .1 + t * .05 + e * .1));
  float b = .0275 + .025 * sin(t * .1) * N(p * 6 - 6 * sin(t * .1));
  p = float3(atan2(p.x, p.y) * a, length(p.xy) - a, p.z);
  p.x = fmodD(p.x + 1000, 4) - 2;
  p.z = fmodD(p.z + 8002, 8) - 4;
  D.x = H(p, 2, .5);
  // Smooth union with the sharpness 1.2 + sin(e*4), from .2 (very soft) to 2.2.
  return S(D.x, D.y, (1.2 + sin(e * 4))) + b;
}

float3 zaNormal(float3 p) {
  float dx = M5(p + float3(.05, 0, 0));
  float dy = M5(p + float3(0, .05, 0));
  float dz = M5(p + float3(0, 0, .05));
  float d0 = M5(p);
  return normalize(float3(dx, dy, dz) - d0);
}

[numthreads(16,16,1)] void ZA(uint3 v : SV_DispatchThreadID) {
  if (v.x >= uint(x) || v.y >= uint(y)) return;
  float2 u = float2(v.xy) / float2(x, y) - .5;
  float3 r = float3(u.x / (y / x), u.y, 1);      // not normalised, here or later
  float3 p = float3(0, 0, t * 9 + e * 9 + .001);
  float3 q = p;
  float3 l = float3(0, 0, -1);
  float3 c = float3(0, 0, 0);
  int f = signD(M5(p));
  int i = 0;
  int j = 1;
  float z = 0;
  float a = 1;                                   // weight of hits seen through glass
  int ccc = 0;                                   // previous continuation: 0 refraction, 1 reflection
  [loop] while (++i < 166 && z < 99) {
    float d = M5(p) * f;
    p = p + d * r;
    z = length(p - q);
    if (d < .01) {
      int cc = D.x < D.y ? 0 : 1;
      float3 n = f * zaNormal(p);
      // Blocks: a saturated hue per ring, brightened by .3 (e2 + e3) in every channel.
      float3 col = cc == 0 ? V(.33 * sin(floor(p.z / 8) * 1.6) - .17, 0, 1) + .3 * e3 + .3 * e2
                           : float3(1, 1, 1) * (9 + 3 * e3);
      // Beyond z = 99 (only after a refraction jump) the base is negative: NaN, stored black.
      c = c + col * saturate(dot(n, l)) * (.02 + powD(saturate(dot(n, normalize(l - r))), 99)) *
                  (ccc == 0 ? a : .1) * powD(1 - z / 99, 4);
      if (++j > 5) break;
      if (cc == 0) {
        f = -f;
        p = p + r;
        r = refract(r, n, .85);
        a = a - .1;
        ccc = 0;
      } else {
        r = reflect(r, n);
        p = p + r * .02;
        ccc = 1;
      }
    }
  }
  c = lerp(c, powD3(c, float3(9, 9, 9)), .5);
  storeW(v.xy, float4(powD3(c, float3(.45, .45, .45)), 1));
}
