// Mirrors shaders/z2_ring_tunnel.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/z2_ring_tunnel.h"

namespace reference {

double bilinear(const Text& text, double s, double t) {
  const double fx = s * text.width - .5, fy = t * text.height - .5;
  const double x0 = std::floor(fx), y0 = std::floor(fy);
  const double ax = fx - x0, ay = fy - y0;
  auto at = [&](double xi, double yi) {
    const int cx = std::clamp(static_cast<int>(xi), 0, text.width - 1);
    const int cy = std::clamp(static_cast<int>(yi), 0, text.height - 1);
    return text.inked(cx, cy) ? 1.0 : 0.0;
  };
  const double top = at(x0, y0) * (1 - ax) + at(x0 + 1, y0) * ax;
  const double bottom = at(x0, y0 + 1) * (1 - ax) + at(x0 + 1, y0 + 1) * ax;
  return top * (1 - ay) + bottom * ay;
}

RingField ringField(double px, double py, double pz, double t, double e, const Text& logo) {
  const double g = std::clamp((t - 90) / 10, 0.0, 1.0), m = std::max(t - 90, 0.0);
  const double depth = g * m * 9 + e * 33;
  const double d = (pz - depth) / 222;
  // Octagonal tube: fold into eight sectors centred on +y.
  double fx = px, fy = py, cx = px, cy = py;
  turn(cx, cy, -PI / 8.0);
  turn(fx, fy, std::floor(std::atan2(cx, cy) / PI * 4) * PI / 4);
  fy -= 20;
  RingField out{};
  out.foldX = fx;
  out.tube = std::max(std::fabs(fx) - 20, std::fabs(fy) - 1);
  // Bend with the integer quotients 222/9 and 222/16, then the ring's own turn.
  const double k = std::floor(pz / 8);
  px += g * (24 * std::sin(m + k * .2) * d);
  py += g * (13 * std::cos(m * .7 + k * .2) * d);
  turn(px, py, 3 * PI * std::sin(t * .03 + e * .9 + k));
  const double a = 2 * PI;
  const double rx = std::atan2(px, py) * a, ry = std::hypot(px, py) - a;
  const double rz = std::fmod(pz + 1000, 8) - 4;
  out.body = std::max({std::fabs(rx) - 20, std::fabs(ry) - (2.2 + 6 * (1 - std::clamp((t - 80) / 10, 0.0, 1.0))),
                       std::fabs(rz) - .5});
  const double level = .5 * bilinear(logo, .5 - rx / 50, .5 - ry / 4) + .2;
  out.lettering = std::max({std::fabs(rx) - 20, std::fabs(ry) - 2.1, std::fabs(rz) - level});
  out.result = .5 * std::min({out.body, out.lettering, out.tube});
  return out;
}

}  // namespace reference

