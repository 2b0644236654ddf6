// The signal units against their formulas and edge cases, one unit at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <cstdint>
#include <limits>
#include <vector>

#include "synth/units.h"

namespace {

using namespace synth;

float p(int byte) { return static_cast<float>(byte) / 128.0f; }

// Parameter bytes to the floats loadParams would give.
std::vector<float> params(std::initializer_list<int> bytes) {
  std::vector<float> out;
  for (int b : bytes) out.push_back(p(b));
  return out;
}

// ---------------------------------------------------------------- shared routines

TEST(PowerOfTwo, EnvelopeRatesOfTheirBytes) {
  EXPECT_EQ(envelopeRate(p(0)), 1.0);
  EXPECT_EQ(envelopeRate(p(32)), 1.0 / 64);
  EXPECT_EQ(envelopeRate(p(64)), 1.0 / 4096);
  EXPECT_EQ(envelopeRate(p(128)), std::ldexp(1.0, -24));
  for (int b = 0; b < 256; ++b) {
    EXPECT_NEAR(envelopeRate(p(b)), std::exp2(-0.1875 * b), std::exp2(-0.1875 * b) * 1e-15) << b;
  }
}

TEST(PowerOfTwo, AnyExponentAndTheEdges) {
  for (double x : {-3.5, -1.0, -0.25, 0.0, 0.4, 7.75, 30.1}) {
    EXPECT_NEAR(powerOfTwo(x), std::exp2(x), std::exp2(x) * 1e-15) << x;
  }
  EXPECT_EQ(powerOfTwo(5000.5), std::numeric_limits<double>::infinity());
  EXPECT_EQ(powerOfTwo(-5000.5), 0.0);
  EXPECT_TRUE(std::isnan(powerOfTwo(std::nan(""))));
}

TEST(ShapeSignal, ClampsAndShapes) {
  // d = 0.5 passes the clamped signal unchanged.
  for (double x : {-2.0, -1.0, -0.3, 0.0, 0.7, 1.0, 5.0}) {
    EXPECT_DOUBLE_EQ(shapeSignal(x, 0.5f), std::clamp(x, -1.0, 1.0)) << x;
  }
  EXPECT_EQ(shapeSignal(std::nan(""), 0.5f), 1.0);
  // Towards 1: nearly a square; below 0.5: small values shrink, full scale stays.
  EXPECT_GT(shapeSignal(0.1, p(127)), 0.9);
  EXPECT_LT(shapeSignal(-0.1, p(127)), -0.9);
  EXPECT_LT(shapeSignal(0.5, 0.25f), 0.5);
  EXPECT_DOUBLE_EQ(shapeSignal(1.0, 0.25f), 1.0);
  EXPECT_DOUBLE_EQ(shapeSignal(-1.0, p(3)), -1.0);
  // The formula: x (1 + a) / (1 + a |x|), k = 2 (d - 0.5), a = 2k / (1 - k).
  const double k = 2 * (0.75 - 0.5), a = 2 * k / (1 - k);
  EXPECT_DOUBLE_EQ(shapeSignal(0.3, 0.75f), 0.3 * (1 + a) / (1 + a * 0.3));
  // The fast form (a = 0 without the division) gives the same bits.
  for (double x : {-3.0, -0.5, -0.0, 0.0, 0.25, 1.0, 2.0}) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(shapeWithFactor<true>(x, 0.0)),
              std::bit_cast<std::uint64_t>(shapeWithFactor<false>(x, 0.0)))
        << x;
  }
}

TEST(ModuloOne, FastFormMatchesFmodBitForBit) {
  std::vector<double> values{0.0, -0.0, 1.0, -1.0, -2.0, 2.0, 3.0, 4.0, 0.5, -0.5, 1.9999999,
                             std::nextafter(4.0, 0.0), std::nextafter(1.0, 0.0), 0x1p52,
                             0x1p52 + 1, -0x1p53, 1e300, 1e-310, -1e-310,
                             std::numeric_limits<double>::infinity(), 0x1p52 - 0.5};
  std::uint64_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const double unit = static_cast<double>(state >> 11) * 0x1p-53;
    values.push_back((unit - 0.25) * 6);      // -1.5 .. 4.5
    values.push_back(std::floor(unit * 8) - 2);  // whole numbers -2 .. 5
    values.push_back(static_cast<float>(unit) + 1.0);
  }
  for (double x : values) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(mod1<true>(x)), std::bit_cast<std::uint64_t>(mod1<false>(x)))
        << x;
  }
  EXPECT_TRUE(std::isnan(mod1<true>(std::nan(""))));
}

