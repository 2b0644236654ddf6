
// ---------------------------------------------------------------------------------------------
// Z5: the tiled cylinder. Rounded tiles in six colours pave the inside of a cylinder of radius
// 10, their heights rippling after each flash of e2; eight twisting hexagonal glass bars run
// along the axis with light pulses travelling along them. The ray is not normalised, bars
// refract, a first tile hit reflects, and the colour is multiplied by a glow summed per step,
// so open space stays black.
// ---------------------------------------------------------------------------------------------

// Distance to the tiles (D.x) and the bars (D.y); D.w names the tile.
float M4(float3 p) {
  float3 pp = p;
  pp.xy = W(pp.xy, sin(p.z * .1 + t));
  Y(pp.xy, 4);                                 // eight 45 degree sectors centred on +y
  pp.y -= 3 + cos(pp.z * .2 + t * .7 + e * 3) + sin(pp.z * .1 + t * .5 + e * 2);
  // Hexagonal bar without end along z. The size argument enters the prism as pasted text, so
  // its variation is subtracted: the half-size is .5 - .2 sin(..) - .2 cos(..), .1 to .9.
  D.y = max(max(abs(pp.x) + abs(pp.y) * .5, abs(pp.y)) - .5 + .2 * sin(pp.z * .1 + t + e * 2) +
                .2 * cos(pp.z * .17 + t * .8 + e * 3),
            abs(pp.z) - INFD);
  float a = .002 * N(p * 6);
  float b = floor(p.z / 4) * 8;                // row index times 8
  float f = atan2(p.x, p.y);                   // angle from +y toward +x
  D.w = floor(f * 2.5) + b;
  p = float3(atan2(p.x, p.y) * 10, length(p.xy) - 10, p.z);
  p.x = fmodD(p.x + 400, 4) - 2;
  p.z = fmodD(p.z + 400, 4) - 2;
  D.x = D(p, float3(1.5, 1 + .3 * sin(floor(f * 2.5) + e2 * 66 + cos(b + e2 * 66)), 1.5)) - .45;
  return min(D.x, D.y) + a;
}

[numthreads(16,16,1)] void Z5(uint3 v : SV_DispatchThreadID) {
  float2 u = v.xy / float2(x, y) - .5;
  float3 r = float3(u.x / (y / x), u.y, 1);   // not normalised
  float3 l = float3(0, 0, -1);
  float3 p = float3(6 * cos(t * .5 + e * 3), 6 * sin(t * .5 + e * 3), t * 9 + e * 99);
  float3 q = p;
  r.xz = W(r.xz, .3 * sin(t * .4 + e * 3));
  l.xz = W(l.xz, .3 * sin(t * .4 + e * 3));
  r.yz = W(r.yz, .3 * cos(t * .3 + e * 4));
  l.yz = W(l.yz, .3 * cos(t * .3 + e * 4));
  r.xy = W(r.xy, t * .5 + e * 5);
  l.xy = W(l.xy, t * .5 + e * 5);
  float3 c = float3(0, 0, 0), n = float3(0, 0, 0), base = float3(0, 0, 0);
  int f = signD(M4(p));
  int i = 0, j = 1, cc = 0, ccc = 0;
  float z = 0, d = 0, dd = 0;
  [loop] while (++i < 166 && z < 99) {
    d = M4(p) * f;
    p = p + d * r;
    z = length(p - q);
    dd = dd + exp(-d);
    if (d < .01) {
      cc = D.x < D.y ? 0 : 1;                  // 0 tile, 1 bar, from the call before the step
      n = f * normalize(float3(M4(p + float3(.01, 0, 0)), M4(p + float3(0, .01, 0)), M4(p + float3(0, 0, .01))) - M4(p));
      // The tile identifier is the one stored by the normal's last call, at the hit point.
      if (cc == 0) base = V(fmodD(D.w, 6) * .09 - .6, .1, 1) * 22 + 22 * e2;   // whitens at a flash
      else base = V(p.z * .005, .2, 1) * (pow(.5 + .5 * sin(p.z * .1 - e * 99), 7) * 999);
      c = c + base * (.002 + saturate(dot(n, l))) * (.002 + pow(saturate(dot(n, normalize(l - r))), 66)) *
                  saturate(1 - z / 99) * (ccc == 1 ? .001 : 1);
      if (++j > 5) break;
      if (cc == 1) {
        f = -f;
        p = p + r;
        r = refract(r, n, .5);
        ccc = 0;
      } else {
        if (j > 2) break;                      // only a first hit on a tile reflects
        r = reflect(r, n);
        p = p + r * .02;
        ccc = 1;
      }
    }
  }
  c = c * dd * .2;
  c = lerp(c, powD3(c, 9), .8);
  storeW(v.xy, float4(powD3(c, .45), 1) * saturate(3.2 - length(u * 3)));
}
