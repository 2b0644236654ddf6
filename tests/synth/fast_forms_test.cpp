// The decoded render's shortcuts give the same bits as the forms they stand for.
#include <gtest/gtest.h>

#include <algorithm>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "synth/song_check.h"
#include "synth/synth.h"
#include "synth/units.h"
#include "tests/synth/render_reference.h"
#include "tests/synth/song_builder.h"

namespace {

using namespace synth;

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

TEST(PowerOfTwoFast, SameBitsAsPowerOfTwo) {
  // Pitch exponents / 12 in practice lie within a few units of 0; sweep far beyond, across the
  // bounds where the product form hands over to ldexp, with fractions of every size.
  for (double whole = -1100.0; whole <= 1100.0; whole += 1.0) {
    for (double fraction : {0.0, 1e-17, 1e-9, 0.0833333284, 0.25, 0.5, 0.7071, 0.999999999999}) {
      for (double x : {whole + fraction, whole - fraction}) {
        ASSERT_EQ(bits(powerOfTwoFast(x)), bits(powerOfTwo(x))) << x;
      }
    }
  }
  // Pitch exponents as an oscillator forms them: 128 (t - 1/2 + m) + 2 (d - 1/2) + n, over 12.
  std::uint32_t state = 12345;
  for (int i = 0; i < 200000; ++i) {
    state = state * 1664525u + 1013904223u;
    const double exponent = (static_cast<double>(state) / 4294967296.0 - 0.5) * 600.0;
    const double x = exponent * double{oneTwelfth};
    ASSERT_EQ(bits(powerOfTwoFast(x)), bits(powerOfTwo(x))) << x;
  }
  for (double x : {-0.0, 999.999, -999.999, 1000.0, -1000.0, 4096.5, -4096.5, 1e300, -1e300}) {
    EXPECT_EQ(bits(powerOfTwoFast(x)), bits(powerOfTwo(x))) << x;
  }
  EXPECT_EQ(powerOfTwoFast(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
  EXPECT_EQ(powerOfTwoFast(-std::numeric_limits<double>::infinity()), 0.0);
  EXPECT_TRUE(std::isnan(powerOfTwoFast(std::nan(""))));
}

// A delay bank's read offset as the formula gives it, with the library sine.
double exact(double x, double depth) {
  return std::nearbyint((1.0 + std::sin(x)) * depth * double{delayModulationScale});
}

// Modulation depths of parameter bytes from the least to the greatest.
std::vector<double> modulationDepths() {
  std::vector<double> depths;
  for (int byte : {1, 9, 28, 64, 100, 128, 200, 255}) {
    const double p = byte * double{parameterScale};
    depths.push_back(p * p * p * p);
  }
  return depths;
}

// A delay bank's read offset from the sine estimate is the one the library sine gives, for
// phases everywhere and for phases whose offset lies a hair from a rounding boundary (where the
// estimate must hand over to the library).
TEST(DelayOffset, EstimatedSineGivesTheLibraryOffset) {
  const std::vector<double> depths = modulationDepths();
  std::uint32_t state = 777;
  for (int i = 0; i < 300000; ++i) {
    state = state * 1664525u + 1013904223u;
    const float phase = static_cast<float>(state >> 8) / 16777216.0f;
    const double x = twoPi * double{phase};
    for (double depth : depths) ASSERT_EQ(offsetForPhase(x, depth), exact(x, depth)) << phase << " " << depth;
  }
  int nearBoundaries = 0;
  for (double depth : depths) {
    const double top = 2.0 * depth * double{delayModulationScale};
    for (double k = 0.5; k < top && k < 400.0; k += 1.0) {
      const double s = k / (depth * double{delayModulationScale}) - 1.0;
      if (s < -1.0 || s > 1.0) continue;
      for (double angle : {std::asin(s), std::numbers::pi - std::asin(s)}) {
        float phase = static_cast<float>((angle < 0 ? angle + twoPi : angle) / twoPi);
        for (int step = 0; step < 8; ++step, phase = std::nextafter(phase, 2.0f)) {
          const double x = twoPi * double{phase};
          ASSERT_EQ(offsetForPhase(x, depth), exact(x, depth)) << phase << " " << depth;
          ++nearBoundaries;
        }
      }
    }
  }
  EXPECT_GT(nearBoundaries, 1000);
  for (float phase : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, std::nextafter(1.0f, 0.0f)}) {
    for (double depth : depths) EXPECT_EQ(offsetForPhase(twoPi * phase, depth), exact(twoPi * phase, depth));
  }
  EXPECT_TRUE(std::isnan(offsetForPhase(std::nan(""), 1.0)));
}

// An offset held from an earlier frame is the one the library sine gives at every phase: for
// modulations slow and fast, for phases that jump about, and for phases crawling across each
// rounding step a float step at a time. Slow modulations must mostly be served from the hold.
TEST(DelayOffset, HeldOffsetIsTheLibraryOffsetAtEveryPhase) {
  for (double depth : modulationDepths()) {
    int frames = 0, held = 0;
    const auto check = [&](OffsetHold& hold, float phase) {
      const OffsetHold before = hold;
      ASSERT_EQ(heldOffset(phase, depth, hold), exact(twoPi * double{phase}, depth)) << phase << " " << depth;
      ++frames;
      if (hold.phase == before.phase && before.reach >= 0.0f) ++held;
    };
    for (int rateByte : {1, 4, 16, 64, 255}) {
      if (rateByte == 64) {
        EXPECT_GT(held, frames / 2) << "slow modulations, depth " << depth;
      }
      const double rate = rateByte * double{parameterScale};
      const double step = rate * rate * rate * rate / double{delayModulationScale};
      OffsetHold hold = emptyOffsetHold;
      float phase = 0.0f;
      for (int frame = 0; frame < 30000; ++frame) {
        phase = static_cast<float>(mod1<true>(double{phase} + step + 1.0));
        check(hold, phase);
      }
    }
    OffsetHold hold = emptyOffsetHold;
    std::uint32_t state = 99;
    for (int i = 0; i < 20000; ++i) {
      state = state * 1664525u + 1013904223u;
      check(hold, static_cast<float>(state >> 8) / 16777216.0f);
    }
    // Up and down across the rounding steps the offset takes at the start of its range.
    const double scale = depth * double{delayModulationScale};
    for (double k = 0.5; k < 2.0 * scale && k < 40.0; k += 1.0) {
      const double s = k / scale - 1.0;
      const float at = static_cast<float>(std::asin(s) < 0 ? std::asin(s) / twoPi + 1.0 : std::asin(s) / twoPi);
      for (float direction : {2.0f, -1.0f}) {
        float phase = at;
        for (int i = 0; i < 300; ++i) phase = std::nextafter(phase, -direction);
        for (int i = 0; i < 600; ++i, phase = std::nextafter(phase, direction)) check(hold, phase);
      }
    }
  }
}

// The estimate's error must stay well inside the 1e-7 margin the offset allows it.
TEST(DelayOffset, SineEstimateStaysWithinItsBound) {
  double worst = 0.0;
  for (int i = -2000000; i <= 2000000; ++i) {
    const double x = twoPi * i / 2000000.0;
    worst = std::max(worst, std::fabs(sineEstimate(x) - std::sin(x)));
  }
  EXPECT_LT(worst, 1e-9);
}

TEST(FilterCoefficient, FixedCoefficientGivesTheSameFrames) {
  // runFilter works the coefficient out every frame; the decoded render once, with field 4 at 0.
  UnitSlot a{}, b{};
  const double frequency = 40.0 / 128.0, damping = 60.0 / 128.0;
  const double f = filterCoefficient(UnitSlot{}, frequency);
  for (int frame = 0; frame < 1000; ++frame) {
    const double x = std::sin(frame * 0.05);
    const double ya = runFilter(a, 60, frequency, damping, 7, x);
    const double yb = filterStep(b, f, damping, 7, x);
    ASSERT_EQ(bits(ya), bits(yb)) << frame;
  }
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a.field[i], b.field[i]) << i;
}

TEST(DecodedRender, ModulationFieldsNothingWritesButAreNotZeroAreStillRead) {
  // The decoded render fixes a filter's coefficient and an oscillator's pitch where no store
  // writes their modulation fields, as long as those fields are 0 when rendering starts (a new
  // note clears them, changing them mid-render). Here they are not (set between two calls) and
  // a new note comes at row 6: both paths must still agree.
  const SongBuilder mix = makeMixSong();
  SynthMemoryPtr fast = allocateSynthMemory(), reference = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*fast, mix.song(), 1000));
  ASSERT_TRUE(renderSongFramesReference(*reference, mix.song(), 1000));
  for (SynthMemory* memory : {fast.get(), reference.get()}) {
    UnitSlot* slots = memory->workspaces[0].slots;  // track 0: oscillators 1, 2; filters 7, 8
    slots[1].field[1] = std::bit_cast<std::uint32_t>(0.01f);
    slots[2].field[2] = std::bit_cast<std::uint32_t>(-0.5f);
    slots[7].field[4] = std::bit_cast<std::uint32_t>(0.125f);
  }
  constexpr std::uint32_t end = 7 * framesPerTick;
  ASSERT_TRUE(renderSongFrames(*fast, mix.song(), end));
  ASSERT_TRUE(renderSongFramesReference(*reference, mix.song(), end));
  EXPECT_EQ(std::memcmp(fast->soundBuffer, reference->soundBuffer, sizeof(float) * 2 * end), 0);
  EXPECT_EQ(std::memcmp(fast->workspaces, reference->workspaces, sizeof fast->workspaces), 0);
  // And the change is heard at all (the same render without it differs).
  SynthMemoryPtr plain = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*plain, mix.song(), end));
  EXPECT_NE(std::memcmp(plain->soundBuffer, fast->soundBuffer, sizeof(float) * 2 * end), 0);
}