TEST(Clipping, ValuesOutsideTheRangeAndNaN) {
  EXPECT_EQ(clipSample(0.25f), 0.25f);
  EXPECT_EQ(clipSample(-0.999f), -0.999f);
  EXPECT_EQ(clipSample(1.0f), 1.0f);
  EXPECT_EQ(clipSample(7.0f), 1.0f);
  EXPECT_EQ(clipSample(-1.0f), -1.0f);
  EXPECT_EQ(clipSample(-40.0f), -1.0f);
  EXPECT_EQ(clipSample(std::numeric_limits<float>::infinity()), 1.0f);
  EXPECT_EQ(clipSample(-std::numeric_limits<float>::infinity()), -1.0f);
  EXPECT_EQ(clipSample(std::numeric_limits<float>::quiet_NaN()), 1.0f);
  EXPECT_EQ(clipSample(-std::numeric_limits<float>::quiet_NaN()), 1.0f);
}

// ---------------------------------------------------------------- Envelope

struct EnvelopeRun {
  UnitSlot slot{};
  EnvelopeConstants c;
  explicit EnvelopeRun(std::initializer_list<int> bytes) : c(makeEnvelopeConstants(params(bytes).data())) {}
  double run(std::int32_t releaseCount = 0, std::int32_t note = 60) {
    return runEnvelope(slot, releaseCount, note, c);
  }
  int stage() const { return fieldInt(slot, 0); }
  float level() const { return fieldFloat(slot, 1); }
};

TEST(Envelope, AttackDecaySustainRelease) {
  EnvelopeRun env({32, 32, 64, 16, 128});  // rates 1/64, 1/64, sustain 0.5, release 1/8
  for (int k = 1; k < 64; ++k) {
    EXPECT_DOUBLE_EQ(env.run(), k / 64.0) << k;
    EXPECT_EQ(env.stage(), stageAttack);
  }
  EXPECT_EQ(env.run(), 1.0);
  EXPECT_EQ(env.stage(), stageDecay);
  for (int k = 1; k < 32; ++k) {
    EXPECT_DOUBLE_EQ(env.run(), 1.0 - k / 64.0) << k;
    EXPECT_EQ(env.stage(), stageDecay);
  }
  EXPECT_EQ(env.run(), 0.5);
  EXPECT_EQ(env.stage(), stageSustain);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(env.run(), 0.5);
  EXPECT_EQ(env.stage(), stageSustain);
  for (int k = 1; k < 4; ++k) {
    EXPECT_DOUBLE_EQ(env.run(1), 0.5 - k / 8.0);
    EXPECT_EQ(env.stage(), stageRelease);
  }
  EXPECT_EQ(env.run(1), 0.0);
  EXPECT_EQ(env.stage(), stageDone);
  // A done envelope that runs again steps from release to done at once with level 0.
  EXPECT_EQ(env.run(2), 0.0);
  EXPECT_EQ(env.stage(), stageDone);
}

TEST(Envelope, EdgeCasesOfTheStages) {
  // Attack byte 0: 1 in one frame, and decay entered in that same run.
  EnvelopeRun instant({0, 64, 64, 64, 128});
  EXPECT_EQ(instant.run(), 1.0);
  EXPECT_EQ(instant.stage(), stageDecay);
  // Decay byte 0 with sustain 0: sustain in one frame at level 0.
  EnvelopeRun drop({0, 0, 0, 64, 128});
  drop.run();
  EXPECT_EQ(drop.run(), 0.0);
  EXPECT_EQ(drop.stage(), stageSustain);
  // Sustain above 1: sustain at once from decay, the level raised to it.
  EnvelopeRun loud({0, 32, 160, 64, 128});
  loud.run();
  EXPECT_EQ(loud.run(), 1.25);
  EXPECT_EQ(loud.stage(), stageSustain);
  // Release from attack as soon as the note is released.
  EnvelopeRun early({32, 32, 64, 32, 128});
  early.run();
  early.run();
  EXPECT_DOUBLE_EQ(early.run(1), 1.0 / 64);
  EXPECT_EQ(early.stage(), stageRelease);
}

