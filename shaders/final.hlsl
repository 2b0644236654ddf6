// ZB: the clear pass, opaque black. ZZ: the final pass over T, the copy of this frame's scene:
// the scene unchanged until t = 75, then a spiral glow and, around every scene change, square
// blocks anchored at the centre of the picture.
[numthreads(16,16,1)] void ZB(uint3 v : SV_DispatchThreadID) { storeW(v.xy, float4(0, 0, 0, 1)); }

[numthreads(16,16,1)] void ZZ(uint3 v : SV_DispatchThreadID) {
  float3 c = float3(0, 0, 0);
  float r = 1;
  float2 p = 2 * float2(y, x) / x;
  float2 a = float2(0, LOADT(T, float2(v.xy)).w);
  // Block size: pow of a negative cosine is NaN; the branch is written out so that no
  // compiler's NaN handling is involved.
  float k = t < 160 ? cos(fmodD(t, 80) / PI * .25) : cos(fmodD(t, 40) / PI * .5);
  // The block's side in pixels, one pixel (exactly) between the build-ups.
  float s = 1;
  if (k >= 0) s = max(powD(k, t < 160 ? 88 : 44) * x * .5, 1);
  // Each pixel takes the corner nearest the centre of the block its own centre lies in, the
  // blocks counted from the centre pixel outwards on both sides (so the two middle ones meet
  // there). Whole-pixel offsets and the half pixel keep every compiler's last bit away from a
  // block edge: one-pixel blocks are the picture itself.
  float2 h = floor(float2(x, y) * .5);
  float2 d = float2(v.xy) - h;
  float2 q = h + float2(signD(d.x), signD(d.y)) * floor((abs(d) + .5) / s) * s;
  [loop] for (int i = 0; i < 30; i++) {
    r = r + 1 / r;
    a = W(a, 2);
    c = c + LOADT(T, q + p * (r - 1) * a).xyz;
  }
  float4 o = LOADT(T, float2(v.xy));
  if (t >= 75) o = lerp(LOADT(T, q) * 2, powD4(float4(c / 40, 1) * 1.5, float4(3, 3, 3, 3)), .5);
  storeW(v.xy, o);
}
