// PLACEHOLDER frame: parameters and resources only; the full frame (macros, noise, helpers) replaces this.
float e, e2, e3, t, x, y;
Texture2D<float4> T : register(t0);
Texture2D<float4> T1 : register(t1);
Texture2D<float4> T2 : register(t2);
Texture2D<float4> T3 : register(t3);
Texture2D<float4> T4 : register(t4);
Texture2D<float4> T5 : register(t5);
SamplerState SS : register(s0);
RWTexture2D<float4> w : register(u0);