TEST(Envelope, SilentTrackAndGain) {
  EnvelopeRun env({32, 32, 64, 16, 64});  // gain 0.5
  setFieldFloat(env.slot, 1, 0.75f);
  setFieldInt(env.slot, 0, stageSustain);
  const UnitSlot before = env.slot;
  EXPECT_EQ(env.run(0, 0), 0.0);  // note 0: pushes 0, touches nothing
  EXPECT_EQ(0, std::memcmp(&before, &env.slot, sizeof before));
  EXPECT_EQ(env.run(), 0.75 * 0.5);
  setFieldFloat(env.slot, 2, 0.25f);  // gain modulation adds to the gain
  EXPECT_EQ(env.run(), 0.75 * 0.75);
}

// An envelope whose output a ParamStore writes into its own gain modulation (word 0x0002).
std::vector<double> selfFeedingEnvelope(int amountByte, int frames) {
  InstrumentWorkspace workspace{};
  workspace.note = 60;
  const EnvelopeConstants c = makeEnvelopeConstants(params({0, 128, 0, 40, 128}).data());
  std::vector<double> out;
  for (int n = 0; n < frames; ++n) {
    SignalStack stack{};
    stack.push(runEnvelope(workspace.slots[0], workspace.releaseCount, workspace.note, c));
    runParamStore(workspace, p(amountByte), 0x0002, stack);
    out.push_back(stack.pop());
    if (fieldInt(workspace.slots[0], 0) == stageDone) break;
  }
  return out;
}

TEST(Envelope, FeedingItsOwnGainClimbsThenFallsWithItsLevel) {
  // Amount 128 (factor +1): out(n) = L(n) x (gain + out(n-1)), L from the decay 1 - n 2^-24 ...
  const std::vector<double> out = selfFeedingEnvelope(128, 4000);
  double previous = 0;
  float level = 0;
  double peak = 0;
  for (std::size_t n = 0; n < out.size(); ++n) {
    // The level the envelope alone would have: 1 at once, then a slow decay (byte 128: 2^-24).
    level = n == 0 ? 1.0f : static_cast<float>(double{level} - std::ldexp(1.0, -24));
    const double gain = static_cast<float>(previous);  // stored as a float field
    const double expected = double{level} * (1.0 + gain);
    EXPECT_DOUBLE_EQ(out[n], expected) << n;
    previous = out[n];
    peak = std::max(peak, out[n]);
  }
  EXPECT_GT(peak, 1000.0);  // far above 1: nothing limits it before the final clip
  // Factor 0.5 (byte 96): bounded by gain x L / (1 - k L) = 2.
  for (double v : selfFeedingEnvelope(96, 4000)) EXPECT_LE(v, 2.0 + 1e-9);
}

// ---------------------------------------------------------------- Oscillator

struct OscillatorRun {
  UnitSlot slot{};
  OscillatorConstants c;
  std::uint32_t seed = 1;
  explicit OscillatorRun(std::initializer_list<int> bytes) {
    const std::vector<float> f = params(bytes);
    std::vector<std::uint8_t> b;
    for (int x : bytes) b.push_back(static_cast<std::uint8_t>(x));
    c = makeOscillatorConstants(f.data(), b.data());
  }
  double run(std::int32_t note = 69) { return runOscillator<false>(slot, note, c, seed, nullptr); }
  float phase() const { return fieldFloat(slot, 0); }
};

TEST(Oscillator, PitchOfNotesAndTheLfoRate) {
  const struct {
    int note;
    double hertz;
  } cases[] = {{69, 220.0}, {81, 440.0}, {57, 110.0}};
  for (const auto& [note, hertz] : cases) {
    OscillatorRun osc({64, 64, 0, 0, 128, 64, 128, wave::sine});
    osc.run(note);
    EXPECT_NEAR(osc.phase() * 44100.0, hertz, hertz * 1e-5) << note;
  }
  OscillatorRun a69({64, 64, 0, 0, 128, 64, 128, wave::sine});
  a69.run(69);
  EXPECT_NEAR(a69.phase(), 0.00498866, 1e-8);
  // Transpose byte b shifts by b - 64 semitones, detune byte 128 by +1, the LFO ignores the note.
  OscillatorRun octave({76, 64, 0, 0, 128, 64, 128, wave::sine});
  octave.run(57);
  EXPECT_NEAR(octave.phase() * 44100.0, 220.0, 220.0 * 1e-5);
  OscillatorRun detuned({64, 128, 0, 0, 128, 64, 128, wave::sine});
  detuned.run(69);
  EXPECT_NEAR(detuned.phase() * 44100.0, 220.0 * std::exp2(1.0 / 12), 1e-2);
  for (int note : {0 + 1, 60, 127}) {
    OscillatorRun lfo({64, 64, 0, 0, 128, 64, 128, wave::sine | wave::lfo});
    lfo.run(note);
    EXPECT_NEAR(lfo.phase() * 44100.0, 2.8667, 1e-4) << note;
  }
  // Transpose modulation counts 128 semitones per unit, detune modulation one.
  OscillatorRun modulated({64, 64, 0, 0, 128, 64, 128, wave::sine});
  setFieldFloat(modulated.slot, 1, 12.0f / 128);
  setFieldFloat(modulated.slot, 2, -12.0f);
  modulated.run(69);
  EXPECT_NEAR(modulated.phase() * 44100.0, 220.0, 220.0 * 1e-5);
}