TEST(DecodedRender, InstrumentsOfSixtyFourUnitsMakingTheMostOperations) {
  // A pair StackOp makes two operations; here every instrument is 64 units, 31 of them pairs.
  SongBuilder s;
  const std::uint8_t notes = s.pattern({60, 1, 1, 1, 0, 1, 1, 1, 64, 1, 1, 1, 1, 1, 1, 1});
  for (int track = 0; track < trackCount; ++track) s.play(track, notes);
  for (int instrument = 0; instrument < instrumentCount; ++instrument) {
    s.accumulate(0).accumulate(8);
    for (int i = 0; i < 30; ++i) s.stackOp(i % 2 == 0 ? 8 : 0).accumulate(i % 3 == 0 ? 8 : 0);
    s.stackOp(8).output(100, 60).end();
  }
  for (const SongProblem& problem : checkSong(s.song())) ADD_FAILURE() << describe(problem);
  SynthMemoryPtr fast = allocateSynthMemory(), reference = allocateSynthMemory();
  constexpr std::uint32_t end = 5 * framesPerTick;
  ASSERT_TRUE(renderSongFrames(*fast, s.song(), end));
  ASSERT_TRUE(renderSongFramesReference(*reference, s.song(), end));
  EXPECT_EQ(std::memcmp(fast->soundBuffer, reference->soundBuffer, sizeof(float) * 2 * end), 0);
  EXPECT_EQ(std::memcmp(fast->workspaces, reference->workspaces, sizeof fast->workspaces), 0);
}

}  // namespace
