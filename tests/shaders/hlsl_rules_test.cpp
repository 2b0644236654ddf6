// The HLSL rules the pictures depend on, checked on the Vulkan path: small test entry points are
// appended to the intro's text and compiled exactly like the intro's own. Inputs come from the
// parameters so that nothing folds at compile time; every result float leaves the shader as its
// four bytes (one per channel, exact through the 8-bit store).
#include <cmath>
#include <limits>

#include "host/vulkan/vk_compile.h"
#include "tests/common/gpu_fixture.h"

namespace {

using gpu_test::GpuTest;
using gpu_test::Picture;

class HlslRules : public GpuTest {
 protected:
  HlslRules() : GpuTest(16, 8) {}

  // Runs entry point of hlsl (appended to the intro's text and the transport) with e..t.
  Picture run(const std::string& hlsl, const char* entry, float e, float e2 = 0, float e3 = 0, float t = 0) {
    const int index = compileExtra(std::string(gpu_test::floatTransport) + hlsl, entry);
    EXPECT_GE(index, 0) << renderer.error().text();
    if (index < 0) return {};
    return renderer.renderPass(params(t, e, e2, e3), index);
  }
};

TEST_F(HlslRules, FmodTakesTheSignOfTheDividend) {
  // Row 0 divides by +e2, row 1 by -e2; a runs over both signs.
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float a = (float(v.x) - 7.5) * e;
  float b = v.y == 0 ? e2 : -e2;
  float r = v.y < 2 ? fmodD(a, b) : fmodD2(float2(e3, 0), float2(e2, 1)).x;
  storeW(v.xy, bitsOf(r));
})",
                           "Q", 0.37f, 2.0f, -5.5f);
  ASSERT_FALSE(picture.empty());
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 16; ++x) {
      const float a = (static_cast<float>(x) - 7.5f) * 0.37f;
      const float b = row == 0 ? 2.0f : -2.0f;
      const float r = floatAt(picture, x, row);
      EXPECT_NEAR(r, std::fmod(a, b), 1e-5f) << "a " << a << " b " << b;
      EXPECT_TRUE(r == 0.0f || std::signbit(r) == std::signbit(a)) << "a " << a << " b " << b << " gives " << r;
      EXPECT_LT(std::fabs(r), std::fabs(b));
    }
  }
  // The worked case of the rule, exact: fmod(-5.5, 2) is -1.5 (the divisor's sign would give .5).
  EXPECT_EQ(floatAt(picture, 3, 2), -1.5f);
}

TEST_F(HlslRules, PowSquaresAnyBaseAndIsNaNForOtherPowersOfANegativeBase) {
  // Columns: bases -3.5 .. 4; rows: exponents 2, 3, .45, 88, 0, -1.
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float a = (float(v.x) - 7) * e;
  float k[6] = {2, 3, .45, 88, 0, -1};
  float b = k[min(v.y, 5)] * e2;
  storeW(v.xy, bitsOf(powD(a, b)));
})",
                           "Q", 0.5f, 1.0f);
  ASSERT_FALSE(picture.empty());
  const float exponents[6] = {2, 3, 0.45f, 88, 0, -1};
  for (int row = 0; row < 6; ++row) {
    for (int x = 0; x < 16; ++x) {
      const float a = (static_cast<float>(x) - 7) * 0.5f;
      const float b = exponents[row];
      const float r = floatAt(picture, x, row);
      if (b == 2) {
        EXPECT_EQ(r, a * a) << a;
      } else if (a < 0 || (a == 0 && b == 0)) {
        EXPECT_TRUE(std::isnan(r)) << a << "^" << b << " gives " << r;
      } else if (a == 0) {
        EXPECT_EQ(r, b > 0 ? 0.0f : std::numeric_limits<float>::infinity()) << a << "^" << b;
      } else {
        const float expected = std::pow(a, b);
        if (std::isinf(expected)) {
          EXPECT_EQ(r, expected) << a << "^" << b;
        } else {
          EXPECT_NEAR(r, expected, std::fabs(expected) * 2e-4f) << a << "^" << b;
        }
      }
    }
  }
}

TEST_F(HlslRules, MaxAndMinReturnTheOtherOperandOfANaN) {
  // e = 0 gives a NaN at run time; columns pick the case.
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float n = asfloat(asuint(e) | 0x7fc00000u);
  float k = e2;
  float r[8] = {maxD(n, k), maxD(k, n), minD(n, k), minD(k, n), max(n, k), max(k, n), min(n, k), min(k, n)};
  storeW(v.xy, bitsOf(r[min(v.x, 7)]));
})",
                           "Q", 0.0f, 3.25f);
  ASSERT_FALSE(picture.empty());
  for (int x = 0; x < 8; ++x) EXPECT_EQ(floatAt(picture, x, 0), 3.25f) << "case " << x;
}

