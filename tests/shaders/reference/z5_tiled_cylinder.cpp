// Mirrors shaders/z5_tiled_cylinder.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/z5_tiled_cylinder.h"

namespace reference {
namespace {

float M4(State& s, float3 p) {
  const Params& q = s.q;
    float3 pp = p;
  turn(pp.x, pp.y, std::sin(p.z * .1f + q.t));
  float cx = pp.x, cy = pp.y;
  turn(cx, cy, -PI / 8);
  turn(pp.x, pp.y, std::floor(std::atan2(cx, cy) / PI * 4) * PI / 4);
  pp.y -= 3 + std::cos(pp.z * .2f + q.t * .7f + q.e * 3) + std::sin(pp.z * .1f + q.t * .5f + q.e * 2);
  s.D[1] = std::max(std::max(std::abs(pp.x) + std::abs(pp.y) * .5f, std::abs(pp.y)) - .5f +
                        .2f * std::sin(pp.z * .1f + q.t + q.e * 2) + .2f * std::cos(pp.z * .17f + q.t * .8f + q.e * 3),
                    std::abs(pp.z) - INFD);
  float a = .002f * N(p * 6), b = std::floor(p.z / 4) * 8, f = std::atan2(p.x, p.y);
  s.D[3] = std::floor(f * 2.5f) + b;
  p = {std::atan2(p.x, p.y) * 10, std::sqrt(p.x * p.x + p.y * p.y) - 10, p.z};
  p.x = fmodD(p.x + 400, 4) - 2;
  p.z = fmodD(p.z + 400, 4) - 2;
  float3 half{1.5f, 1 + .3f * std::sin(std::floor(f * 2.5f) + q.e2 * 66 + std::cos(b + q.e2 * 66)), 1.5f};
  float3 out = abs(p) - half;
  s.D[0] = length({std::max(out.x, 0.f), std::max(out.y, 0.f), std::max(out.z, 0.f)}) - .45f;
  return std::min(s.D[0], s.D[1]) + a;
}
}  // namespace

float3 Z5(const Params& q, float ux, float uy) {
  State s{q};
  float3 r{ux / (q.y / q.x), uy, 1}, l{0, 0, -1};
  float3 p{6 * std::cos(q.t * .5f + q.e * 3), 6 * std::sin(q.t * .5f + q.e * 3), q.t * 9 + q.e * 99}, o = p, c{};
  for (float3* v : {&r, &l}) {
    turn(v->x, v->z, .3f * std::sin(q.t * .4f + q.e * 3));
    turn(v->y, v->z, .3f * std::cos(q.t * .3f + q.e * 4));
    turn(v->x, v->y, q.t * .5f + q.e * 5);
  }
  int f = signD(M4(s, p)), i = 0, j = 1, ccc = 0;
  float z = 0, dd = 0;
  while (++i < 166 && z < 99) {
    float d = M4(s, p) * f;
    p = p + r * d;
    z = length(p - o);
    dd += std::exp(-d);
    if (d < .01f) {
      int cc = s.D[0] < s.D[1] ? 0 : 1;
      float3 n = normalOf(s, M4, p, .01f, f);
      float3 base = cc == 0 ? V(fmodD(s.D[3], 6) * .09f - .6f, .1f, 1) * 22 + 22 * q.e2
                        : V(p.z * .005f, .2f, 1) * (powD(.5f + .5f * std::sin(p.z * .1f - q.e * 99), 7) * 999);
      c = c + base * ((.002f + saturate(dot(n, l))) * (.002f + powD(saturate(dot(n, normalize(l - r))), 66)) *
                      saturate(1 - z / 99) * (ccc == 1 ? .001f : 1));
      if (++j > 5) break;
      if (cc == 1) {
        f = -f;
        p = p + r;
        r = refract(r, n, .5f);
        ccc = 0;
      } else {
        if (j > 2) break;
        r = reflect(r, n);
        p = p + r * .02f;
        ccc = 1;
      }
    }
  }
  c = c * (dd * .2f);
  c = lerp(c, powD3(c, 9), .8f);
  return powD3(c, .45f);
}

}  // namespace reference
