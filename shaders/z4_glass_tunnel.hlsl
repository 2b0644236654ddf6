
// ---------------------------------------------------------------------------------------------
// Z4: the ribbed glass tunnel. A circular tunnel whose radius swells with depth and which bends
// away ahead of the camera; twisting glass ribs with octahedra along its white wall, and hollow
// glass triangles every 20 units around the camera's path. Glass refracts, the wall reflects, up
// to five hits, and a glow summed over every step lights the picture.
// ---------------------------------------------------------------------------------------------

// Distance to ribs and octahedra (D.x), triangles (D.y) and the tunnel wall (D.z).
float M3(float3 p) {
  float a = 14 + 4 * sin(p.z * .05) + 2 * cos(p.z * .13);   // tunnel radius at this depth
  float c = t * 9 + e * 22 - p.z;                            // lag behind the camera's depth
  p.x += .64 * sin(p.z * .012 + e * 6) * c;
  p.y += .36 * cos(p.z * .007 + e * 5) * c;
  float3 pp = p;
  pp.z = fmodD(pp.z + 2000, 20) - 10;
  pp.xy = W(pp.xy, 16 * sin(floor(p.z / 20) * 3 + p.z * .01 + t * .05 + e));
  D.y = max(P(pp, 2, 5), -P(pp, 1.7, 6));                   // hollow triangular tube
  D.z = -E(p, a, INFD);                                      // wall, positive inside
  p.xy = W(p.xy, 3 * sin(p.z * .025 + t * .3 + e));          // twist
  float b = .003 * N(p * 3);
  p = float3(atan2(p.x, p.y) * a / 2, length(p.xy) - a, p.z);   // half arc, height, depth
  p.x = fmodD(p.x + 1000, 4) - 2;
  p.z = fmodD(p.z + 1000, 4) - 2;
  D.x = C(p, float3(.1, 5, 3));
  D.x = S(D.x, F(p, 1), 7);
  return .5 * S(min(D.x, D.y), D.z, 3) + b;
}

[numthreads(16,16,1)] void Z4(uint3 v : SV_DispatchThreadID) {
  float2 u = v.xy / float2(x, y) - .5;
  float3 r = normalize(float3(u.x / (y / x), u.y, 1));
  float3 l = float3(0, 0, -1);
  float3 p = float3(0, 0, t * 9 + e * 22);
  float3 q = p;
  float3 c = float3(0, 0, 0), n = float3(0, 0, 0), base = float3(0, 0, 0);
  int f = signD(M3(p));
  int i = 0, j = 1, cc = 0, ccc = 0;
  float z = 0, d = 0, a = 1, dd = 0, b = 0, k = 0;
  [loop] while (++i < 333 && z < 99) {
    d = M3(p) * f;
    p = p + d * r;
    z = length(p - q);
    dd = dd + exp(-d);
    if (d < .01) {
      // Material from the call before the step: 0 ribs and octahedra, 1 triangles, 2 wall.
      cc = D.x < D.y && D.x < D.z ? 0 : (D.y < D.z ? 1 : 2);
      n = f * normalize(float3(M3(p + float3(.1, 0, 0)), M3(p + float3(0, .1, 0)), M3(p + float3(0, 0, .1))) - M3(p));
      b = pow(saturate(dot(n, l)), 3);
      k = ccc < 2 ? a : .1;
      if (cc == 0) base = V(.25 * sin(p.z / 8) - .17, .2, 9);
      else if (cc == 1) base = V(.25 * sin(p.z / 20) - .17, 0, 1) * 9 + 5 * e2;   // whitens at a flash
      else base = float3(9, 9, 9);
      c = c + base * b * (.1 + pow(saturate(dot(n, normalize(l - r))), 33)) * k * powD(1 - z / 99, 4);
      if (++j > 5) break;
      if (cc < 2) {
        f = -f;
        p = p + r;
        r = refract(r, n, .9);
        a -= .2;
        ccc = 0;
      } else {
        r = reflect(r, n);
        p = p + r * .02;
        ccc = 2;
      }
    }
  }
  c = lerp(c, powD3(c, 9), .5);
  c = c + (.1 + c) * dd * .001;
  storeW(v.xy, float4(powD3(c, .45), 1));
}