TEST_F(HlslRules, SignIsAnIntegerAndNormalizeOfAScalarIsItsSign) {
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float a = (float(v.x) - 7.5) * e;
  if (v.x == 15) a = 0;
  int s = signD(a) * 3;
  float r = v.y == 0 ? float(s) : (v.y == 1 ? normD(a) : float(signD(-a)));
  storeW(v.xy, bitsOf(r));
})",
                           "Q", 0.25f);
  ASSERT_FALSE(picture.empty());
  for (int x = 0; x < 16; ++x) {
    const float a = x == 15 ? 0.0f : (static_cast<float>(x) - 7.5f) * 0.25f;
    const int sign = (a > 0) - (a < 0);
    EXPECT_EQ(floatAt(picture, x, 0), static_cast<float>(sign * 3)) << a;
    if (a == 0) {
      EXPECT_TRUE(std::isnan(floatAt(picture, x, 1)));
    } else {
      EXPECT_EQ(floatAt(picture, x, 1), static_cast<float>(sign)) << a;
    }
    EXPECT_EQ(floatAt(picture, x, 2), static_cast<float>(-sign)) << a;
  }
}

TEST_F(HlslRules, IntegerLiteralsDivideAsIntegersAndVectorsTruncate) {
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float4 a = float4(1, 2, 3, 4) * e;
  float3 b = float3(2, 3, 4);
  float3 m = a * b;
  float3 s = a + b;
  float f = a;
  float3 third = float3(1, 2, 3) / 3;
  float r[10] = {222 / 9, 222 / 16, m.x, m.y, m.z, s.z, f, third.x, third.y, third.z};
  storeW(v.xy, bitsOf(r[min(v.x, 9)]));
})",
                           "Q", 1.0f);
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(floatAt(picture, 0, 0), static_cast<float>(222 / 9));
  EXPECT_EQ(floatAt(picture, 1, 0), static_cast<float>(222 / 16));
  EXPECT_EQ(floatAt(picture, 0, 0), 24.0f);
  EXPECT_EQ(floatAt(picture, 1, 0), 13.0f);
  EXPECT_EQ(floatAt(picture, 2, 0), 2.0f);   // float4 * float3: the leading three components
  EXPECT_EQ(floatAt(picture, 3, 0), 6.0f);
  EXPECT_EQ(floatAt(picture, 4, 0), 12.0f);
  EXPECT_EQ(floatAt(picture, 5, 0), 7.0f);   // float4 + float3: .xyz
  EXPECT_EQ(floatAt(picture, 6, 0), 1.0f);   // float4 into a float keeps .x
  EXPECT_EQ(floatAt(picture, 7, 0), 1.0f / 3.0f);
  EXPECT_EQ(floatAt(picture, 8, 0), 2.0f / 3.0f);
  EXPECT_EQ(floatAt(picture, 9, 0), 1.0f);
}

TEST_F(HlslRules, TheStoreTurnsNaNIntoZeroAndSaturates) {
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float n = asfloat(asuint(e) | 0x7fc00000u);
  float4 c[4] = {float4(n, n, n, n), float4(2, -1, .4, n), float4(-n, e2, 1e30, -1e30), float4(.25, .75, 0, 1)};
  storeW(v.xy, c[min(v.x, 3)]);
})",
                           "Q", 0.0f, 0.2f);
  ASSERT_FALSE(picture.empty());
  using gpu_test::Rgba;
  EXPECT_EQ(pixel(picture, 0, 0), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(pixel(picture, 1, 0), (Rgba{255, 0, 102, 0}));
  EXPECT_EQ(pixel(picture, 2, 0), (Rgba{0, 51, 255, 0}));
  EXPECT_EQ(pixel(picture, 3, 0), (Rgba{64, 191, 0, 255}));
}

