
// PLACEHOLDER: a plain test picture until the scene is written.
[numthreads(16,16,1)] void Z9(uint3 v : SV_DispatchThreadID) {
  float2 u = v.xy / float2(x, y);
  w[v.xy] = float4(u, frac(t * .1), 1);
}
