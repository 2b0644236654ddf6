// Mirrors shaders/z1_title.hlsl; a change to that scene meant to change the picture updates this mirror.
#include "tests/shaders/reference/z1_title.h"

namespace reference {

TitlePixel TitleModel::at(int vx, int vy, float t, float e2, float x, float y) const {
  TitlePixel out;
  const float ux = vx / x, uy = vy / y;
  const float ax = 1.5f / x, ay = 1.5f / y;
  const float s = saturate(1 - t * .25f), s5 = saturate(1 - t * .2f);
  float3 c = V(.95f, .3f, .25f);
  auto logo = [&](float ox, float oy) {
    return read(logo_, (ux + ox) * x / 5, (uy + oy + .2f * s) * (y * .6f) / 5, out);
  };
  const float b = saturate(logo(0, 0));
  const float plus = logo(ax, ay), minus = logo(-ax, -ay);
  const float3 hue = V(uy * 2 + t * .1f, 0, 1);
  for (int k = 0; k < 3; ++k) c[k] = c[k] + plus + hue[k] * b - minus;

  if (uy > .15f && uy < .155f) {
    near(out, ux, t / 4);
    if (ux < t / 4) c = V(ux + t * .2f, 0, 1);
  }
  if (uy > .95f && uy < .955f) {
    near(out, ux, 1 - t / 4);
    if (ux > 1 - t / 4) c = V(ux - t * .2f, 0, 1);
  }
  for (float edge : {.15f, .155f, .95f, .955f}) near(out, uy, edge);

  const float credit = read(credits_, (ux - (.83f + s5)) * x / 2, (uy - .96f) * y / 2, out);
  const float3 cycle = V(vy * .01f + t, .2f + e2 * .3f, 1);
  for (int k = 0; k < 3; ++k) c[k] += credit * cycle[k];

  for (int i = 1; i < 25; ++i) {
    const float xi = -t * .14f + 2 - i * .02f * std::sin(t - i * .1f);
    const float yi = .5f + .15f * std::sin(ux * 3 + t * 4 + i * .3f) + .1f * std::cos(ux * 7 + t * 3 + i * .2f) +
                     .1f * std::sin(ux * 5 - t * 2 + i * .3f);
    const float ink = read(scroller_, (ux - xi) * x / 5, (uy - yi) * y / 5, out);
    const float3 echo = V(-i * .23f, .2f, std::pow(.9f - i * .02f, 6.f));
    for (int k = 0; k < 3; ++k) c[k] += ink * echo[k];
  }
  float col = 0, row = 0;
  scrollerAddress(vx, vy, t, x, y, col, row);
  const float ink = read(scroller_, col, row, out);
  for (int k = 0; k < 3; ++k) c[k] += ink;
  out.colour = c;
  return out;
}

void TitleModel::scrollerAddress(int vx, int vy, float t, float x, float y, float& col, float& row) {
  const float ux = vx / x, uy = vy / y;
  const float x0 = -t * .14f + 2;
  const float y0 =
      .5f + .15f * std::sin(ux * 3 + t * 4) + .1f * std::cos(ux * 7 + t * 3) + .1f * std::sin(ux * 5 - t * 2);
  col = (ux - x0) * x / 5;
  row = (uy - y0) * y / 5;
}

float TitleModel::read(const Text& text, float px, float py, TitlePixel& out) {
  const float v = texel(text, px, py), eps = 2e-3f;
  if (texel(text, px - eps, py) != v || texel(text, px + eps, py) != v || texel(text, px, py - eps) != v ||
      texel(text, px, py + eps) != v)
    out.decided = false;
  return v;
}

void TitleModel::near(TitlePixel& out, float v, float edge) {
  if (std::fabs(v - edge) < 1e-5f) out.decided = false;
}

}  // namespace reference
