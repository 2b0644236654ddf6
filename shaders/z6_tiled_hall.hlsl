
// ---------------------------------------------------------------------------------------------
// Z6: the tiled hall. A fast flight along an endless hall whose walls bulge outward at
// mid-height; hexagonal half-columns every 40 units along both walls carry travelling bands of
// light; floor and ceiling are paved with rounded tiles that bob on their own phases. Every
// surface reflects, up to three hits; a distance fog that may extrapolate past its colour and a
// contrast step finish the picture.
// ---------------------------------------------------------------------------------------------

// Distance to the hall's inner surface (D.x), the columns (D.y) and the tiles (D.z).
float M6(float3 p) {
  float b = floor(p.x / 8) * floor(p.z / 8);   // the tile's phase seed
  float a = .2 * N(p * .1);                    // surface displacement
  float3 pp = p;
  float s = pp.y * .01;
  pp.x = pp.x * (.6 + s * s);                  // walls bulge outward at mid-height
  D.x = -C(pp, float3(64, 50, INFD));          // hall without end along z, positive inside
  pp.z = fmodD(pp.z, 40) - 20;
  pp.x = abs(pp.x) - 64;
  D.y = H(pp.xzy, 2, 40);                      // vertical hexagonal column, half in the wall
  p.xz = fmodD2(p.xz + 800, 8) - 4;
  p.y = abs(p.y) - (40 + sin(b * .3 + t + e * 66));
  D.z = D(p, float3(3.5, 2, 3.5)) - .5;
  return min(min(D.x, D.z) + a, D.y);
}

[numthreads(16,16,1)] void Z6(uint3 v : SV_DispatchThreadID) {
  float2 u = v.xy / float2(x, y) - .5;
  float3 r = normalize(float3(u.x / (y / x), u.y, 1));
  float3 l = float3(0, 0, -1);                 // fixed: it does not turn with the camera
  float3 p = float3(66 * cos(t * .4 + e * 3), 15 * sin(t * .3 + e * 4), t * 66 + e * 999);
  float3 q = p;
  r.xz = W(r.xz, .5 * sin(t * .4 + e * 3));
  r.yz = W(r.yz, .3 * cos(t * .3 + e * 4));
  r.xy = W(r.xy, .5 * cos(t * .4 + e * 3));
  float3 c = float3(0, 0, 0), n = float3(0, 0, 0), base = float3(0, 0, 0);
  int f = signD(M6(p));
  int i = 0, j = 1, cc = 0;
  float z = 0, d = 0, a = 1, k = 0;
  [loop] while (++i < 222 && z < 1666) {
    d = M6(p) * f;
    p = p + d * r;
    z = length(p - q);
    if (d < .01) {
      // Material from the call before the step: 0 hall, 1 column, 2 tile.
      cc = D.x < D.y && D.x < D.z ? 0 : (D.y < D.z ? 1 : 2);
      n = f * normalize(float3(M6(p + float3(.1, 0, 0)), M6(p + float3(0, .1, 0)), M6(p + float3(0, 0, .1))) - M6(p));
      if (cc == 0) base = V(.1, .5, .5);
      else if (cc == 1) {
        k = floor(p.z / 40);                   // the two columns at one depth share a hue
        base = V(k * .6, .2, 1) * (22 * pow(.5 + .5 * sin(p.y * .03 + t + e * 66 * sin(k * .3) + floor(p.z / 40 + 1)), 22));
      } else base = V(.6, .15, 1) * .5 + .3 * e2;   // orange, whitened by the flash
      c = c + base * (.3 + saturate(dot(n, l))) * (.3 + 2 * pow(saturate(dot(n, normalize(l - r))), 9)) * a *
                  saturate(1 - z / 1666);
      if (++j > 3) break;
      r = reflect(r, n);
      p = p + r * .02;
      a = .1;
    }
  }
  float fog = z / 1666;
  c = lerp(c, V(t * .1, .2, .1), fog * fog * fog);   // weight above 1 extrapolates past the fog
  c = lerp(c, powD3(c, 9), .5);                       // a negative channel becomes NaN, stored 0
  storeW(v.xy, float4(powD3(c, .45), 1) * saturate(3.2 - length(u * 3)));
}
