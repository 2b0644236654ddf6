// The shader frame's macros, noise and statics against their formulas, computed on the CPU in
// single precision (the noise through its mirror in reference/hlsl.h). Results leave the shader
// as the four bytes of each float.
#include <algorithm>
#include <cmath>

#include "tests/common/gpu_fixture.h"
#include "tests/shaders/reference/hlsl.h"

namespace {

using gpu_test::GpuTest;
using gpu_test::Picture;

class ShaderFrame : public GpuTest {
 protected:
  ShaderFrame() : GpuTest(32, 16) {}

  Picture run(const std::string& hlsl, float e, float e2 = 0, float e3 = 0, float t = 0) {
    const int index = compileExtra(std::string(gpu_test::floatTransport) + hlsl, "Q");
    EXPECT_GE(index, 0) << renderer.error().text();
    if (index < 0) return {};
    return renderer.renderPass(params(t, e, e2, e3), index);
  }
};

constexpr float pi = 3.14159265f;

TEST_F(ShaderFrame, ShapesRotationAndSmoothMinimum) {
  // Column i holds one quantity at the point p = (e, -2e, 3e) + i * (.3, .2, -.1), e = .7.
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float3 p = float3(e, -2 * e, 3 * e) + float(v.y) * float3(.3, .2, -.1);
  float2 r = p.xy;
  r = W(r, e2);
  float k[12] = {B(p, 1.5), C(p, float3(.5, 1, 2)), D(p, float3(.5, 1, 2)), E(p, .8, 1.2), F(p, 2), H(p, .9, 1.1),
                 P(p, .9, 1.1), S(p.x, p.y, 4), S(p.z, p.z, 8), r.x, r.y, E(p, .8, INFD)};
  storeW(v.xy, bitsOf(k[min(v.x, 11)]));
})",
                           0.7f, 0.9f);
  ASSERT_FALSE(picture.empty());
  for (int row = 0; row < 4; ++row) {
    const float fr = static_cast<float>(row);
    const float x = 0.7f + fr * .3f;
    const float y = -1.4f + fr * .2f;
    const float z = 2.1f + fr * -.1f;
    const float length3 = std::sqrt(x * x + y * y + z * z);
    auto boxOutside = [&](float a, float b, float c) {
      const float dx = std::max(std::fabs(x) - a, 0.0f);
      const float dy = std::max(std::fabs(y) - b, 0.0f);
      const float dz = std::max(std::fabs(z) - c, 0.0f);
      return std::sqrt(dx * dx + dy * dy + dz * dz);
    };
    const float expected[12] = {
        length3 - 1.5f,
        std::max(std::max(std::fabs(x) - .5f, std::fabs(y) - 1), std::fabs(z) - 2),
        boxOutside(.5f, 1, 2),
        std::max(std::sqrt(x * x + y * y) - .8f, std::fabs(z) - 1.2f),
        (std::fabs(x) + std::fabs(y) + std::fabs(z) - 2) / 3,
        std::max(std::max(std::fabs(x) + std::fabs(y) * .5f, std::fabs(y)) - .9f, std::fabs(z) - 1.1f),
        std::max(std::max(std::fabs(x) + y * .5f, -y) - .9f, std::fabs(z) - 1.1f),
        -std::log(std::exp(-4 * x) + std::exp(-4 * y)) / 4,
        z - std::log(2.0f) / 8,
        x * std::cos(.9f) - y * std::sin(.9f),  // W turns the first axis toward the second
        y * std::cos(.9f) + x * std::sin(.9f),
        std::sqrt(x * x + y * y) - .8f,  // an infinite half-length removes the z axis
    };
    for (int i = 0; i < 12; ++i) {
      EXPECT_NEAR(floatAt(picture, i, row), expected[i], 2e-5f + std::fabs(expected[i]) * 2e-5f)
          << "quantity " << i << " row " << row;
    }
  }
}

