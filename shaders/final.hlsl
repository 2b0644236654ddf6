
// PLACEHOLDER: ZB and ZZ until the final pass is written.
[numthreads(16,16,1)] void ZB(uint3 v : SV_DispatchThreadID) { w[v.xy] = float4(0, 0, 0, 1); }
[numthreads(16,16,1)] void ZZ(uint3 v : SV_DispatchThreadID) { w[v.xy] = T.Load(int3(v.xy, 0)); }
