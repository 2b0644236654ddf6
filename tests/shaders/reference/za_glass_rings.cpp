// Mirrors shaders/za_glass_rings.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/za_glass_rings.h"

namespace reference {
namespace {

float M5(State& s, float3 p) {
  const Params& q = s.q;
  float a = 3.85f, c = q.t * 9 + q.e * 9 - p.z;
  p.x = p.x + .64f * std::sin(p.z * .012f + q.e * 4) * c;
  p.y = p.y + .36f * std::cos(p.z * .007f + q.e * 3) * c;
  s.D.y = a * 2 - std::sqrt(p.x * p.x + p.y * p.y);
  turn(p.x, p.y, 32 * std::sin(std::floor(p.z / 4) * .1f + q.t * .05f + q.e * .1f));
  float st = std::sin(q.t * .1f);
  float b = .0275f + .025f * st * N(p * 6 - float3{6 * st, 6 * st, 6 * st});
  float3 r{std::atan2(p.x, p.y) * a, std::sqrt(p.x * p.x + p.y * p.y) - a, p.z};
  r.x = fmodD(r.x + 1000, 4) - 2;
  r.z = fmodD(r.z + 8002, 8) - 4;
  s.D.x = H(r, 2, .5f);
  return S(s.D.x, s.D.y, 1.2f + std::sin(q.e * 4)) + b;
}

}  // namespace

float3 zaPixel(const Params& q, int vx, int vy, bool& hit) {
  float3 u{vx / q.x - .5f, vy / q.y - .5f, 0};
  float3 r{u.x / (q.y / q.x), u.y, 1}, p{0, 0, q.t * 9 + q.e * 9 + .001f}, o = p;
  float3 l{0, 0, -1}, c{0, 0, 0};
  State s{q};
  int f = signD(M5(s, p)), i = 0, j = 1, ccc = 0;
  float z = 0, a = 1;
  hit = false;
  while (++i < 166 && z < 99) {
    float d = M5(s, p) * f;
    p = p + r * d;
    z = length(p - o);
    if (d < .01f) {
      hit = true;
      int cc = s.D.x < s.D.y ? 0 : 1;
      float3 n = normalOf(s, M5, p, .05f, f);
      float3 colour = cc == 0 ? V(.33f * std::sin(std::floor(p.z / 8) * 1.6f) - .17f, 0, 1) +
                                    float3{1, 1, 1} * (.3f * q.e3 + .3f * q.e2)
                              : float3{1, 1, 1} * (9 + 3 * q.e3);
      c = c + colour * (clamp01(dot(n, l)) * (.02f + powD(clamp01(dot(n, normalize(l - r))), 99)) *
                        (ccc == 0 ? a : .1f) * powD(1 - z / 99, 4));
      if (++j > 5) break;
      if (cc == 0) {
        f = -f;
        p = p + r;
        r = refract(r, n, .85f);
        a = a - .1f;
        ccc = 0;
      } else {
        r = reflect(r, n);
        p = p + r * .02f;
        ccc = 1;
      }
    }
  }
  for (int k = 0; k < 3; k++) c[k] = powD(lerp(c[k], powD(c[k], 9), .5f), .45f);
  return c;
}

}  // namespace reference
