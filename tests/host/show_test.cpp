#include "host/show.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "synth/synth.h"
#include "synth/timing.h"

namespace {

constexpr float threshold = 0.7f;
const float aboveThreshold = std::nextafter(0.7f, 1.0f);

EnvelopeLevels levelsWith(int track, float level) {
  EnvelopeLevels levels;
  levels.level[track] = level;
  return levels;
}

// A state as it stands after a frame at patternClock `last`, about to take a frame at `now`.
ShowState stateBetween(float last, float now) {
  ShowState state;
  state.lastPatternClock = last;
  state.patternClock = now;
  return state;
}

}  // namespace

TEST(SyncValues, PhaseGrowsWithInstrumentsSixSevenEight) {
  ShowState state = stateBetween(3.0f, 3.5f);  // d = 0.5
  EnvelopeLevels levels;
  levels.level[6] = 1.0f;
  levels.level[7] = 0.5f;
  levels.level[8] = 0.25f;
  levels.level[5] = 1.0f;  // not part of the phase
  levels.level[9] = 0.5f;
  updateSync(state, levels);
  EXPECT_NEAR(state.e, 0.5 * 0.7 + 0.25 * 0.4 + 0.125 * 0.4, 1e-6);
  EXPECT_EQ(state.lastPatternClock, 3.5f);

  // Nothing else moves the phase.
  for (int track = 0; track < syncTrackCount; ++track) {
    if (track >= 6 && track <= 8) continue;
    ShowState other = stateBetween(0.0f, 1.0f);
    updateSync(other, levelsWith(track, 1.0f));
    EXPECT_EQ(other.e, 0.0f) << "track " << track;
  }
}

TEST(SyncValues, PhaseIsSummedStepByStepInSinglePrecision) {
  // Values for which the float steps and a double evaluation disagree.
  ShowState state = stateBetween(0.0f, 0.1f);
  state.e = 1000.0f;
  EnvelopeLevels levels;
  levels.level[6] = 0.3f;
  levels.level[7] = 0.3f;
  levels.level[8] = 0.3f;
  updateSync(state, levels);

  const float d = 0.1f - 0.0f;
  float e = 1000.0f;
  const float p6 = d * 0.3f, w6 = p6 * 0.7f;
  e = e + w6;
  const float p7 = d * 0.3f, w7 = p7 * 0.4f;
  e = e + w7;
  const float p8 = d * 0.3f, w8 = p8 * 0.4f;
  e = e + w8;
  const double wide = 1000.0 + double(d) * double(0.3f) * double(0.7f) + 2.0 * double(d) * double(0.3f) * double(0.4f);
  ASSERT_NE(double(e), wide);
  ASSERT_NE(e, 1000.0f + (w6 + w7 + w8));  // summing the weights first rounds differently
  EXPECT_EQ(state.e, e);
}

TEST(SyncValues, FlashTriggersStrictlyAboveTheThreshold) {
  const int e2Tracks[] = {13, 0};
  const int e3Tracks[] = {2, 3, 9, 10, 11, 12};
  for (int track = 0; track < syncTrackCount; ++track) {
    bool drivesE2 = false, drivesE3 = false;
    for (int t : e2Tracks) drivesE2 = drivesE2 || t == track;
    for (int t : e3Tracks) drivesE3 = drivesE3 || t == track;

    ShowState at = stateBetween(1.0f, 1.0f);
    updateSync(at, levelsWith(track, threshold));
    EXPECT_EQ(at.e2, 0.0f) << "track " << track;
    EXPECT_EQ(at.e3, 0.0f) << "track " << track;

    ShowState above = stateBetween(1.0f, 1.0f);
    updateSync(above, levelsWith(track, aboveThreshold));
    EXPECT_EQ(above.e2, drivesE2 ? 1.0f : 0.0f) << "track " << track;
    EXPECT_EQ(above.e3, drivesE3 ? 1.0f : 0.0f) << "track " << track;
  }
}