TEST_F(ShaderFrame, FoldPutsEveryPointIntoTheSectorAroundPlusY) {
  // Points all around the circle; after Y(a, 4) the angle from +y toward +x lies in
  // [-pi/8, pi/8), and the length is kept.
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float angle = (float(v.x) + 16 * float(v.y)) * e;
  float2 a = float2(sin(angle), cos(angle)) * e2;
  Y(a, 4);
  storeW(v.xy, bitsOf(v.y < 4 ? atan2(a.x, a.y) : length(a)));
})",
                           2 * pi / 64 + 0.013f, 1.75f);
  ASSERT_FALSE(picture.empty());
  for (int row = 0; row < 4; ++row) {
    for (int x = 0; x < 16; ++x) {
      const float angle = floatAt(picture, x, row);
      EXPECT_GE(angle, -pi / 8 - 1e-5f) << x << "," << row;
      EXPECT_LT(angle, pi / 8 + 1e-5f) << x << "," << row;
      // The fold turns by whole sectors of pi/4.
      const float original = std::remainder((static_cast<float>(x) + 16 * static_cast<float>(row)) * (2 * pi / 64 + 0.013f), 2 * pi);
      const float turns = (angle - original) / (pi / 4);
      EXPECT_NEAR(turns, std::round(turns), 1e-3f) << x << "," << row;
    }
  }
  for (int x = 0; x < 16; ++x) EXPECT_NEAR(floatAt(picture, x, 4), 1.75f, 1e-5f);
}

TEST_F(ShaderFrame, PaletteRunsThroughTheHues) {
  // Rows 0..2: the channels of hues 0, 1/6, .., 5/6 with whiteness e2 = 0; row 3: V(.95, .3, .25).
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float3 k = v.y < 3 ? V(float(v.x % 6) / 6 + e, e2, 1) : V(.95 + e, .3, .25);
  storeW(v.xy, bitsOf(k[v.y < 3 ? v.y : min(v.x, 2)]));
})",
                           0.0f, 0.0f);
  ASSERT_FALSE(picture.empty());
  // Blue, cyan, green, yellow, red, magenta.
  const float hues[6][3] = {{0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {1, 0, 1}};
  for (int h = 0; h < 6; ++h) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(floatAt(picture, h, c), hues[h][c], 1e-5f) << "hue " << h << " channel " << c;
  }
  // The worked example: whiteness .3, intensity .25.
  EXPECT_NEAR(floatAt(picture, 0, 3), .1275f, 1e-6f);
  EXPECT_NEAR(floatAt(picture, 1, 3), .075f, 1e-6f);
  EXPECT_NEAR(floatAt(picture, 2, 3), .25f, 1e-6f);
}

TEST_F(ShaderFrame, ValueNoiseAndFractalNoise) {
  // Small coordinates, where sin and cos of the hash agree closely between CPU and GPU.
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float3 p = float3(float(v.x) * .37 - 2.9, float(v.y % 4) * .61 - 1.3, float(v.x + v.y) * .23 - .7) * e;
  storeW(v.xy, bitsOf(v.y < 4 ? N(p) : O(p)));
})",
                           1.0f);
  ASSERT_FALSE(picture.empty());
  for (int row = 0; row < 8; ++row) {
    for (int x = 0; x < 16; ++x) {
      const float px = static_cast<float>(x) * .37f - 2.9f;
      const float py = static_cast<float>(row % 4) * .61f - 1.3f;
      const float pz = static_cast<float>(x + row) * .23f - .7f;
      const float got = floatAt(picture, x, row);
      if (row < 4) {
        EXPECT_NEAR(got, reference::N({px, py, pz}), 2e-4f) << x << "," << row;
        EXPECT_GE(got, -1.0f);
        EXPECT_LE(got, 1.0f);
      } else {
        EXPECT_NEAR(got, reference::O({px, py, pz}), 4e-4f) << x << "," << row;
        EXPECT_GE(got, 0.0f);
        EXPECT_LE(got, .875f + 1e-6f);
      }
    }
  }
}

TEST_F(ShaderFrame, StaticsStartAtTheirValues) {
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float k[9] = {PI, C.x, C.y, C.z, D.x, D.y, D.z, D.w, isinf(INFD) && INFD > 0 ? 1 : 0};
  if (v.y == 1) { C = float3(e, e, e); D = float4(e, e, e, e); k[1] = C.x; k[4] = D.w; }
  storeW(v.xy, bitsOf(k[min(v.x, 8)]));
})",
                           0.5f);
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(floatAt(picture, 0, 0), std::acos(-1.0f));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(floatAt(picture, i, 0), 0.0f);
  for (int i = 4; i <= 7; ++i) EXPECT_EQ(floatAt(picture, i, 0), 9.0f);
  EXPECT_EQ(floatAt(picture, 8, 0), 1.0f);
  // A thread that writes the statics changes only its own copies.
  EXPECT_EQ(floatAt(picture, 1, 1), 0.5f);
  EXPECT_EQ(floatAt(picture, 4, 1), 0.5f);
  EXPECT_EQ(floatAt(picture, 1, 2), 0.0f);
  EXPECT_EQ(floatAt(picture, 4, 2), 9.0f);
}

}  // namespace