// An LFO 193 semitones below its base (transpose byte 0, detune byte 0, transpose modulation
// -1): a phase step near 9e-10, below half a float step at the phases used, so that the phase
// can be placed exactly.
OscillatorRun slowOscillator(int colour, int shape, int flags, int phaseOffset = 0) {
  OscillatorRun osc({0, 0, phaseOffset, 253, colour, shape, 128, flags | wave::lfo});
  setFieldFloat(osc.slot, 1, -1.0f);
  return osc;
}

double at(OscillatorRun& osc, double phase) {
  setFieldFloat(osc.slot, 0, static_cast<float>(phase));
  return osc.run();
}

TEST(Oscillator, SineShapes) {
  OscillatorRun sine = slowOscillator(128, 64, wave::sine);
  for (double phi : {0.03125, 0.125, 0.25, 0.6, 0.875}) {
    EXPECT_NEAR(at(sine, phi), std::sin(2 * std::numbers::pi * phi), 1e-6) << phi;
  }
  // Colour 0.5: one whole cycle in the first half of the period, then 0.
  OscillatorRun half = slowOscillator(64, 64, wave::sine);
  EXPECT_NEAR(at(half, 0.125), 1.0, 1e-6);
  EXPECT_NEAR(at(half, 0.375), -1.0, 1e-6);
  EXPECT_EQ(at(half, 0.625), 0.0);
  EXPECT_EQ(at(half, 0.9), 0.0);
  // The phase offset is added to the stored phase and not stored.
  OscillatorRun offset = slowOscillator(128, 64, wave::sine, 32);
  EXPECT_NEAR(at(offset, 0.0), 1.0, 1e-6);
  EXPECT_LT(offset.phase(), 1e-6f);
  // Gain byte and shaping apply to the wave.
  OscillatorRun quiet({0, 0, 0, 0, 128, 64, 32, wave::sine | wave::lfo});
  setFieldFloat(quiet.slot, 1, -1.0f);
  EXPECT_NEAR(at(quiet, 0.25), 0.25, 1e-6);
}

TEST(Oscillator, TrisawAndPulse) {
  OscillatorRun triangle = slowOscillator(64, 64, wave::trisaw);
  EXPECT_NEAR(at(triangle, 0.0), -1.0, 1e-6);
  EXPECT_NEAR(at(triangle, 0.25), 0.0, 1e-6);
  EXPECT_NEAR(at(triangle, 0.5), 1.0, 1e-6);
  EXPECT_NEAR(at(triangle, 0.75), 0.0, 1e-6);
  OscillatorRun saw = slowOscillator(128, 64, wave::trisaw);
  EXPECT_NEAR(at(saw, 0.25), -0.5, 1e-6);
  EXPECT_NEAR(at(saw, 0.75), 0.5, 1e-6);
  OscillatorRun skewed = slowOscillator(32, 64, wave::trisaw);  // rises over 1/4, falls over 3/4
  EXPECT_NEAR(at(skewed, 0.125), 0.0, 1e-6);
  EXPECT_NEAR(at(skewed, 0.625), 0.0, 1e-6);

  OscillatorRun pulse = slowOscillator(64, 64, wave::pulse);
  EXPECT_EQ(at(pulse, 0.25), 1.0);
  EXPECT_EQ(at(pulse, 0.5), 1.0);
  EXPECT_EQ(at(pulse, 0.75), -1.0);
  // Colour 0: -1 wherever the phase is not exactly 0.
  OscillatorRun thin = slowOscillator(0, 64, wave::pulse);
  EXPECT_EQ(at(thin, 0.001), -1.0);
  EXPECT_EQ(at(thin, 0.5), -1.0);
}

