// Scenes Z7 (twisted lattice tunnel), Z8 (plates and blobs), Z9 (checkerboard layers) and
// ZA (glass rings) on the software Vulkan driver, at a small size, with the validation layer on.
//
// Where a scene's picture does not depend on the noise hash (whose digits at large arguments
// differ between GPUs), the test marches the same rays on the CPU in float (the mirrors in
// reference/) and compares: ZA at a time where its noise term vanishes, the alpha of Z9, the rays
// of Z7 that run to the distance limit. The tone steps that decide the NaN behaviour are run on
// the GPU through small extra entry points that call the scenes' own functions with chosen inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/gpu_fixture.h"
#include "tests/shaders/reference/final_pass.h"
#include "tests/shaders/reference/hlsl.h"
#include "tests/shaders/reference/z7_lattice_tunnel.h"
#include "tests/shaders/reference/za_glass_rings.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 32;
constexpr int kZ7 = 7, kZ8 = 8, kZ9 = 9, kZA = 10;

using reference::float3;
using reference::lerp;
using reference::powD;
using reference::saturate;
using reference::unorm8;
using SceneParams = reference::Params;  // b0; the fixture has a Params of its own

float3 screen(int vx, int vy) { return {vx / float(kWidth) - .5f, vy / float(kHeight) - .5f, 0}; }

class SceneZ7ZATest : public gpu_test::GpuTest {
 protected:
  SceneZ7ZATest() : GpuTest(kWidth, kHeight) {}

  using GpuTest::frame;
  using GpuTest::scene;
  gpu_test::Picture scene(int index, const SceneParams& P) { return scene(index, P.t, P.e, P.e2, P.e3); }
  gpu_test::Picture frame(int index, const SceneParams& P) { return frame(index, P.t, P.e, P.e2, P.e3); }
  // An extra entry point "Probe" after the intro's text; its body may call the scenes' functions.
  int probe(const std::string& body) {
    int index = compileExtra(
        "\n[numthreads(16,16,1)] void Probe(uint3 v : SV_DispatchThreadID) {\n"
        "  float2 u = float2(v.xy) / float2(x, y) - .5;\n" +
            body + "\n}\n",
        "Probe");
    EXPECT_GE(index, 0) << renderer.error().text();
    return index;
  }
  static const std::uint8_t* at(const gpu_test::Picture& picture, int vx, int vy) {
    return &picture[(vy * kWidth + vx) * 4];
  }
};

// Z7 at a time and energy where both camera turns are zero (.4t + 3e = 50 pi and
// .3t + 4e = 40.5 pi): the middle of the picture looks straight down the free channel.
const SceneParams kZ7Straight{5.3873f, 0, 0, 352.3009f, kWidth, kHeight};

TEST_F(SceneZ7ZATest, Z7RaysThatReachTheDistanceLimitStoreTheGreyHaze) {
  for (float e2 : {0.f, 1.f}) {
    SceneParams P = kZ7Straight;
    P.e2 = e2;
    auto picture = scene(kZ7, P);
    ASSERT_EQ(picture.size(), std::size_t(kWidth * kHeight * 4));
    int clear = 0;
    for (int vy = 0; vy < kHeight; vy++)
      for (int vx = 0; vx < kWidth; vx++) {
        float z = 0;
        if (!reference::z7RunsClear(P, vx, vy, .05f, z)) continue;
        clear++;
        // c stays 0: contrast leaves it, the haze is half of (z/33)^4, then gamma.
        int expected = unorm8(std::pow(.5f * std::pow(z / 33, 4.f), .45f));
        const std::uint8_t* px = at(picture, vx, vy);
        EXPECT_NEAR(px[0], expected, 2) << vx << "," << vy << " z=" << z;
        EXPECT_EQ(px[0], px[1]) << vx << "," << vy;
        EXPECT_EQ(px[1], px[2]) << vx << "," << vy;
        EXPECT_EQ(px[3], 255);
      }
    EXPECT_GE(clear, 1) << "no ray runs clear down the channel";
  }
  // Exactly at the limit the grey is pow(.5, .45) = .732.
  int index = probe("storeW(v.xy, z7Tone(float3(0, 0, 0), 33, u));");
  auto grey = scene(index, 340.f);
  for (int k = 0; k < 3; k++) EXPECT_EQ(at(grey, 5, 7)[k], unorm8(std::pow(.5f, .45f))) << k;
}