TEST(SyncValues, FlashesFallTwentyTwoPerPatternAndStopAtZero) {
  ShowState state = stateBetween(10.0f, 10.015625f);  // d = 1/64 pattern
  state.e2 = 1.0f;
  state.e3 = 0.5f;
  updateSync(state, EnvelopeLevels{});
  EXPECT_EQ(state.e2, 1.0f - 22.0f / 64.0f);
  EXPECT_EQ(state.e3, 0.5f - 22.0f / 64.0f);

  state.patternClock = 10.03125f;  // another 1/64
  updateSync(state, EnvelopeLevels{});
  EXPECT_EQ(state.e2, 1.0f - 44.0f / 64.0f);
  EXPECT_EQ(state.e3, 0.0f);  // would be negative: stops at 0

  // From 1 to 0 in 1/22 of a pattern, about 2,796 sample frames.
  ShowState flash;
  flash.e2 = 1.0f;
  advanceFrame(flash, 100000, EnvelopeLevels{});
  flash.e2 = 1.0f;
  advanceFrame(flash, 100000 + 2700, EnvelopeLevels{});
  EXPECT_GT(flash.e2, 0.0f);
  advanceFrame(flash, 100000 + 2797, EnvelopeLevels{});
  EXPECT_EQ(flash.e2, 0.0f);
}

TEST(SyncValues, SamePositionTwiceChangesNothingButTriggers) {
  EnvelopeLevels levels;
  levels.level[6] = 1.0f;
  levels.level[7] = 1.0f;
  ShowState state;
  advanceFrame(state, 500000, levels);
  state.e2 = 0.5f;
  state.e3 = 0.25f;
  const float e = state.e;
  advanceFrame(state, 500000, levels);  // d = 0
  EXPECT_EQ(state.e, e);
  EXPECT_EQ(state.e2, 0.5f);
  EXPECT_EQ(state.e3, 0.25f);
  levels.level[0] = 0.9f;
  advanceFrame(state, 500000, levels);
  EXPECT_EQ(state.e2, 1.0f);
  EXPECT_EQ(state.e3, 0.25f);
}

TEST(SyncValues, HeldTriggerKeepsTheFlashAtOne) {
  EnvelopeLevels levels;
  levels.level[13] = 0.8f;
  levels.level[10] = 1.0f;
  ShowState state;
  for (std::uint32_t p = 0; p < 200000; p += 7000) {  // frames far longer than the fall-off
    advanceFrame(state, p, levels);
    EXPECT_EQ(state.e2, 1.0f);
    EXPECT_EQ(state.e3, 1.0f);
  }
}

TEST(SyncValues, FirstFrameStepsOverEverythingPlayedBeforeIt) {
  EnvelopeLevels levels;
  levels.level[6] = 1.0f;
  ShowState state;
  advanceFrame(state, 2 * framesPerPattern, levels);  // d = 2 - 0
  EXPECT_EQ(state.e, 2.0f * 0.7f);
  EXPECT_EQ(state.lastPatternClock, 2.0f);

  ShowState flash;
  flash.e2 = 1.0f;
  advanceFrame(flash, 1000, EnvelopeLevels{});
  EXPECT_EQ(flash.e2, 1.0f - patternClockOf(1000) * 22.0f);
}

TEST(SyncValues, PhaseDoesNotDependOnTheFrameRate) {
  EnvelopeLevels levels;
  levels.level[6] = 0.6f;
  levels.level[8] = 0.9f;
  const auto constant = [&](std::uint32_t) { return levels; };
  const std::uint32_t target = 20 * framesPerPattern;
  const ShowState slow = simulateShow(target, 24.0, constant);
  const ShowState fast = simulateShow(target, 144.0, constant);
  EXPECT_NEAR(slow.e, 20.0 * (0.6 * 0.7 + 0.9 * 0.4), 5e-3);
  EXPECT_NEAR(fast.e, slow.e, 5e-3);
}

TEST(Timeline, FromThePlayPosition) {
  for (std::uint32_t boundary : {32u, 64u, 80u, 192u}) {
    const std::uint32_t p = boundary * framesPerPattern;
    ShowState state;
    advanceFrame(state, p - 1, EnvelopeLevels{});
    const int before = state.sceneIndex;
    advanceFrame(state, p, EnvelopeLevels{});
    EXPECT_EQ(state.sceneIndex, before + 1) << boundary;
    EXPECT_EQ(state.t, 2.5f * float(boundary));
  }
  // Every scene lasts a whole number of frames over the song, in order, without gaps.
  int scene = 1;
  for (std::uint32_t p = 0; p < songFrames; p += 735) {
    const int now = sceneIndexOf(patternClockOf(p));
    EXPECT_TRUE(now == scene || now == scene + 1) << p;
    scene = now;
  }
  EXPECT_EQ(scene, 11);
}

TEST(ShaderParams, LayoutIsPhaseFlashesTimeAndSize) {
  ShaderParams params;
  writePictureSize(params, 1920, 1080);
  ShowState state;
  state.e = 3.5f;
  state.e2 = 0.25f;
  state.e3 = 1.0f;
  state.t = 123.0f;
  writeFrameParams(params, state);
  const float expected[8] = {3.5f, 0.25f, 1.0f, 123.0f, 1920.0f, 1080.0f, 0.0f, 0.0f};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(params.floats()[i], expected[i]) << i;
}