TEST(Oscillator, NoiseSequenceRunsAcrossOscillators) {
  std::uint32_t seed = 1;
  OscillatorRun first({64, 64, 0, 0, 64, 64, 128, wave::noise});
  OscillatorRun second({64, 64, 0, 0, 64, 64, 128, wave::noise | wave::lfo});
  std::uint32_t expected = 1;
  for (int i = 0; i < 100; ++i) {
    OscillatorRun& osc = i % 3 == 2 ? second : first;
    osc.seed = seed;
    const double value = osc.run();
    seed = osc.seed;
    expected = static_cast<std::uint32_t>(std::uint64_t{expected} * 16007u);
    EXPECT_EQ(value, static_cast<double>(static_cast<std::int32_t>(expected)) / -2147483648.0) << i;
    EXPECT_GT(value, -1.0);
    EXPECT_LE(value, 1.0);
  }
  OscillatorRun one({64, 64, 0, 0, 64, 64, 128, wave::noise});
  EXPECT_EQ(one.run(), 16007.0 / -2147483648.0);
  EXPECT_EQ(one.run(), static_cast<double>(static_cast<std::int32_t>(16007u * 16007u)) / -2147483648.0);
  EXPECT_GT(one.phase(), 0.0f);  // the phase still advances
}

TEST(Oscillator, GateStepsWithMaskFFFD) {
  OscillatorRun gate = slowOscillator(255, 64, wave::gate);  // mask 253 + 256 x 255 = 0xFFFD
  const double c = 0.99609375;
  setFieldFloat(gate.slot, 5, 1.0f);
  EXPECT_EQ(at(gate, 0.03125), 1.0);  // 16 x 1/32 = 0.5: ties to even, step 0
  EXPECT_EQ(at(gate, 0.09375), 1.0);  // 1.5: step 2
  EXPECT_EQ(at(gate, 0.5), 1.0);
  EXPECT_EQ(at(gate, 0.97), 1.0);  // 15.52 rounds to 16: step 0
  // Step 1 (1/32 < phase < 3/32) is closed: the level glides towards 0.
  double level = 1.0;
  for (int k = 0; k < 5; ++k) {
    level = static_cast<float>(0.0 + c * (level - 0.0));
    EXPECT_EQ(at(gate, 0.0625), level) << k;
  }
  // And back towards 1 on an open step.
  level = static_cast<float>(1.0 + c * (level - 1.0));
  EXPECT_EQ(at(gate, 0.25), level);
  EXPECT_EQ(fieldFloat(gate.slot, 5), static_cast<float>(level));
}

TEST(Oscillator, SilentTrackKeepsItsPhase) {
  OscillatorRun osc({64, 64, 0, 0, 128, 64, 128, wave::sine});
  osc.run();
  const float phase = osc.phase();
  EXPECT_EQ(osc.run(0), 0.0);
  EXPECT_EQ(osc.phase(), phase);
}

TEST(Oscillator, PitchCacheGivesTheSameIncrement) {
  PitchCache cache = emptyPitchCache;
  for (double e : {69.0, 69.0, 12.5, -3.0, 12.5}) {
    EXPECT_EQ(oscillatorIncrement(e, pitchBase, &cache), oscillatorIncrement(e, pitchBase, nullptr));
  }
}

// ---------------------------------------------------------------- Filter, HoldShaper

TEST(Filter, StateVariableStepsAndOutputBits) {
  const double f = static_cast<float>(0.25 * 0.25), q = 0.5;
  for (int bits : {1, 2, 3, 4, 7, 8, 15}) {
    UnitSlot slot{};
    double low = 0, band = 0;
    for (int n = 0; n < 50; ++n) {
      const double x = std::sin(n * 0.3);
      const double newLow = double{static_cast<float>(low)} + f * static_cast<float>(band);
      const double high = x - newLow - q * static_cast<float>(band);
      const double newBand = double{static_cast<float>(band)} + f * high;
      double expected = 0;
      if (bits & 1) expected += newLow;
      if (bits & 2) expected += high;
      if (bits & 4) expected += newBand;
      if (bits & 8) expected += newLow - high;
      EXPECT_DOUBLE_EQ(runFilter(slot, 60, p(32), p(64), static_cast<std::uint8_t>(bits), x), expected)
          << bits << " " << n;
      low = newLow;
      band = newBand;
      EXPECT_EQ(fieldFloat(slot, 0), static_cast<float>(low));
      EXPECT_EQ(fieldFloat(slot, 2), static_cast<float>(band));
    }
  }
}

