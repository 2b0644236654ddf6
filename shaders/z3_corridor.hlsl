
// ---------------------------------------------------------------------------------------------
// Z3: the lamp-lit corridor. A square corridor along z that widens into a room every 40 units,
// a hexagonal light bar on each room's ceiling, two lamps at its upper side edges, and a ball
// bouncing along the floor ahead of the camera. One material; rays reflect once.
// The march is unsigned (no inside/outside sign) and takes z before each step.
// ---------------------------------------------------------------------------------------------

// Distance to the nearest light object: the ball (D.w), the light bars (D.z) and the lamps.
float LA(float3 p) {
  float3 pp = p - float3(3 * cos(t + e * 1.3), abs(5 * sin(t * 3 + e * 1.7)),
                         t * 6 + e * 99 + 77 + 66 * sin(t * .5 + e * 1.5));
  pp.y += 4.5;
  float stretch = cos(t * 6 + e * 3.4);
  pp.y *= 1 - .3 * (stretch * stretch);       // squared cosine, written as a product
  D.w = B(pp, 1);
  p.z = fmodD(p.z + 400, 40) - 20;            // cells centred on the depths 20 + 40k
  p.y -= 5;
  D.z = H(abs(p), .5, 4);                     // light bar half sunk into the ceiling
  p.x = abs(p.x) - 9;
  float lamp = B(p, .7);                      // lamps at x = +-9, y = 5
  return min(min(D.z, lamp), D.w);
}

// Scene distance: the free space of corridor and rooms, the light objects, and the etching.
float MA(float3 p) {
  D.x = LA(p);
  float3 pp = p;
  p.z = fmodD(p.z + 400, 40) - 20;
  // Corridor without end along z (INFD stands for the infinite half-size), rooms every 40 units.
  float room = max(-C(abs(pp), float3(5, 5, INFD)), -C(abs(p), float3(9, 5, 5)));
  float k = abs(floor(9 * N(p * 9)));         // noise level 0..9 of the repeated point
  float etch = fmodD(k, 9) < 3 ? 0 : .005;    // levels 3..8 sink .005 inward
  return min(D.x, room) + etch;
}

[numthreads(16,16,1)] void Z3(uint3 v : SV_DispatchThreadID) {
  float2 u = v.xy / float2(x, y) - .5;
  float3 r = normalize(float3(u.x / (y / x), -u.y, 1));   // +y up the screen
  float3 p = float3(4 * sin(t * .17 + e * 13), 3 * cos(t * .13 + e * 9), t * 6 + e * 99);
  float3 q = p;
  r.xz = W(r.xz, .6 * sin(t * .43 + e * 1.7));
  r.yz = W(r.yz, .2 * cos(t * .57 + e * 1.3));
  float3 l = float3(.5, .7, -1), ll = float3(-.5, -.7, -1);
  float3 c = float3(0, 0, 0), n = float3(0, 0, 0);
  int i = 0, j = 1;
  float z = 0, d = 0;
  [loop] while (++i < 222 && z < 222) {
    z = length(p - q);                        // distance at the start of this step
    d = MA(p);
    p = p + r * d;
    if (d < .01) {
      n = normalize(float3(MA(p + float3(.01, 0, 0)), MA(p + float3(0, .01, 0)), MA(p + float3(0, 0, .01))) - MA(p));
      float3 rr = reflect(r, n) * .75 + .25;
      float diffuse = lerp(saturate(dot(n, l)), saturate(dot(n, ll)), .5);
      float3 warm = pow(max(dot(rr, l), 0), 9) * V(.6, .5, 1);
      float3 cool = pow(max(dot(rr, ll), 0), 9) * V(.1, .5, 1);
      // Coloured glow of intensity 4 + 2 e3, falling off with the distance to the nearest light
      // and broken up by moving noise.
      float3 glow = V(p.z / 200 + abs(p.x * .02), .5, 1) * (4 + 2 * e3) / exp(LA(p) * .3) *
                    saturate(.5 + O(p * 33 + n + t * 6));
      c = c + (diffuse + warm + cool + glow) * (j == 1 ? 1 : .2) * (1 - z / 222);
      if (++j >= 3) break;
      r = reflect(r, n);
      p = p + r * .02;
    }
  }
  c = lerp(c, powD3(c, 3), .5);
  c = lerp(c, V(.2, .5, .7) / exp((1 - z / 222) * 2), .75);   // teal haze
  storeW(v.xy, float4(powD3(c / 3, .45), 1));
}
