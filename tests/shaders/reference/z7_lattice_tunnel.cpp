// Mirrors shaders/z7_lattice_tunnel.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/z7_lattice_tunnel.h"

namespace reference {
namespace {

float M7(State& s, float3 p) {
  const Params& q = s.q;
  turn(p.x, p.y, 6 * std::sin(p.z * .05f + q.e * 1.6f));
  float a = .002f * N(p * 33);
  p = {frac(p.x / 2) * 2 - 1, frac(p.y / 2) * 2 - 1, frac(p.z / 2) * 2 - 1};
  s.D.x = S(H(p, .2f, 1), S(H({p.x, p.z, p.y}, .2f, 1), H({p.y, p.z, p.x}, .2f, 1), 5), 5);
  float3 t{std::fabs(frac(p.x * 2) * .5f - .25f), std::fabs(frac(p.y * 2) * .5f - .25f),
           std::fabs(frac(p.z * 2) * .5f - .25f)};
  float3 o{std::max(t.x - .125f, 0.f), std::max(t.y - .125f, 0.f), std::max(t.z - 1, 0.f)};
  s.D.y = std::max(std::fabs(s.D.x), length(o)) - .01f;
  return .5f * S(s.D.x, s.D.y, 16) + a;
}

}  // namespace

bool z7RunsClear(const Params& q, int vx, int vy, float clearance, float& zEnd) {
  float3 u{vx / q.x - .5f, vy / q.y - .5f, 0};
  float3 r = normalize({u.x / (q.y / q.x), u.y, 1});
  float3 p{.5f * std::sin(q.t + q.e * 4), .5f * std::cos(q.t * .7f + q.e * 3), q.t * 3 + q.e * 9}, o = p;
  turn(r.x, r.z, .4f * std::sin(q.t * .4f + q.e * 3));
  turn(r.y, r.z, .4f * std::cos(q.t * .3f + q.e * 4));
  State s{q};
  int i = 0;
  float z = 0;
  while (++i < 333 && z < 33) {
    float d = M7(s, p);
    if (d < .01f + clearance) return false;
    p = p + r * d;
    z = length(p - o);
  }
  zEnd = z;
  return z >= 33;
}

}  // namespace reference
