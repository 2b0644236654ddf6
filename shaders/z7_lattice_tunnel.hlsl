// Z7: a slow flight through a square channel in an endless lattice of hexagonal bars
// that twists about the flight axis. Glassy square patches on the bars refract; rings of
// white light run over the bare bars; the patches pulse in the opposite phase.

// Lattice of period 2 with hexagonal bars of radius .2 along x, y and z, smoothly joined;
// D.x = lattice, D.y = the thin glassy skin cut into square patches.
float M7(float3 p) {
  p.xy = W(p.xy, 6 * sin(p.z * .05 + e * 1.6));
  float a = .002 * N(p * 33);
  p = frac(p / 2) * 2 - 1;
  D.x = S(H(p, .2, 1), S(H(p.xzy, .2, 1), H(p.yzx, .2, 1), 5), 5);
  p = abs(frac(p * 2) * .5 - .25);
  D.y = max(abs(D.x), abs(D(p, float3(.125, .125, 1)))) - .01;
  return .5 * S(D.x, D.y, 16) + a;
}

// Forward-difference normal; the call at p itself runs last, so D holds its values afterwards.
float3 z7Normal(float3 p) {
  float dx = M7(p + float3(.01, 0, 0));
  float dy = M7(p + float3(0, .01, 0));
  float dz = M7(p + float3(0, 0, .01));
  float d0 = M7(p);
  return normalize(float3(dx, dy, dz) - d0);
}

// Tone steps after the march: contrast driven by e2, grey haze growing with the distance z,
// gamma, and the corner factor (1 everywhere at this size of u).
float4 z7Tone(float3 c, float z, float2 u) {
  c = lerp(c, powD3(c, (9 - 8 * e2).xxx), .5);
  float h = z / 33;
  c = lerp(c, h * h * (h * h), .5);
  return float4(powD3(c, float3(.45, .45, .45)), 1) * saturate(3.2 - length(u * 3));
}

[numthreads(16,16,1)] void Z7(uint3 v : SV_DispatchThreadID) {
  if (v.x >= uint(x) || v.y >= uint(y)) return;
  float2 u = float2(v.xy) / float2(x, y) - .5;
  float3 r = normalize(float3(u.x / (y / x), u.y, 1));
  float3 p = float3(.5 * sin(t + e * 4), .5 * cos(t * .7 + e * 3), t * 3 + e * 9);
  float3 q = p;
  float3 l = float3(.6, .3, -1);
  float3 c = float3(0, 0, 0);
  r.xz = W(r.xz, .4 * sin(t * .4 + e * 3));
  r.yz = W(r.yz, .4 * cos(t * .3 + e * 4));
  int f = signD(M7(p));
  int i = 0;
  int j = 1;
  float z = 0;
  [loop] while (++i < 333 && z < 33) {
    float d = M7(p) * f;
    p = p + d * r;
    z = length(p - q);
    if (d < .01) {
      int cc = D.x < D.y ? 0 : 1;
      float3 n = f * z7Normal(p);
      float g = .5 * length(p.xy) + floor(p.z) + t + e * 44;
      float3 col = float3(0, 0, 0);
      if (cc == 0)
        col = V(0, 1, 9 * powD(.5 + .5 * sin(g), 22));
      else
        col = V(floor(p.z) * .1, .1, 2) + 22 * powD(.5 + .5 * sin(g + PI), 22);
      c = c + col * (.05 + saturate(dot(n, l))) * (.05 + powD(saturate(dot(n, normalize(l - r))), 99)) *
                  saturate(1 - z / 33);
      if (++j > 3) break;
      if (cc == 1) {
        f = -f;
        p = p + r;
        r = refract(r, n, .5);
      } else {
        if (j > 2) break;
        r = reflect(r, n);
        p = p + r * .02;
      }
    }
  }
  storeW(v.xy, z7Tone(c, z, u));
}