// A 4 x 3 texture with a different value in every texel and channel.
std::vector<std::uint8_t> testTexels(int salt) {
  std::vector<std::uint8_t> texels(4 * 3 * 4);
  for (std::size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<std::uint8_t>(i * 5 + 7 + salt * 31);
  return texels;
}

TEST_F(HlslRules, LoadTruncatesTowardZeroAndReadsZeroOutside) {
  const auto texels = testTexels(0);
  ASSERT_TRUE(renderer.setText(1, 4, 3, texels.data())) << renderer.error().text();
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float n = asfloat(asuint(e) | 0x7fc00000u);
  float2 p[14] = {float2(0, 0), float2(-.5, 0), float2(-.99, -.99), float2(-1, 0), float2(0, -1), float2(-1.5, 1),
                  float2(3.9, 2.9), float2(4, 0), float2(0, 3), float2(1.7, 1.2), float2(n, 0), float2(0, n),
                  float2(1e10, 0), float2(-1e10, 2)};
  float2 q = p[min(v.x, 13)] + e;
  float4 r = v.y == 0 ? LOADT(T1, q) : LOADT(T1, float3(q, 0));
  storeW(v.xy, r);
})",
                           "Q", 0.0f);
  ASSERT_FALSE(picture.empty());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float points[14][2] = {{0, 0},    {-.5f, 0},  {-.99f, -.99f}, {-1, 0},   {0, -1}, {-1.5f, 1}, {3.9f, 2.9f},
                               {4, 0},    {0, 3},     {1.7f, 1.2f},   {nan, 0},  {0, nan}, {1e10f, 0}, {-1e10f, 2}};
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i < 14; ++i) {
      const float px = points[i][0];
      const float py = points[i][1];
      // A NaN coordinate converts to 0, as Direct3D's float-to-integer conversion does.
      const float qx = std::isnan(px) ? 0.0f : px;
      const float qy = std::isnan(py) ? 0.0f : py;
      const bool inside = qx > -1 && qy > -1 && qx < 4 && qy < 3;
      gpu_test::Rgba expected{0, 0, 0, 0};
      if (inside) {
        const auto at = static_cast<std::size_t>(static_cast<int>(std::trunc(qy)) * 4 + static_cast<int>(std::trunc(qx))) * 4;
        expected = {texels[at], texels[at + 1], texels[at + 2], texels[at + 3]};
      }
      EXPECT_EQ(pixel(picture, i, row), expected) << "at (" << px << ", " << py << ")" << (row ? " float3" : " float2");
    }
  }
}

TEST_F(HlslRules, EachTextTextureSitsInItsOwnSlot) {
  for (int slot = 1; slot <= 5; ++slot) {
    const auto texels = testTexels(slot);
    ASSERT_TRUE(renderer.setText(slot, 4, 3, texels.data())) << renderer.error().text();
  }
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float2 p = float2(v.x % 4, v.y % 3) + e;
  float4 r[5] = {LOADT(T1, p), LOADT(T2, p), LOADT(T3, p), LOADT(T4, p), LOADT(T5, p)};
  storeW(v.xy, r[min(v.x / 4, 4)]);
})",
                           "Q", 0.0f);
  ASSERT_FALSE(picture.empty());
  for (int slot = 1; slot <= 4; ++slot) {
    const auto texels = testTexels(slot);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 4; ++x) {
        const std::size_t at = static_cast<std::size_t>(y * 4 + x) * 4;
        EXPECT_EQ(pixel(picture, (slot - 1) * 4 + x, y),
                  (gpu_test::Rgba{texels[at], texels[at + 1], texels[at + 2], texels[at + 3]}))
            << "T" << slot << " texel " << x << "," << y;
      }
    }
  }
}

TEST_F(HlslRules, TheDefaultSamplerFiltersLinearlyAndClampsToTheEdge) {
  const auto texels = testTexels(2);
  ASSERT_TRUE(renderer.setText(3, 4, 3, texels.data())) << renderer.error().text();
  // Texel centres, midpoints between two texels, and points outside [0, 1] on both axes.
  const auto picture = run(R"(
[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) {
  float2 uv[6] = {float2(.125, .5), float2(.25, .5), float2(.5, 1. / 3), float2(-3, .5), float2(.875, 7), float2(2, -2)};
  storeW(v.xy, T3.SampleGrad(SS, uv[min(v.x, 5)] + e, 0, 0));
})",
                           "Q", 0.0f);
  ASSERT_FALSE(picture.empty());
  auto texel = [&](int x, int y, int c) { return static_cast<double>(texels[static_cast<std::size_t>(y * 4 + x) * 4 + c]); };
  for (int c = 0; c < 4; ++c) {
    const double expected[6] = {texel(0, 1, c),
                                (texel(0, 1, c) + texel(1, 1, c)) / 2,
                                (texel(1, 0, c) + texel(2, 0, c) + texel(1, 1, c) + texel(2, 1, c)) / 4,
                                texel(0, 1, c),
                                texel(3, 2, c),
                                texel(3, 0, c)};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(pixel(picture, i, 0)[c], expected[i], 1.01) << "sample " << i << " channel " << c;
  }
}

TEST_F(HlslRules, ACompileErrorGivesTheCompilersMessage) {
  EXPECT_EQ(compileExtra("[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) { storeW(v.xy, nope); }", "Q"), -1);
  EXPECT_NE(renderer.error().text().find("nope"), std::string::npos) << renderer.error().text();
  EXPECT_EQ(compileExtra("[numthreads(16,16,1)] void Q(uint3 v : SV_DispatchThreadID) { }", "Missing"), -1);
  EXPECT_TRUE(renderer.error().failed());
  EXPECT_FALSE(renderer.compile("this is not HLSL"));
  EXPECT_TRUE(renderer.error().failed());
}

}  // namespace
