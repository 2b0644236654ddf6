// Mirrors shaders/z6_tiled_hall.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/z6_tiled_hall.h"

namespace reference {
namespace {

float M6(State& s, float3 p) {
  const Params& q = s.q;
  float b = std::floor(p.x / 8) * std::floor(p.z / 8), a = .2f * N(p * .1f);
  float3 pp = p;
  float k = pp.y * .01f;
  pp.x = pp.x * (.6f + k * k);
  s.D[0] = -C(pp, {64, 50, INFD});
  pp.z = fmodD(pp.z, 40) - 20;
  pp.x = std::abs(pp.x) - 64;
  s.D[1] = H({pp.x, pp.z, pp.y}, 2, 40);
  p.x = fmodD(p.x + 800, 8) - 4;
  p.z = fmodD(p.z + 800, 8) - 4;
  p.y = std::abs(p.y) - (40 + std::sin(b * .3f + q.t + q.e * 66));
  float3 out = abs(p) - float3{3.5f, 2, 3.5f};
  s.D[2] = length({std::max(out.x, 0.f), std::max(out.y, 0.f), std::max(out.z, 0.f)}) - .5f;
  return std::min(std::min(s.D[0], s.D[2]) + a, s.D[1]);
}
}  // namespace

float3 Z6(const Params& q, float ux, float uy) {
  State s{q};
  float3 r = normalize({ux / (q.y / q.x), uy, 1}), l{0, 0, -1};
  float3 p{66 * std::cos(q.t * .4f + q.e * 3), 15 * std::sin(q.t * .3f + q.e * 4), q.t * 66 + q.e * 999}, o = p, c{};
  turn(r.x, r.z, .5f * std::sin(q.t * .4f + q.e * 3));
  turn(r.y, r.z, .3f * std::cos(q.t * .3f + q.e * 4));
  turn(r.x, r.y, .5f * std::cos(q.t * .4f + q.e * 3));
  int f = signD(M6(s, p)), i = 0, j = 1;
  float z = 0, a = 1;
  while (++i < 222 && z < 1666) {
    float d = M6(s, p) * f;
    p = p + r * d;
    z = length(p - o);
    if (d < .01f) {
      int cc = threeWay(s);
      float3 n = normalOf(s, M6, p, .1f, f);
      float3 base;
      if (cc == 0) {
        base = V(.1f, .5f, .5f);
      } else if (cc == 1) {
        float k = std::floor(p.z / 40);
        base = V(k * .6f, .2f, 1) *
               (22 * powD(.5f + .5f * std::sin(p.y * .03f + q.t + q.e * 66 * std::sin(k * .3f) + std::floor(p.z / 40 + 1)), 22));
      } else {
        base = V(.6f, .15f, 1) * .5f + .3f * q.e2;
      }
      c = c + base * ((.3f + saturate(dot(n, l))) * (.3f + 2 * powD(saturate(dot(n, normalize(l - r))), 9)) * a *
                      saturate(1 - z / 1666));
      if (++j > 3) break;
      r = reflect(r, n);
      p = p + r * .02f;
      a = .1f;
    }
  }
  float w = z / 1666;
  c = lerp(c, V(q.t * .1f, .2f, .1f), w * w * w);
  c = lerp(c, powD3(c, 9), .5f);
  return powD3(c, .45f);
}

}  // namespace reference
