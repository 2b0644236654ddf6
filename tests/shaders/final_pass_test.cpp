// The clear pass ZB and the final pass ZZ, and the frame sequence around them (scene pass, copy
// into T, ZZ), against ZZ's mirror (reference/final_pass.*) computed on the CPU from the scene
// pass's picture.
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "tests/common/gpu_fixture.h"
#include "tests/shaders/reference/final_pass.h"

namespace {

using gpu_test::GpuTest;
using gpu_test::Picture;
using gpu_test::Rgba;

// A test scene with a different colour in every pixel; alpha 1 when e2 > 0, else varying.
const char* const patternScene = R"(
[numthreads(16,16,1)] void PATTERN(uint3 v : SV_DispatchThreadID) {
  float2 q = float2(v.xy);
  float alpha = e2 > 0 ? 1 : .3 + .7 * frac(q.x * .13 + q.y * .07);
  storeW(v.xy, float4(frac(q.x * .173 + e), frac(q.y * .291), frac((q.x + q.y) * .057), alpha));
}
)";

class FinalPass : public GpuTest {
 protected:
  explicit FinalPass(int width = 64, int height = 48) : GpuTest(width, height) {}
  void SetUp() override {
    GpuTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    pattern = compileExtra(patternScene, "PATTERN");
    ASSERT_GE(pattern, 0) << renderer.error().text();
  }

  // With alpha 1 and with varying alpha (the glow spiral's radius follows it).
  void expectReferenceAt(std::initializer_list<float> times) {
    for (float e2 : {0.0f, 1.0f}) {
      for (float t : times) {
        const Picture picture = scene(pattern, t, 0.2f, e2);
        const Picture shown = frame(pattern, t, 0.2f, e2);
        const Picture expected = reference::finalPass(picture, width(), height(), t);
        int worst = 0;
        int off = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) {
          const int d = std::abs(static_cast<int>(shown[i]) - static_cast<int>(expected[i]));
          worst = std::max(worst, d);
          if (d > 2) ++off;
        }
        // Single-precision differences between the CPU and the GPU (cos, division) may move a glow
        // sample across a texel edge now and then; a block edge in the wrong place shows in a row.
        EXPECT_LE(off, static_cast<int>(shown.size() / 1000)) << "t " << t << " e2 " << e2 << " worst " << worst;
      }
    }
  }
  int pattern = -1;
};

// The intro's smallest test size, where blocks computed by division landed on whole rows'
// edges; odd sides put the centre between two pixels.
class FinalPassAtIntroSizes : public FinalPass {
 protected:
  FinalPassAtIntroSizes() : FinalPass(320, 180) {}
};
class FinalPassAtOddSizes : public FinalPass {
 protected:
  FinalPassAtOddSizes() : FinalPass(161, 91) {}
};

TEST_F(FinalPassAtIntroSizes, OnePixelBlocksAndTheCoarsestMatchTheReference) { expectReferenceAt({80.0f, 120.0f, 300.0f}); }
TEST_F(FinalPassAtOddSizes, OnePixelBlocksAndTheCoarsestMatchTheReference) { expectReferenceAt({80.0f, 120.0f, 300.0f}); }

TEST_F(FinalPass, ClearPassIsOpaqueBlackAndStaysBlackThroughTheFinalPass) {
  for (float t : {480.0f, 485.5f, 490.0f}) {
    for (const Picture& picture : {scene(11, t), frame(11, t)}) {
      ASSERT_EQ(picture.size(), static_cast<std::size_t>(width() * height() * 4));
      for (int y = 0; y < height(); ++y) {
        for (int x = 0; x < width(); ++x) ASSERT_EQ(pixel(picture, x, y), (Rgba{0, 0, 0, 255})) << x << "," << y << " t " << t;
      }
    }
  }
}

TEST_F(FinalPass, BeforeT75TheSceneIsPresentedUnchangedAlphaIncluded) {
  for (float t : {0.0f, 40.0f, 74.99f}) {
    const Picture picture = scene(pattern, t, 0.3f);
    EXPECT_EQ(frame(pattern, t, 0.3f), picture) << "t " << t;
    // The pattern has varying alpha, so the check covers the alpha channel as well.
    EXPECT_NE(pixel(picture, 1, 0)[3], pixel(picture, 2, 0)[3]);
  }
}

TEST_F(FinalPass, AtASceneChangeEveryPixelButTheFirstColumnTakesTheCentresColour) {
  for (float t : {80.0f, 160.0f, 200.0f, 480.0f}) {
    const Picture shown = frame(pattern, t, 0.1f, 1.0f);
    const Rgba centre = pixel(shown, width() / 2, height() / 2);
    for (int y = 0; y < height(); ++y) {
      for (int x = 1; x < width(); ++x) ASSERT_EQ(pixel(shown, x, y), centre) << x << "," << y << " t " << t;
    }
    EXPECT_NE(pixel(shown, 0, 0), centre) << "the first column keeps its own anchor, t " << t;
  }
}

TEST_F(FinalPass, MatchesTheReferenceAcrossTheBlockTimeline) {
  // Blocks building up before a change, coarsest at it, clearing after it, none mid-scene.
  expectReferenceAt({75.0f, 77.5f, 79.2f, 80.0f, 81.0f, 83.0f, 120.0f, 158.0f, 161.5f, 199.0f, 238.0f, 300.0f});
}

TEST_F(FinalPass, TheSameFrameTwiceGivesTheSameBytes) {
  // Every scene of the timeline at a time inside its window, with the final pass after it.
  const float times[12] = {0, 77, 120, 180, 220, 260, 300, 340, 380, 420, 460, 485};
  for (int index = 1; index <= 11; ++index) {
    const float t = times[index];
    const Picture first = frame(index, t, t * 0.37f, 0.5f, 0.25f);
    const Picture second = frame(index, t, t * 0.37f, 0.5f, 0.25f);
    ASSERT_EQ(first.size(), static_cast<std::size_t>(width() * height() * 4));
    EXPECT_EQ(first, second) << "scene " << index << " t " << t;
  }
}

// A size that is not a multiple of 16: every pixel is written, the last column and row included.
class OddSizeFrame : public GpuTest {
 protected:
  OddSizeFrame() : GpuTest(70, 50) {}
};

TEST_F(OddSizeFrame, EveryPixelIsWritten) {
  const int pattern = compileExtra(patternScene, "PATTERN");
  ASSERT_GE(pattern, 0) << renderer.error().text();
  // The back buffer starts as zeros; alpha 255 everywhere shows that every pixel was written.
  for (const Picture& picture : {scene(11, 485), frame(11, 485)}) {
    for (int y = 0; y < height(); ++y) {
      for (int x = 0; x < width(); ++x) ASSERT_EQ(pixel(picture, x, y), (Rgba{0, 0, 0, 255})) << x << "," << y;
    }
  }
  const Picture picture = frame(pattern, 10, 0, 1.0f);
  for (int y = 0; y < height(); ++y) {
    for (int x = 0; x < width(); ++x) {
      const float fx = static_cast<float>(x);
      const float fy = static_cast<float>(y);
      const float expected[3] = {fx * .173f - std::floor(fx * .173f), fy * .291f - std::floor(fy * .291f),
                                 (fx + fy) * .057f - std::floor((fx + fy) * .057f)};
      const Rgba p = pixel(picture, x, y);
      for (int c = 0; c < 3; ++c) ASSERT_NEAR(p[static_cast<std::size_t>(c)], expected[c] * 255, 1.01) << x << "," << y;
      ASSERT_EQ(p[3], 255) << x << "," << y;
    }
  }
}

}  // namespace