TEST(Filter, FrequencyZeroFreezesAndSilentTrackPassesThrough) {
  UnitSlot slot{};
  setFieldFloat(slot, 0, 0.25f);
  setFieldFloat(slot, 2, 0.5f);
  // f = 0: low and band stay, high = x - low - q band.
  EXPECT_DOUBLE_EQ(runFilter(slot, 60, 0.0, 0.5, 2, 1.0), 1.0 - 0.25 - 0.5 * 0.5);
  EXPECT_EQ(fieldFloat(slot, 0), 0.25f);
  EXPECT_EQ(fieldFloat(slot, 2), 0.5f);
  // Frequency modulation (field 4) adds to the frequency before squaring.
  setFieldFloat(slot, 4, 0.5f);
  runFilter(slot, 60, 0.0, 0.5, 1, 1.0);
  EXPECT_NE(fieldFloat(slot, 0), 0.25f);
  const UnitSlot before = slot;
  EXPECT_EQ(runFilter(slot, 0, 0.5, 0.5, 1, 0.75), 0.75);
  EXPECT_EQ(0, std::memcmp(&before, &slot, sizeof slot));
}

TEST(HoldShaper, RefreshRates) {
  const struct {
    int rateByte;
    int refreshes;  // in 16 frames: rate^2 per frame on average, and always the first run
  } cases[] = {{128, 16}, {64, 5}, {0, 1}};  // 64: frames 0, 3, 7, 11, 15
  for (const auto& [rateByte, expectedRefreshes] : cases) {
    UnitSlot slot{};
    int refreshes = 0;
    double held = -1;
    for (int n = 0; n < 16; ++n) {
      const double x = 0.01 * (n + 1);  // a new input every frame
      const double out = runHoldShaper<false>(slot, 60, shapeFactor(0.5f), p(rateByte), x);
      if (out == double{static_cast<float>(x)}) {
        ++refreshes;
      } else {
        EXPECT_EQ(out, held) << rateByte;
      }
      held = out;
    }
    EXPECT_EQ(refreshes, expectedRefreshes) << rateByte;
  }
}

TEST(HoldShaper, ShapesTheHeldValueAndPassesThroughWhenSilent) {
  UnitSlot slot{};
  const double a = shapeFactor(p(100));
  EXPECT_EQ(runHoldShaper<false>(slot, 60, a, 1.0, 0.3), static_cast<float>(shapeSignal(0.3, p(100))));
  EXPECT_EQ(runHoldShaper<false>(slot, 60, a, 1.0, 4.0), 1.0);  // clamped, then shaped
  const UnitSlot before = slot;
  EXPECT_EQ(runHoldShaper<false>(slot, 0, a, 1.0, 0.7), 0.7);
  EXPECT_EQ(0, std::memcmp(&before, &slot, sizeof slot));
}

// ---------------------------------------------------------------- DelayBank

struct DelayRig {
  std::vector<DelayLine> lines;
  std::vector<std::uint16_t> lengths;
  DelayBankConstants c;
  DelayRig(std::vector<std::uint16_t> lineLengths, std::initializer_list<int> bytes)
      : lines(lineLengths.size()), lengths(std::move(lineLengths)) {
    std::vector<std::uint8_t> b;
    for (int x : bytes) b.push_back(static_cast<std::uint8_t>(x));
    c = makeDelayBankConstants(params(bytes).data(), b.data());
    c.firstEntry = 0;
  }
  template <bool Fast = false>
  double run(double x) {
    return runDelayBank<Fast>(lines.data(), lengths.data(), c, x);
  }
};

TEST(DelayBank, OneLineReturnsItsInput15383FramesLater) {
  DelayRig rig({15383}, {128, 0, 0, 0, 0, 0, 0, 1});  // input gain 1, no dry part, no feedback
  EXPECT_EQ(rig.run(1.0), 0.0);
  for (int n = 1; n < 15383; ++n) ASSERT_EQ(rig.run(0.0), 0.0) << n;
  EXPECT_EQ(rig.run(0.0), 1.0);  // through the DC blocker: 1 - 0 + c x 0
  const double c = 0.99609375;
  EXPECT_DOUBLE_EQ(rig.run(0.0), 0.0 - 1.0 + c * 1.0);
}