TEST(EnvelopeLog, LevelsAreTheEvenSlotsOfTheRecordThePositionReads) {
  SynthMemoryPtr memory = allocateSynthMemory();
  for (std::uint32_t record = 0; record < 3; ++record) {
    for (int i = 0; i < 32; ++i) memory->envelopeLog[record].level[i] = float(32 * record + i);
  }
  memory->publishedFrames = 2 * envelopeLogPeriod;  // records 0 and 1 complete
  const EnvelopeLevels second = songLevelsAt(*memory, 256 + 17);
  for (int i = 0; i < syncTrackCount; ++i) EXPECT_EQ(second.level[i], float(32 + 2 * i));
  EXPECT_EQ(songLevelsAt(*memory, 255).level[1], 2.0f);
  // Not yet rendered, or beyond the song: zeros.
  for (float level : songLevelsAt(*memory, 2 * 256).level) EXPECT_EQ(level, 0.0f);
  memory->publishedFrames = songFrames;
  for (float level : songLevelsAt(*memory, songFrames).level) EXPECT_EQ(level, 0.0f);
}

TEST(FixedRateLoop, FramePositionsAreRoundedSampleTimes) {
  EXPECT_EQ(framePosition(0, 60.0), 0u);
  EXPECT_EQ(framePosition(1, 60.0), 735u);
  EXPECT_EQ(framePosition(60, 60.0), 44100u);
  EXPECT_EQ(framePosition(1, 30000.0 / 1001.0), 1471u);  // 1471.47
  EXPECT_EQ(framePosition(2, 30000.0 / 1001.0), 2943u);  // 2942.94
  EXPECT_EQ(framePosition(1, 48.0), 919u);               // 918.75
}

TEST(FixedRateLoop, NoFrameRateStepsOnlyTheTarget) {
  int frames = 0;
  const auto count = [&](std::uint32_t) {
    ++frames;
    return EnvelopeLevels{};
  };
  for (double rate : {0.0, -30.0}) {
    frames = 0;
    const ShowState state = simulateShow(5000, rate, count);
    EXPECT_EQ(frames, 1) << rate;
    EXPECT_EQ(state.patternClock, patternClockOf(5000));
  }
}

TEST(FixedRateLoop, SimulationStepsEveryFrameThenTheTarget) {
  std::vector<std::uint32_t> seen;
  const auto record = [&](std::uint32_t p) {
    seen.push_back(p);
    return EnvelopeLevels{};
  };
  const std::uint32_t target = 3000;
  const ShowState state = simulateShow(target, 60.0, record);
  const std::vector<std::uint32_t> expected{0, 735, 1470, 2205, 2940, 3000};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(state.patternClock, patternClockOf(target));
  EXPECT_EQ(state.lastPatternClock, patternClockOf(target));

  seen.clear();
  simulateShow(1470, 60.0, record);  // a target on the grid is stepped once
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 735, 1470}));
}

TEST(FixedRateLoop, FlashesDecayFromTheLastTrigger) {
  // Instrument 0 is loud in the first 64 records only.
  const auto levelsAt = [](std::uint32_t p) { return levelsWith(0, envelopeRecordOf(p) < 64 ? 1.0f : 0.0f); };
  const ShowState state = simulateShow(64 * 256 + 1000, 60.0, levelsAt);
  // The last frame that saw the trigger was at 16170 (22 * 735), the one after at 16905.
  const float afterTrigger = patternClockOf(16905) - patternClockOf(16170);
  const float toTarget = patternClockOf(64 * 256 + 1000) - patternClockOf(16905);
  float expected = 1.0f - afterTrigger * 22.0f;
  expected = expected - toTarget * 22.0f;
  EXPECT_EQ(state.e2, expected);
  EXPECT_GT(state.e2, 0.0f);
  EXPECT_EQ(state.sceneIndex, 1);
  EXPECT_EQ(state.e, 0.0f);
}

TEST(FixedRateLoop, WholeSongEndsInTheClearScene) {
  const ShowState state = simulateShow(songFrames, 60.0, [](std::uint32_t) { return EnvelopeLevels{}; });
  EXPECT_EQ(state.sceneIndex, 11);
  EXPECT_EQ(state.t, 490.0f);
  EXPECT_EQ(state.e2, 0.0f);
}
