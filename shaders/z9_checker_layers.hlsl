// Z9: a flight along z through a stack of thin layers, one every 8 units, each a
// checkerboard of square plates with a rounded glass cushion through every plate. The layers
// ripple in concentric waves away from the axis; each layer has its own hue and the cushions
// glow with e3. The corner darkening lowers the stored alpha toward the corners, which the
// final pass reads to shrink its glow spiral there.

// D.w = rippled z (before the layer repetition), D.x = plates, D.y = cushions.
float M9(float3 p) {
  float lb = length(p.xy * .1);
  float b = 2 * (lb * lb);
  p.z = p.z + b * (sin(b * .3 + t * 3 + e * 7) + cos(b * .4 + t * 1.7 + e * 9) + cos(b * .2 + t * 2.3 + e * 6) +
                   sin(b * .5 + t * 4 + e * 8));
  D.w = p.z;
  float a = .0002 * N(p * 44);
  p.z = fmodD(p.z + 800, 8) - 4;
  float3 pp = p;
  p.xy = p.xy + 2;
  p.xy = fmodD2(p.xy + 100, 4) - 2;
  pp.xy = fmodD2(pp.xy + 100, 4) - 2;
  D.x = min(C(p, float3(1, 1, .2)), C(pp, float3(1, 1, .2)));
  D.y = min(D(p, float3(.5, .5, 0)) - .4, D(pp, float3(.5, .5, 0)) - .4);
  return .3 * min(D.x, D.y) + a;
}

float3 z9Normal(float3 p) {
  float dx = M9(p + float3(.01, 0, 0));
  float dy = M9(p + float3(0, .01, 0));
  float dz = M9(p + float3(0, 0, .01));
  float d0 = M9(p);
  return normalize(float3(dx, dy, dz) - d0);
}

// Contrast (a negative channel turns NaN here and is stored as 0), gamma, and the corner
// darkening, which scales the alpha too: 1 where length(u) <= .6, .786 in the corners.
float4 z9Tone(float3 c, float2 u) {
  c = lerp(c, powD3(c, float3(9, 9, 9)), .5);
  return float4(powD3(c, float3(.45, .45, .45)), 1) * saturate(2.2 - length(u * 2));
}

[numthreads(16,16,1)] void Z9(uint3 v : SV_DispatchThreadID) {
  if (v.x >= uint(x) || v.y >= uint(y)) return;
  float2 u = float2(v.xy) / float2(x, y) - .5;
  float3 r = normalize(float3(u.x / (y / x), u.y, .5));
  float3 p = float3(2.5 * sin((t + e * 5) * PI * .5), 2 + 2.5 * cos((t + e * 5) * PI * .25), t * 4 + e * 20);
  float3 q = p;
  float3 l = float3(.3, .5, -1);
  float3 c = float3(0, 0, 0);
  r.xz = W(r.xz, .5 * sin(t * .2 + e * .8));
  r.yz = W(r.yz, .5 * cos(t * .3 + e * 1.1));
  r.xy = W(r.xy, 6 * sin(t * .1 + e * .5));
  int f = signD(M9(p));
  int i = 0;
  int j = 1;
  float z = 0;
  [loop] while (++i < 99 && z < 33) {
    float d = M9(p) * f;
    p = p + d * r;
    z = length(p - q);
    if (d < .01) {
      float3 n = f * z9Normal(p);
      // Material from the normal's last call, at the hit point; D.w is positive here.
      int k = int(D.w / 8);
      bool plate = D.x < D.y;
      float3 col = plate ? V(k * .22, .2, .5) : V(k * .22 + .5, .2, e3 * .5);
      c = c + (col * saturate(dot(n, l)) + powD(saturate(dot(n, normalize(l - r))), 99)) * (1 - z / 33);
      if (++j > 5) break;
      if (plate) break;
      f = -f;
      p = p + r;
      r = refract(r, n, .7);
    }
  }
  storeW(v.xy, z9Tone(c, u));
}