TEST(DelayBank, DryPartFeedbackDampingAndDcBlocker) {
  const double c = 0.99609375;
  DelayRig dry({100}, {0, 128, 0, 0, 0, 0, 0, 1});
  EXPECT_EQ(dry.run(1.0), 1.0);
  EXPECT_DOUBLE_EQ(dry.run(0.0), -1.0 + c);
  EXPECT_DOUBLE_EQ(dry.run(0.0), 0.0 - 0.0 + c * static_cast<float>(-1.0 + c));
  // Feedback 0.5, damping 0.5: the echo after one round is y, damped into the state.
  DelayRig echo({10}, {128, 0, 64, 64, 0, 0, 0, 1});
  echo.run(1.0);
  for (int n = 1; n < 10; ++n) echo.run(0.0);
  // Frame 10 reads 1; dampState = 0.5 x 1 + 0.5 x 0 = 0.5; writes 0 + 0.5 x 0.5.
  echo.run(0.0);
  EXPECT_EQ(echo.lines[0].dampState, 0.5f);
  EXPECT_EQ(echo.lines[0].samples[0], 0.25f);
  EXPECT_EQ(echo.lines[0].writeIndex, 1);
  // Input gain is squared.
  DelayRig gain({4}, {64, 0, 0, 0, 0, 0, 0, 1});
  gain.run(1.0);
  EXPECT_EQ(gain.lines[0].samples[0], 0.25f);
}

TEST(DelayBank, LinesSumAndModulationShortensTheDelay) {
  DelayRig pair({5, 8}, {128, 0, 0, 0, 0, 0, 0, 2});
  std::vector<double> out;
  for (int n = 0; n < 12; ++n) out.push_back(pair.run(n == 0 ? 1.0 : 0.0));
  // One impulse, read back from each line after its length; the DC blocker of the last line.
  double dcIn = 0, dcOut = 0;
  for (int n = 0; n < 12; ++n) {
    const double acc = (n == 5 ? 1.0 : 0.0) + (n == 8 ? 1.0 : 0.0);
    const double expected = acc - dcIn + 0.99609375 * dcOut;
    dcIn = static_cast<float>(acc);
    dcOut = static_cast<float>(expected);
    EXPECT_DOUBLE_EQ(out[n], expected) << n;
  }
  EXPECT_EQ(pair.lines[0].dcIn, 0.0f);  // only the last line keeps the DC blocker state
  // Depth byte 64 with rate 0: the phase stays 0, m = round((1 + sin 0) x 0.5^4 x 1024) = 64.
  DelayRig modulated({1000}, {128, 0, 0, 0, 0, 64, 0, 1});
  int arrival = -1;
  for (int n = 0; n < 1000; ++n) {
    if (modulated.run(n == 0 ? 1.0 : 0.0) == 1.0) arrival = n;
  }
  EXPECT_EQ(arrival, 1000 - 64);
  // The phase advances by rate^4 / 1024 per frame (modulo 1), in the first line only.
  DelayRig lfo({100, 100}, {128, 0, 0, 0, 128, 0, 0, 2});
  lfo.run(0.0);
  EXPECT_EQ(lfo.lines[0].lfoPhase, static_cast<float>(1.0 / 1024));
  EXPECT_EQ(lfo.lines[1].lfoPhase, 0.0f);
}

TEST(DelayBank, FastFormMatchesWithAndWithoutDepth) {
  for (int depth : {0, 40}) {
    DelayRig slow({300, 310}, {100, 60, 120, 30, 90, depth, 0, 2});
    DelayRig fast({300, 310}, {100, 60, 120, 30, 90, depth, 0, 2});
    for (int n = 0; n < 2000; ++n) {
      const double x = std::sin(n * 0.05);
      ASSERT_EQ(std::bit_cast<std::uint64_t>(slow.run<false>(x)),
                std::bit_cast<std::uint64_t>(fast.run<true>(x)))
          << depth << " " << n;
    }
  }
}

// ---------------------------------------------------------------- StackOp, Pan, Output, Accumulate

SignalStack stackOf(std::initializer_list<double> topFirst) {
  SignalStack s{};
  std::vector<double> values(topFirst);
  for (auto it = values.rbegin(); it != values.rend(); ++it) s.push(*it);
  return s;
}

std::vector<double> topFirst(const SignalStack& s) {
  std::vector<double> out;
  for (int i = s.depth - 1; i >= 0; --i) out.push_back(s.value[i]);
  return out;
}