TEST_F(SceneZ7ZATest, Z7FlashValueLightensMidTones) {
  // The contrast exponent 9 - 8 e2: at e2 = 1 the step is the identity.
  int index = probe("float k = v.x / 64.; storeW(v.xy, z7Tone(float3(k, k * .5, k * .25), 0, u));");
  gpu_test::Picture pictures[3];
  const float flashes[3] = {0, .5f, 1};
  for (int m = 0; m < 3; m++) {
    const float e2 = flashes[m];
    pictures[m] = scene(index, 340.f, 0, e2);
    const auto& picture = pictures[m];
    for (int vx = 0; vx < kWidth; vx += 7) {
      float k = vx / 64.f, in[3] = {k, k * .5f, k * .25f};
      for (int ch = 0; ch < 3; ch++) {
        float c = lerp(in[ch], powD(in[ch], 9 - 8 * e2), .5f);
        EXPECT_NEAR(at(picture, vx, 3)[ch], unorm8(powD(lerp(c, 0, .5f), .45f)), 1) << vx << " e2=" << e2;
      }
    }
  }
  // A mid-tone (.5, .25, .125 before the step) is stored lighter as e2 rises.
  for (int ch = 0; ch < 3; ch++) {
    EXPECT_LE(at(pictures[0], 32, 3)[ch], at(pictures[1], 32, 3)[ch]) << ch;
    EXPECT_LE(at(pictures[1], 32, 3)[ch], at(pictures[2], 32, 3)[ch]) << ch;
    EXPECT_LT(at(pictures[0], 32, 3)[ch] + 10, at(pictures[2], 32, 3)[ch]) << ch;
  }
  EXPECT_LT(at(pictures[0], 32, 3)[0], at(pictures[1], 32, 3)[0]);
}

TEST_F(SceneZ7ZATest, Z8EscapedRayStoresTheFogAtTheDistanceLimit) {
  int index = probe("storeW(v.xy, z8Tone(float3(0, 0, 0), 222, u));");
  auto picture = scene(index, 380.f);
  // pow(.25 * (.71, .5, 1), .45) = (.46, .39, .54)
  EXPECT_EQ(at(picture, 9, 9)[0], unorm8(std::pow(.25f * .71f, .45f)));
  EXPECT_EQ(at(picture, 9, 9)[1], unorm8(std::pow(.25f * .5f, .45f)));
  EXPECT_EQ(at(picture, 9, 9)[2], unorm8(std::pow(.25f, .45f)));
  EXPECT_NEAR(at(picture, 9, 9)[0] / 255., .46, .005);
  EXPECT_NEAR(at(picture, 9, 9)[1] / 255., .39, .005);
  EXPECT_NEAR(at(picture, 9, 9)[2] / 255., .54, .005);

  // In the scene itself the rays toward the horizon between the plates escape: some pixels show
  // exactly that fog (a little brighter where the last step overshoots 222).
  auto z8 = scene(kZ8, {0, 0, 0, 380});
  int horizon = 0;
  for (int i = 0; i < kWidth * kHeight; i++) {
    const std::uint8_t* px = &z8[i * 4];
    horizon += std::abs(px[0] - 117) <= 2 && std::abs(px[1] - 100) <= 2 && std::abs(px[2] - 137) <= 2;
  }
  EXPECT_GE(horizon, 10);
}

TEST_F(SceneZ7ZATest, Z8SurfaceFacingAwayFromBothLightsStoresZero) {
  // Row 0: a normal facing away from both lights seen head-on: the hit adds -V(.93, .5, 1) and no
  // highlight. Row 1: only the red channel negative. Row 2: a normal at right angles to the first
  // light: the sign of 0 is NaN and so is the whole colour.
  int index = probe(
      "float3 c = float3(0, 0, 0);\n"
      "if (v.y == 0) c = z8HitColour(float3(0, 0, -1), float3(0, 0, 1), 1);\n"
      "if (v.y == 1) c = float3(-.2, .3, .6);\n"
      "if (v.y == 2) c = z8HitColour(float3(.7, -.5, 0), float3(0, 0, 1), 1);\n"
      "storeW(v.xy, z8Tone(c, 100, u));");
  // e2 = 5/6 makes the contrast exponent 2, where a plain square would turn the sign positive.
  for (float e2 : {0.f, 5 / 6.f, 1.f}) {
    auto picture = scene(index, 380.f, 0, e2);
    float fog = std::exp(-5 * (1 - 100 / 222.f));
    for (int ch = 0; ch < 3; ch++) {
      EXPECT_EQ(at(picture, 4, 0)[ch], 0) << "facing away, channel " << ch << " e2=" << e2;
      EXPECT_EQ(at(picture, 4, 2)[ch], 0) << "on the terminator, channel " << ch << " e2=" << e2;
    }
    EXPECT_EQ(at(picture, 4, 0)[3], 255);
    EXPECT_EQ(at(picture, 4, 1)[0], 0) << "e2=" << e2;
    const float in[3] = {-.2f, .3f, .6f}, surface[3] = {.71f, .5f, 1};
    for (int ch = 1; ch < 3; ch++) {
      float c = lerp(lerp(in[ch], powD(in[ch], 7 - 6 * e2), .5f), surface[ch] * fog, .75f);
      EXPECT_NEAR(at(picture, 4, 1)[ch], unorm8(std::pow(c / 3, .45f)), 1) << ch << " e2=" << e2;
    }
  }
}

