
// ---------------------------------------------------------------------------------------------
// Z1: the title. Background, the embossed rainbow logo (T1) sliding down, two growing rainbow
// lines, the colour-cycled credits (T5) sliding in from the right, and the wavy scroller (T2) in
// white with 24 fading echoes. Two-dimensional: no ray march, no distance function.
// Every text read goes through LOADT: truncation toward zero, zero outside the texture.
// ---------------------------------------------------------------------------------------------

// The logo read at an offset o (in picture fractions): a texel spans 5 pixels across and
// 1/.12 pixels down; it sits .2*s of the picture height above its resting place.
float4 z1Logo(float2 u, float2 o, float s) {
  return LOADT(T1, float2((u.x + o.x) * x / 5, (u.y + o.y + .2 * s) * (y * .6) / 5));
}

// One scroller copy: left edge at `left` of the width, top edge at `top` of the height, 5x5-pixel texels.
float4 z1Scroll(float2 u, float left, float top) {
  return LOADT(T2, float2((u.x - left) * x / 5, (u.y - top) * y / 5));
}

[numthreads(16,16,1)] void Z1(uint3 v : SV_DispatchThreadID) {
  float2 u = v.xy / float2(x, y);
  float2 a = float2(1.5 / x, 1.5 / y);
  float s = saturate(1 - t * .25);   // logo slide: 1 at t = 0, 0 from t = 4
  float s5 = saturate(1 - t * .2);   // credits slide: 1 at t = 0, 0 from t = 5

  float3 c = V(.95, .3, .25);        // (.1275, .075, .25)

  // Emboss: highlight one and a half pixels up-left of a glyph edge, shadow down-right.
  float4 b = saturate(z1Logo(u, float2(0, 0), s));
  c += z1Logo(u, a, s).xyz;
  c += V(u.y * 2 + t * .1, 0, b.xyz);
  c -= z1Logo(u, -a, s).xyz;

  // The two lines, growing a quarter of the width per unit of t.
  if (u.y > .15 && u.y < .155 && u.x < t / 4) c = V(u.x + t * .2, 0, 1);
  if (u.y > .95 && u.y < .955 && u.x > 1 - t / 4) c = V(u.x - t * .2, 0, 1);

  // Credits: 2x2-pixel texels, hue by row and time, paler with the flash e2.
  c += LOADT(T5, float2((u.x - (.83 + s5)) * x / 2, (u.y - .96) * y / 2)).xyz
       * V(v.y * .01 + t, .2 + e2 * .3, 1);

  // Echoes first, then the scroller itself in white on top.
  [loop] for (int i = 1; i < 25; i++) {
    float xi = -t * .14 + 2 - i * .02 * sin(t - i * .1);
    float yi = .5 + .15 * sin(u.x * 3 + t * 4 + i * .3) + .1 * cos(u.x * 7 + t * 3 + i * .2)
              + .1 * sin(u.x * 5 - t * 2 + i * .3);
    c += z1Scroll(u, xi, yi).xyz * V(-i * .23, .2, pow(.9 - i * .02, 6));
  }
  float x0 = -t * .14 + 2;
  float y0 = .5 + .15 * sin(u.x * 3 + t * 4) + .1 * cos(u.x * 7 + t * 3) + .1 * sin(u.x * 5 - t * 2);
  c += z1Scroll(u, x0, y0).xyz * V(0, 1, 1);

  storeW(v.xy, float4(c, 1));
}
