
// ---------------------------------------------------------------------------------------------
// Z2: the lettered ring tunnel. Turned glass rings every 8 units along z, the VELM text (T1) as
// raised lettering on both faces, inside an octagonal tube whose walls light up with the Thirty
// text (T3) during the flashes of e3. Rays refract through at most three surfaces.
// Opening: 80 <= t <= 90 the camera hangs still while the view narrows from 180 degrees and the
// discs open into rings; from t = 90 the flight, the circling, the turns and the bend fade in.
// ---------------------------------------------------------------------------------------------

// Ramps shared by the camera and M2.
float z2Flight() { return saturate((t - 90) / 10); }       // g: 0 until t = 90, 1 from t = 100
float z2Since() { return max(t - 90, 0); }                  // m
float z2Depth() { return z2Flight() * z2Since() * 9 + e * 33; }  // camera depth

// Distance to the rings, their lettering and the tube. Leaves D.x (ring body), D.y (lettering),
// D.z (tube) and C (the folded tube coordinate, for the wall lettering).
float M2(float3 p) {
  float a = 2 * PI;
  float g = z2Flight(), m = z2Since();
  float d = (p.z - z2Depth()) / 222;   // 0 at the camera, 1 at the far end of the march

  // Octagonal tube along z, walls 19 to 21 units from the axis; neither bent nor turned.
  float3 pp = p;
  Y(pp.xy, 4);
  pp.y -= 20;
  C = pp;
  D.z = C(pp, float3(20, 1, INFD));   // infinite half-length: a tube without end

  // Bend, growing with depth from zero at the camera. 24 and 13 are the depth limit divided by
  // 9 and by 16 in integer arithmetic (222/9, 222/16), not 24.67 and 13.875.
  float k = floor(p.z / 8);
  p.x += g * (24 * sin(m + k * .2) * d);
  p.y += g * (13 * cos(m * .7 + k * .2) * d);

  // Each ring turned about the axis by its own angle.
  p.xy = W(p.xy, 3 * PI * sin(t * .03 + e * .9 + k));

  // Ring coordinates: angle from +y toward +x (scaled by a), distance from radius a, depth.
  p = float3(atan2(p.x, p.y) * a, length(p.xy) - a, p.z);
  p.z = fmodD(p.z + 1000, 8) - 4;

  // Body: a closed ring, a disc until its radial half-size drops below a (t ~ 83).
  D.x = C(p, float3(20, 2.2 + 6 * (1 - saturate((t - 80) / 10)), .5));
  // Lettering: axial half-thickness .7 under a glyph, .2 elsewhere (inside the body).
  float lvl = .5 * T1.SampleGrad(SS, p.xy / -float2(50, 4) + .5, float2(0, 0), float2(0, 0)).x + .2;
  D.y = C(p, float3(20, 2.1, lvl));

  return .5 * minD(minD(D.x, D.y), D.z) + .002 * N(p * 16);
}

[numthreads(16,16,1)] void Z2(uint3 v : SV_DispatchThreadID) {
  float2 u = v.xy / float2(x, y) - .5;
  float g = z2Flight(), m = z2Since();

  // At t = 80 the rays have no forward part (a 180-degree view); the centre ray of an even-sized
  // picture is then zero and normalises to NaN, which the store turns into black. The NaN is
  // written out: Vulkan leaves the normalisation of a zero vector undefined.
  float3 r = float3(u.x / (y / x), u.y, 1 - saturate(1 - (t - 80) / 10));
  r = dot(r, r) > 0 ? normalize(r) : float3(NAND, NAND, NAND);
  float3 p = float3(g * 2 * sin(m * 3 + e * 2) + .01, g * 2 * cos(m * 2 + e * 3) + .01, z2Depth());
  float3 q = p;

  // Background: dim noise, darkest at the centre, its hue following the camera's depth.
  float3 c = (O(p + r * 6) * length(u)) * V(((p.z + 2) / 16) * .6, .3, .5);

  r.xz = W(r.xz, g * (.4 * sin(m * .5 + g * e * 4)));
  r.yz = W(r.yz, g * (.4 * cos(m * .7 + g * e * 3)));

  int f = signD(M2(p));
  float at = 1;     // weight of the next hit's term: 1, .8, .6
  float3 l = float3(0, 0, -1);
  float z = 0, d = 0;
  int i = 0, j = 1;
  [loop] while (++i < 333 && z < 222) {
    d = M2(p) * f;
    p += d * r;
    z = length(p - q);
    if (d < .01) {
      // Material from the step's call: 0 ring body, 1 lettering, 2 tube (later wins on ties).
      int cc = D.x < D.y && D.x < D.z ? 0 : (D.y < D.z ? 1 : 2);
      float3 nd = float3(M2(p + float3(.1, 0, 0)), M2(p + float3(0, .1, 0)), M2(p + float3(0, 0, .1)));
      float m0 = M2(p);    // last call: C now holds the hit point's folded tube coordinate
      float3 n = f * normalize(nd - m0);
      float3 base = float3(0, 0, 0);
      if (cc == 0) base = V((p.z / 16) * .6 + .25, .3, .15);
      else if (cc == 1) base = V((p.z / 16) * .6, .3, 1.5);
      else {
        // Wall lettering: the text across each face, in bands 4 long every 8 units of depth; the
        // half [1, 2) of the coordinate reads the empty last column or row.
        float2 st = fmodD2(float2(C.x + 8, -C.z + 6) / float2(16, 4) + 1000, float2(2, 2));
        base = e3 * 222 * T3.SampleGrad(SS, st, float2(0, 0), float2(0, 0)).x;
      }
      c += base * (.05 + saturate(dot(n, l))) * (.05 + pow(saturate(dot(n, normalize(l - r))), 99))
           * at * saturate(1 - z / 222);
      if (++j > 3 || cc == 2) break;
      f = -f;
      p += r;
      r = refract(r, n, .8);
      at -= .2;
    }
  }

  c = c * c;   // pow(c, 2)
  storeW(v.xy, float4(pow(c, .45), 1));
}
