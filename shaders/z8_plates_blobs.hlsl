// Z8: a wide view between two endless plates, floor and ceiling, through which tall
// rounded blobs rise and fall, one per 20 x 20 cell on its own phase, melting into the
// plates. Fractal noise drifting with time eats every surface. Hard-edged shading from two
// lights: the diffuse term is the mean of two signs, so a surface facing neither light
// subtracts colour and its channels end up black.

// Plates at 9 < |y| < 11 softly united with the blobs, eroded by noise; D.x = the result.
float M8(float3 p) {
  float3 pp = p;
  float a = O(p * .15 + t);
  p.y = abs(p.y) - 10;
  D.x = abs(p.y) - 1;                        // box with infinite half-sizes in x and z
  pp.xz = fmodD2(pp.xz + 1000, 20) - 10;
  pp.y = pp.y * .25;
  pp.y = pp.y - 15 * sin(t * .3 + N(floor(float3(p.x, 0, p.z) / 20)) * 60);
  D.x = S(D.x, B(pp, 1), .6) + a;
  return D.x;
}

float3 z8Normal(float3 p) {
  float dx = M8(p + float3(.1, 0, 0));
  float dy = M8(p + float3(0, .1, 0));
  float dz = M8(p + float3(0, 0, .1));
  float d0 = M8(p);
  return normalize(float3(dx, dy, dz) - d0);
}

// Colour of one hit (weight 1 for the first, .05 later): the mean of the signs of the two
// light terms (NaN where one of them is exactly 0) times the surface colour, plus a highlight
// per light taken from the scaled and shifted reflection vector.
float3 z8HitColour(float3 n, float3 r, float weight) {
  float3 l = float3(.5, .7, 1);
  float3 ll = float3(-.5, -.7, 1);
  float3 m = reflect(r, n) * .75 + .25;
  float s = lerp(normD(dot(l, n)), normD(dot(ll, n)), .5);
  float hl = saturate(dot(m, l));
  float hll = saturate(dot(m, ll));
  return (V(.93, .5, 1) * s + hl * hl * hl * V(.73, .25, 1) + hll * hll * hll * V(.23, .25, 1)) * weight;
}

// pow with an exponent known only at run time: a negative base gives NaN for every exponent,
// 2 included (powD keeps x*x for the literal square).
float z8Pow(float a, float k) { return a < 0 ? NAND : powD(a, k); }

// Contrast (a negative channel turns NaN here and is stored as 0), fog toward the surface
// colour with the distance z, gamma, and the corner factor (1 everywhere at this size of u).
float4 z8Tone(float3 c, float z, float2 u) {
  float k = 7 - 6 * e2;
  c = lerp(c, float3(z8Pow(c.x, k), z8Pow(c.y, k), z8Pow(c.z, k)), .5);
  c = lerp(c, V(.93, .5, 1) / exp((1 - z / 222) * 5), .75);
  return float4(powD3(c / 3, float3(.45, .45, .45)), 1) * saturate(3.2 - length(u * 3));
}

[numthreads(16,16,1)] void Z8(uint3 v : SV_DispatchThreadID) {
  if (v.x >= uint(x) || v.y >= uint(y)) return;
  float2 u = float2(v.xy) / float2(x, y) - .5;
  float3 r = normalize(float3(u.x / (y / x), u.y, .5));
  float3 p = float3(99 * sin(t * .03 + e * 9), 0, 99 * cos(t * .05 + e * 7));
  float3 q = p;
  float3 c = float3(0, 0, 0);
  r.yz = W(r.yz, .2 * sin(t * .13 + e * 9));
  r.xz = W(r.xz, 1.3 * cos(t * .05 + e * 5));
  r.xy = W(r.xy, .4 * sin(t * .17 + e * 7));
  int i = 0;
  int j = 1;
  float z = 0;
  [loop] while (++i < 99 && z < 222) {
    float d = M8(p);
    p = p + r * d;
    z = length(p - q);
    if (d < .1) {
      float3 n = z8Normal(p);
      // D.x < D.y always holds (M8 never writes D.y): one material.
      c = c + z8HitColour(n, r, j == 1 ? 1. : .05);
      if (++j > 3) break;
      r = reflect(r, n);
      p = p + r * .2;
    }
  }
  storeW(v.xy, z8Tone(c, z, u));
}