TEST_F(SceneZ7ZATest, Z8NegativeChannelsAreBlackAndAllOthersCarryTheFog) {
  // The fog adds at least .75 (.71, .5, 1) e^-5 to every channel that did not go negative, so a
  // stored channel is either 0 (negative, through NaN) or at least 11.
  int zeros = 0;
  for (float t : {365.f, 380.f, 395.f})
    for (float e2 : {0.f, 1.f}) {
      auto picture = scene(kZ8, {1.5f, e2, 0, t});
      for (int i = 0; i < kWidth * kHeight; i++)
        for (int ch = 0; ch < 3; ch++) {
          int value = picture[i * 4 + ch];
          EXPECT_TRUE(value == 0 || value >= 11) << "pixel " << i << " channel " << ch << " = " << value;
          zeros += value == 0;
        }
    }
  EXPECT_GT(zeros, 0) << "no surface faced away from both lights";
}

TEST_F(SceneZ7ZATest, Z9AlphaFallsTowardTheCorners) {
  SceneParams P{2.1f, 0, 1, 420};
  auto picture = scene(kZ9, P);
  for (int vy = 0; vy < kHeight; vy++)
    for (int vx = 0; vx < kWidth; vx++) {
      float3 u = screen(vx, vy);
      float factor = saturate(2.2f - std::sqrt(u.x * u.x * 4 + u.y * u.y * 4));
      ASSERT_EQ(at(picture, vx, vy)[3], unorm8(factor)) << vx << "," << vy;
    }
  EXPECT_EQ(at(picture, 0, 0)[3], 200);  // .786
  EXPECT_EQ(at(picture, kWidth / 2, kHeight / 2)[3], 255);
}

TEST_F(SceneZ7ZATest, Z9CornerAlphaShrinksTheFinalPassGlow) {
  // A bright pattern through Z9's own tone steps and corner darkening, so that the final pass's
  // glow is large enough to measure; the final pass reads the alpha and scales its spiral of
  // samples with it. Where the two spirals collect different light, the presented picture
  // follows the scaled one.
  int index = probe(
      "float k = (frac(v.y / 7.) < .5) != (frac(v.x / 5.) < .5) ? 1 : .05;\n"
      "storeW(v.xy, z9Tone(float3(k, k, k * .5), u));");
  auto picture = scene(index, 420.f);
  auto presented = frame(index, 420.f);
  EXPECT_EQ(at(picture, 0, 0)[3], 200);
  EXPECT_EQ(at(picture, kWidth / 2, kHeight / 2)[3], 255);
  double offScaled = 0, offFull = 0;
  int compared = 0;
  for (int vy = 0; vy < kHeight; vy++)
    for (int vx = 0; vx < kWidth; vx++) {
      int alpha = at(picture, vx, vy)[3];
      float3 scaled = reference::finalPassGlow(picture, kWidth, kHeight, vx, vy, alpha / 255.f);
      float3 full = reference::finalPassGlow(picture, kWidth, kHeight, vx, vy, 1);
      for (int ch = 0; ch < 3; ch++) {
        int got = at(presented, vx, vy)[ch];
        EXPECT_NEAR(got, unorm8(scaled[ch]), 2) << vx << "," << vy << " channel " << ch;
        if (alpha < 255 && std::abs(unorm8(scaled[ch]) - unorm8(full[ch])) >= 3 && scaled[ch] < 1 && full[ch] < 1) {
          compared++;
          offScaled += std::abs(got - scaled[ch] * 255);
          offFull += std::abs(got - full[ch] * 255);
        }
      }
    }
  ASSERT_GT(compared, 10) << "the glow does not depend on the spiral's scale here";
  EXPECT_LT(offScaled * 4, offFull) << compared << " channels";
}

