// The frame rate the intro announces on a CPU graphics driver, and the smaller size it suggests.
#include "host/cpu_frame_estimate.h"

#include <gtest/gtest.h>

namespace {

using namespace cpu_frame_estimate;

TEST(CpuFrameEstimate, ScalesTheMeasuredFrameTimeByPixels) {
  // The measured size gives the measured rate; four times the pixels a quarter of it.
  EXPECT_DOUBLE_EQ(framesPerSecondAt(320, 180), 1000.0 / measuredFrameMs);
  EXPECT_DOUBLE_EQ(framesPerSecondAt(640, 360), framesPerSecondAt(320, 180) / 4);
  EXPECT_DOUBLE_EQ(framesPerSecondAt(1280, 720), framesPerSecondAt(320, 180) / 16);
  // About 300 ms a frame at 320x180 on the measuring machine.
  EXPECT_GT(measuredFrameMs, 250.0);
  EXPECT_LT(measuredFrameMs, 350.0);
  EXPECT_EQ(framesPerSecondAt(0, 720), 0.0);
}

TEST(CpuFrameEstimate, SuggestsHalvedSidesUntilTheRateIsWorthWatching) {
  const Estimate large = estimateAt(1280, 720);
  ASSERT_TRUE(large.suggested);
  EXPECT_EQ(large.suggestedWidth, 160);
  EXPECT_EQ(large.suggestedHeight, 90);
  EXPECT_GE(large.suggestedFramesPerSecond, wantedFramesPerSecond);
  // One halving short of the rate: the one before it did not reach it.
  EXPECT_LT(framesPerSecondAt(320, 180), wantedFramesPerSecond);

  // Never below the smallest side, even when the rate is not reached there.
  const Estimate wide = estimateAt(4096, 200);
  ASSERT_TRUE(wide.suggested);
  EXPECT_EQ(wide.suggestedWidth, 2048);
  EXPECT_EQ(wide.suggestedHeight, 100);
  EXPECT_LT(wide.suggestedFramesPerSecond, wantedFramesPerSecond);
}

TEST(CpuFrameEstimate, NoSuggestionWhereNothingSmallerHelps) {
  // Fast enough already.
  const Estimate small = estimateAt(80, 45);
  EXPECT_FALSE(small.suggested);
  EXPECT_GE(small.framesPerSecond, wantedFramesPerSecond);
  // Slow, but one side is too short to halve.
  const Estimate thin = estimateAt(1000, 100);
  EXPECT_LT(thin.framesPerSecond, wantedFramesPerSecond);
  EXPECT_FALSE(thin.suggested);
}

}  // namespace
