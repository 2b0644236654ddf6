// Mirrors shaders/final.hlsl (ZZ); a change to the final pass meant to change the picture updates this mirror.
#include "tests/shaders/reference/final_pass.h"

#include <array>
#include <cstddef>

namespace reference {

std::vector<std::uint8_t> finalPass(const std::vector<std::uint8_t>& scene, int width, int height, float t) {
  const float x = static_cast<float>(width);
  const float y = static_cast<float>(height);
  auto load = [&](float px, float py) {
    std::array<float, 4> texel{0, 0, 0, 0};
    if (!(px > -1 && py > -1 && px < x && py < y)) return texel;
    const auto at = (static_cast<std::size_t>(std::trunc(py)) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(std::trunc(px))) * 4;
    for (int c = 0; c < 4; ++c) texel[static_cast<std::size_t>(c)] = scene[at + static_cast<std::size_t>(c)] / 255.0f;
    return texel;
  };
  std::vector<std::uint8_t> out(scene.size());
  const float k = t < 160 ? std::cos(fmodD(t, 80) / PI * .25f) : std::cos(fmodD(t, 40) / PI * .5f);
  const float side = k >= 0 ? std::max(std::pow(k, t < 160 ? 88.0f : 44.0f) * x * .5f, 1.0f) : 1.0f;
  // The corner nearest the centre of the block a pixel's centre lies in, counted from the centre.
  auto blockCorner = [side](int pixel, int size) {
    const float centre = std::floor(static_cast<float>(size) * .5f);
    const float d = static_cast<float>(pixel) - centre;
    return centre + static_cast<float>(signD(d)) * std::floor((std::fabs(d) + .5f) / side) * side;
  };
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const float alpha = load(static_cast<float>(col), static_cast<float>(row))[3];
      float ax = 0;
      float ay = alpha;
      float r = 1;
      const float px = 2 * y / x;
      const float py = 2 * x / x;
      const float qx = blockCorner(col, width);
      const float qy = blockCorner(row, height);
      float c[3] = {0, 0, 0};
      for (int i = 0; i < 30; ++i) {
        r = r + 1 / r;
        turn(ax, ay, 2.0f);
        const auto s = load(qx + px * (r - 1) * ax, qy + py * (r - 1) * ay);
        for (int ch = 0; ch < 3; ++ch) c[ch] += s[static_cast<std::size_t>(ch)];
      }
      std::array<float, 4> o = load(static_cast<float>(col), static_cast<float>(row));
      if (t >= 75) {
        const auto anchor = load(qx, qy);
        for (int ch = 0; ch < 4; ++ch) {
          const float g = ch < 3 ? std::pow(c[ch] / 40 * 1.5f, 3.0f) : 1.5f * 1.5f * 1.5f;
          o[static_cast<std::size_t>(ch)] = anchor[static_cast<std::size_t>(ch)] * 2 * .5f + g * .5f;
        }
      }
      const auto at = (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(col)) * 4;
      for (int ch = 0; ch < 4; ++ch) {
        const float v = std::clamp(o[static_cast<std::size_t>(ch)], 0.0f, 1.0f);
        out[at + static_cast<std::size_t>(ch)] = static_cast<std::uint8_t>(std::lround(v * 255));
      }
    }
  }
  return out;
}

float3 finalPassGlow(const std::vector<std::uint8_t>& scene, int width, int height, int vx, int vy, float alpha) {
  auto load = [&](float px, float py, int k) -> float {
    if (!(px > -1 && py > -1 && px < width && py < height)) return 0;
    int ix = std::clamp(static_cast<int>(px), 0, width - 1), iy = std::clamp(static_cast<int>(py), 0, height - 1);
    return scene[static_cast<std::size_t>((iy * width + ix) * 4 + k)] / 255.f;
  };
  float r = 1, ax = 0, ay = alpha, px = 2 * float(height) / width, py = 2;
  float3 c{0, 0, 0};
  for (int i = 0; i < 30; i++) {
    r = r + 1 / r;
    turn(ax, ay, 2);
    float sx = vx + px * (r - 1) * ax, sy = vy + py * (r - 1) * ay;
    c = c + float3{load(sx, sy, 0), load(sx, sy, 1), load(sx, sy, 2)};
  }
  float3 o{0, 0, 0};
  for (int k = 0; k < 3; k++) {
    float g = c[k] / 40 * 1.5f;
    o[k] = lerp(load(vx, vy, k) * 2, g * g * g, .5f);
  }
  return o;
}

}  // namespace reference
