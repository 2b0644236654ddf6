// ZB: the clear pass, opaque black. ZZ: the final pass over T, the copy of this frame's scene:
// the scene unchanged until t = 75, then a spiral glow and, around every scene change, square
// blocks anchored at the centre of the picture.
[numthreads(16,16,1)] void ZB(uint3 v : SV_DispatchThreadID) { storeW(v.xy, float4(0, 0, 0, 1)); }

[numthreads(16,16,1)] void ZZ(uint3 v : SV_DispatchThreadID) {
  float3 c = float3(0, 0, 0);
  float r = 1;
  float2 p = 2 * float2(y, x) / x;
  float2 a = float2(0, LOADT(T, float2(v.xy)).w);
  // Block factor: pow of a negative cosine is NaN and max then returns its other operand, the
  // floor 2/x; the branch is written out so that no compiler's NaN handling is involved.
  float k = t < 160 ? cos(fmodD(t, 80) / PI * .25) : cos(fmodD(t, 40) / PI * .5);
  float m = rcp(x * .5);
  float b = m;
  if (k >= 0) b = max(powD(k, t < 160 ? 88 : 44), m);
  float2 u = float2(v.xy) / float2(x, y) - .5;
  u = u - fmodD(u, rcp(float2(x, y)) * b * x * .5);
  [loop] for (int i = 0; i < 30; i++) {
    r = r + 1 / r;
    a = W(a, 2);
    c = c + LOADT(T, (u + .5) * float2(x, y) + p * (r - 1) * a).xyz;
  }
  float4 o = LOADT(T, float2(v.xy));
  if (t >= 75)
    o = lerp(LOADT(T, (u + .5) * float2(x, y)) * 2, powD(float4(c / 40, 1) * 1.5, float4(3, 3, 3, 3)), .5);
  storeW(v.xy, o);
}
