// Mirrors shaders/z3_corridor.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/z3_corridor.h"

namespace reference {
namespace {

float LA(State& s, float3 p) {
  const Params& q = s.q;
  float3 pp = p - float3{3 * std::cos(q.t + q.e * 1.3f), std::abs(5 * std::sin(q.t * 3 + q.e * 1.7f)),
                         q.t * 6 + q.e * 99 + 77 + 66 * std::sin(q.t * .5f + q.e * 1.5f)};
  pp.y += 4.5f;
  float k = std::cos(q.t * 6 + q.e * 3.4f);
  pp.y *= 1 - .3f * (k * k);
  s.D[3] = length(pp) - 1;
  p.z = fmodD(p.z + 400, 40) - 20;
  p.y -= 5;
  s.D[2] = H(abs(p), .5f, 4);
  p.x = std::abs(p.x) - 9;
  return std::min(std::min(s.D[2], length(p) - .7f), s.D[3]);
}
float MA(State& s, float3 p) {
  s.D[0] = LA(s, p);
  float3 pp = p;
  p.z = fmodD(p.z + 400, 40) - 20;
  float room = std::max(-C(abs(pp), {5, 5, INFD}), -C(abs(p), {9, 5, 5}));
  float k = std::abs(std::floor(9 * N(p * 9)));
  return std::min(s.D[0], room) + (fmodD(k, 9) < 3 ? 0 : .005f);
}
}  // namespace

float3 Z3(const Params& q, float ux, float uy) {
  State s{q};
  float3 r = normalize({ux / (q.y / q.x), -uy, 1});
  float3 p{4 * std::sin(q.t * .17f + q.e * 13), 3 * std::cos(q.t * .13f + q.e * 9), q.t * 6 + q.e * 99}, o = p;
  turn(r.x, r.z, .6f * std::sin(q.t * .43f + q.e * 1.7f));
  turn(r.y, r.z, .2f * std::cos(q.t * .57f + q.e * 1.3f));
  float3 l{.5f, .7f, -1}, ll{-.5f, -.7f, -1}, c{};
  int i = 0, j = 1;
  float z = 0;
  while (++i < 222 && z < 222) {
    z = length(p - o);
    float d = MA(s, p);
    p = p + r * d;
    if (d < .01f) {
      float3 n = normalize(
          float3{MA(s, p + float3{.01f, 0, 0}), MA(s, p + float3{0, .01f, 0}), MA(s, p + float3{0, 0, .01f})} +
          -MA(s, p));
      float3 rr = reflect(r, n) * .75f + .25f;
      float diffuse = lerp(saturate(dot(n, l)), saturate(dot(n, ll)), .5f);
      float3 glow = V(p.z / 200 + std::abs(p.x * .02f), .5f, 1) * (4 + 2 * q.e3) * (1 / std::exp(LA(s, p) * .3f)) *
                    saturate(.5f + O(p * 33 + n + q.t * 6));
      float3 terms = glow + V(.6f, .5f, 1) * powD(std::max(dot(rr, l), 0.f), 9) +
                     V(.1f, .5f, 1) * powD(std::max(dot(rr, ll), 0.f), 9) + diffuse;
      c = c + terms * ((j == 1 ? 1 : .2f) * (1 - z / 222));
      if (++j >= 3) break;
      r = reflect(r, n);
      p = p + r * .02f;
    }
  }
  c = lerp(c, powD3(c, 3), .5f);
  c = lerp(c, V(.2f, .5f, .7f) * (1 / std::exp((1 - z / 222) * 2)), .75f);
  return powD3(c * (1 / 3.f), .45f);
}

}  // namespace reference