TEST_F(SceneZ7ZATest, ZAMatchesTheReferenceMarch) {
  // At t = 150 pi the noise term of M5 is multiplied by sin(15 pi) = 0: the picture is the
  // geometry alone, and a float march on the CPU must give the same picture.
  const float t = 471.238898f;
  int clearRays = 0;
  for (SceneParams P : {SceneParams{0, 0, 0, t, kWidth, kHeight}, SceneParams{1.3f, .5f, 1, t, kWidth, kHeight},
                   SceneParams{.6f, 1, 0, t, kWidth, kHeight}}) {
    auto picture = scene(kZA, P);
    int within1 = 0, within10 = 0;
    for (int vy = 0; vy < kHeight; vy++)
      for (int vx = 0; vx < kWidth; vx++) {
        bool hit = false;
        float3 c = reference::zaPixel(P, vx, vy, hit);
        const std::uint8_t* px = at(picture, vx, vy);
        int diff = std::max({std::abs(px[0] - unorm8(c.x)), std::abs(px[1] - unorm8(c.y)), std::abs(px[2] - unorm8(c.z))});
        within1 += diff <= 1;
        within10 += diff <= 10;
        EXPECT_EQ(px[3], 255);
        if (!hit) {
          clearRays++;
          EXPECT_EQ(px[0] + px[1] + px[2], 0) << "a ray without a hit at " << vx << "," << vy;
        }
      }
    EXPECT_GE(within1, kWidth * kHeight * 95 / 100) << "e=" << P.e;
    EXPECT_GE(within10, kWidth * kHeight * 99 / 100) << "e=" << P.e;
  }
  RecordProperty("raysWithoutHit", clearRays);
  EXPECT_GE(clearRays, 1) << "no ray ran without a hit";
}

TEST_F(SceneZ7ZATest, ZAFlashValuesBrightenTheBlocksAndTheWall) {
  const float t = 471.238898f;
  auto dark = scene(kZA, {0, 0, 0, t});
  auto bright = scene(kZA, {0, 1, 1, t});
  long sumDark = 0, sumBright = 0;
  for (int i = 0; i < kWidth * kHeight; i++)
    for (int ch = 0; ch < 3; ch++) {
      EXPECT_GE(bright[i * 4 + ch] + 1, dark[i * 4 + ch]) << i;
      sumDark += dark[i * 4 + ch];
      sumBright += bright[i * 4 + ch];
    }
  EXPECT_GT(sumBright, sumDark);
}

TEST_F(SceneZ7ZATest, ScenesAreDeterministicAndShowAPicture) {
  const std::pair<int, SceneParams> cases[] = {
      {kZ7, {3, 0, 0, 321}}, {kZ7, {9, 1, 0, 340}}, {kZ7, {12, .3f, 0, 359.5f}},
      {kZ8, {3, 0, 0, 361}}, {kZ8, {9, 1, 0, 380}}, {kZ8, {12, .3f, 0, 399.5f}},
      {kZ9, {3, 0, 0, 401}}, {kZ9, {9, 0, 1, 420}}, {kZ9, {12, 0, .3f, 439.5f}},
      {kZA, {3, 0, 0, 441}}, {kZA, {9, 1, 1, 460}}, {kZA, {12, .3f, .3f, 479.5f}}};
  for (const auto& [index, P] : cases) {
    auto first = scene(index, P);
    auto second = scene(index, P);
    EXPECT_EQ(first, second) << "scene " << index << " t=" << P.t;
    // Not blank and not one flat colour: a spread of brightness over the picture.
    double sum = 0, sumSquares = 0;
    for (int i = 0; i < kWidth * kHeight; i++) {
      double l = (first[i * 4] + first[i * 4 + 1] + first[i * 4 + 2]) / 3.;
      sum += l;
      sumSquares += l * l;
    }
    double n = kWidth * kHeight, mean = sum / n, spread = std::sqrt(std::max(0., sumSquares / n - mean * mean));
    EXPECT_GT(mean, 8) << "scene " << index << " t=" << P.t;
    EXPECT_GT(spread, 8) << "scene " << index << " t=" << P.t;
  }
}

// Frame time per scene at 320 x 180: a benchmark that prints figures (run it with
// --gtest_also_run_disabled_tests --gtest_filter='*FrameTime*').
class SceneZ7ZAFrameTime : public gpu_test::GpuTest {
 protected:
  SceneZ7ZAFrameTime() : GpuTest(320, 180) {}
};

TEST_F(SceneZ7ZAFrameTime, DISABLED_Report) {
  const std::pair<int, const char*> scenes[] = {{kZ7, "Z7"}, {kZ8, "Z8"}, {kZ9, "Z9"}, {kZA, "ZA"}};
  std::printf("device: %s\n", renderer.deviceName());
  for (const auto& [index, name] : scenes) {
    const float start = 320 + 40 * (index - kZ7);
    double total = 0, best = 1e30;
    const int frames = 5;
    for (int k = 0; k < frames; k++) {
      const auto begin = std::chrono::steady_clock::now();
      const auto picture = frame(index, start + 4 + 8 * k, 5);
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
      ASSERT_EQ(picture.size(), std::size_t(320 * 180 * 4));
      total += ms;
      best = std::min(best, ms);
    }
    std::printf("%s at 320x180: mean %.0f ms, best %.0f ms per frame (scene, copy, final pass, read-back)\n", name,
                total / frames, best);
  }
}

}  // namespace
