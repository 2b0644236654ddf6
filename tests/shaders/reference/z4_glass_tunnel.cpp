// Mirrors shaders/z4_glass_tunnel.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/z4_glass_tunnel.h"

namespace reference {
namespace {

float M3(State& s, float3 p) {
  const Params& q = s.q;
  float a = 14 + 4 * std::sin(p.z * .05f) + 2 * std::cos(p.z * .13f), c = q.t * 9 + q.e * 22 - p.z;
  p.x += .64f * std::sin(p.z * .012f + q.e * 6) * c;
  p.y += .36f * std::cos(p.z * .007f + q.e * 5) * c;
  float3 pp = p;
  pp.z = fmodD(pp.z + 2000, 20) - 10;
  turn(pp.x, pp.y, 16 * std::sin(std::floor(p.z / 20) * 3 + p.z * .01f + q.t * .05f + q.e));
  auto prism = [&](float h, float b) {
    return std::max(std::max(std::abs(pp.x) + pp.y * .5f, -pp.y) - h, std::abs(pp.z) - b);
  };
  s.D[1] = std::max(prism(2, 5), -prism(1.7f, 6));
  s.D[2] = a - std::sqrt(p.x * p.x + p.y * p.y);
  turn(p.x, p.y, 3 * std::sin(p.z * .025f + q.t * .3f + q.e));
  float b = .003f * N(p * 3);
  p = {std::atan2(p.x, p.y) * a / 2, std::sqrt(p.x * p.x + p.y * p.y) - a, p.z};
  p.x = fmodD(p.x + 1000, 4) - 2;
  p.z = fmodD(p.z + 1000, 4) - 2;
  s.D[0] = C(p, {.1f, 5, 3});
  s.D[0] = S(s.D[0], (std::abs(p.x) + std::abs(p.y) + std::abs(p.z) - 1) / 3, 7);
  return .5f * S(std::min(s.D[0], s.D[1]), s.D[2], 3) + b;
}
}  // namespace

float3 Z4(const Params& q, float ux, float uy) {
  State s{q};
  float3 r = normalize({ux / (q.y / q.x), uy, 1}), l{0, 0, -1};
  float3 p{0, 0, q.t * 9 + q.e * 22}, o = p, c{};
  int f = signD(M3(s, p)), i = 0, j = 1, ccc = 0;
  float z = 0, a = 1, dd = 0;
  while (++i < 333 && z < 99) {
    float d = M3(s, p) * f;
    p = p + r * d;
    z = length(p - o);
    dd += std::exp(-d);
    if (d < .01f) {
      int cc = threeWay(s);
      float3 n = normalOf(s, M3, p, .1f, f);
      float b = powD(saturate(dot(n, l)), 3), k = ccc < 2 ? a : .1f;
      float3 base = cc == 0 ? V(.25f * std::sin(p.z / 8) - .17f, .2f, 9)
                        : (cc == 1 ? V(.25f * std::sin(p.z / 20) - .17f, 0, 1) * 9 + 5 * q.e2 : float3{9, 9, 9});
      c = c + base * (b * (.1f + powD(saturate(dot(n, normalize(l - r))), 33)) * k * powD(1 - z / 99, 4));
      if (++j > 5) break;
      if (cc < 2) {
        f = -f;
        p = p + r;
        r = refract(r, n, .9f);
        a -= .2f;
        ccc = 0;
      } else {
        r = reflect(r, n);
        p = p + r * .02f;
        ccc = 2;
      }
    }
  }
  c = lerp(c, powD3(c, 9), .5f);
  c = c + (c + .1f) * (dd * .001f);
  return powD3(c, .45f);
}

}  // namespace reference