TEST(StackOp, EveryOperation) {
  const struct {
    int op;
    std::vector<double> result;
  } cases[] = {
      {1, {3, 5, 7, 11}},
      {2, {2 + 3, 5, 7, 11}},
      {3, {2 * 3, 5, 7, 11}},
      {4, {2, 2, 3, 5, 7, 11}},
      {5, {3, 2, 5, 7, 11}},
      {6, {2 + 3, 3, 5, 7, 11}},
      {7, {2 * 3, 3, 5, 7, 11}},
      {8, {5 + 2, 7 + 3, 11}},
      {9, {60.0 / 128, 2, 3, 5, 7, 11}},
      {0, {5 * 2, 7 * 3, 11}},
      {10, {5 * 2, 7 * 3, 11}},
      {255, {5 * 2, 7 * 3, 11}},
  };
  for (const auto& [op, result] : cases) {
    SignalStack s = stackOf({2, 3, 5, 7, 11});
    runStackOp(static_cast<std::uint8_t>(op), 60, s);
    EXPECT_EQ(topFirst(s), result) << "operation " << op;
    // The format's stack effect, which the song check relies on, is what the operation does.
    const std::uint8_t byte = static_cast<std::uint8_t>(op);
    const StackEffect effect = stackEffect(opStackOp, &byte);
    EXPECT_EQ(s.depth - 5, effect.pushes - effect.pops) << "operation " << op;
  }
}

TEST(Pan, LinearLawWithoutClamping) {
  UnitSlot slot{};
  SignalStack s = stackOf({0.8});
  runPan(slot, p(64), s);
  EXPECT_EQ(topFirst(s), (std::vector<double>{0.4, 0.4}));
  s = stackOf({0.8});
  runPan(slot, p(0), s);
  EXPECT_EQ(topFirst(s), (std::vector<double>{0.8, 0.0}));  // full left
  s = stackOf({1.0});
  runPan(slot, p(32), s);
  EXPECT_EQ(topFirst(s), (std::vector<double>{0.75, 0.25}));
  setFieldFloat(slot, 0, 0.75f);  // P = 1.25: the left gain turns negative
  s = stackOf({1.0});
  runPan(slot, p(64), s);
  EXPECT_EQ(topFirst(s), (std::vector<double>{-0.25, 1.25}));
}

TEST(OutputAndAccumulate, SendsAndSums) {
  InstrumentWorkspace tracks[16]{};
  for (int i = 0; i < trackCount; ++i) {
    SignalStack s = stackOf({0.5 * i, -0.25 * i});
    runOutput(tracks[i], p(64), p(32), s);  // main 0.5, aux 0.25
    EXPECT_EQ(s.depth, 0);
    EXPECT_EQ(tracks[i].mainOut[0], static_cast<float>(0.25 * i));
    EXPECT_EQ(tracks[i].mainOut[1], static_cast<float>(-0.125 * i));
    EXPECT_EQ(tracks[i].auxOut[0], static_cast<float>(0.125 * i));
    EXPECT_EQ(tracks[i].auxOut[1], static_cast<float>(-0.0625 * i));
  }
  tracks[15].mainOut[0] = 100.0f;  // the running instrument's own outputs are not summed
  tracks[15].auxOut[1] = 100.0f;
  double mainLeft = 0, mainRight = 0, auxLeft = 0, auxRight = 0;
  for (int i = 0; i < trackCount; ++i) {
    mainLeft += tracks[i].mainOut[0];
    mainRight += tracks[i].mainOut[1];
    auxLeft += tracks[i].auxOut[0];
    auxRight += tracks[i].auxOut[1];
  }
  SignalStack s{};
  runAccumulate(tracks, 0, s);
  EXPECT_EQ(topFirst(s), (std::vector<double>{mainLeft, mainRight}));
  runAccumulate(tracks, 8, s);
  EXPECT_EQ(topFirst(s), (std::vector<double>{auxLeft, auxRight, mainLeft, mainRight}));
  InstrumentWorkspace silent[16]{};
  SignalStack zero{};
  runAccumulate(silent, 0, zero);
  EXPECT_EQ(topFirst(zero), (std::vector<double>{0.0, 0.0}));
}

TEST(ParamStore, OverwriteAddAndPop) {
  InstrumentWorkspace workspace{};
  SignalStack s = stackOf({0.5});
  runParamStore(workspace, p(128), 0x0025, s);  // slot 2, field 5, factor +1
  EXPECT_EQ(fieldFloat(workspace.slots[2], 5), 0.5f);
  EXPECT_EQ(s.depth, 1);
  runParamStore(workspace, p(0), 0x4025, s);  // add, factor -1
  EXPECT_EQ(fieldFloat(workspace.slots[2], 5), 0.0f);
  runParamStore(workspace, p(64), 0x83FF, s);  // factor 0 into the last field, and pop
  EXPECT_EQ(fieldFloat(workspace.slots[63], 15), 0.0f);
  EXPECT_EQ(s.depth, 0);
}

}  // namespace
