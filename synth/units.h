#pragma once
// The signal units' formulas, shared by the decoded render (render.cpp) and the tests' literal
// interpreter (tests/synth/render_reference.cpp). Double for the signal stack and every
// intermediate value, float for stored state. Each unit takes its constants, derived from its
// parameter bytes by the make*Constants functions; the literal interpreter derives them every
// frame, the decoded path once.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "synth/format.h"
#include "synth/synth.h"

namespace synth {

// Global constants (32-bit values, widened where they are used).
inline constexpr float parameterScale = 0.0078125f;  // 1 / 128
inline constexpr double noiseDivisor = -2147483648.0;
inline constexpr float oneHalf = 0.5f;
inline constexpr float gateSteps = 16.0f;
inline constexpr float delayModulationScale = 1024.0f;
inline constexpr float smoothingCoefficient = 0.99609375f;  // 255 / 256
inline constexpr std::int32_t envelopeRateExponent = 24;
inline constexpr float oneTwelfth = 0.0833333284f;
inline constexpr float pitchBase = 9.26961366e-05f;  // cycles per frame at exponent 0
inline constexpr float lfoBase = 6.50037982e-05f;
inline constexpr std::uint32_t noiseMultiplier = 16007;
inline constexpr double twoPi = 2.0 * std::numbers::pi;

// Envelope stages.
inline constexpr std::int32_t stageAttack = 0, stageDecay = 1, stageSustain = 2, stageRelease = 3,
                              stageDone = 4;

inline float fieldFloat(const UnitSlot& slot, int index) {
  return std::bit_cast<float>(slot.field[index]);
}
inline void setFieldFloat(UnitSlot& slot, int index, float value) {
  slot.field[index] = std::bit_cast<std::uint32_t>(value);
}
inline std::int32_t fieldInt(const UnitSlot& slot, int index) {
  return static_cast<std::int32_t>(slot.field[index]);
}
inline void setFieldInt(UnitSlot& slot, int index, std::int32_t value) {
  slot.field[index] = static_cast<std::uint32_t>(value);
}

// 2^x as 2^(x - trunc x) x 2^(trunc x).
inline double powerOfTwo(double x) {
  if (std::isnan(x)) return x;
  if (std::isinf(x)) return x > 0 ? x : 0.0;
  double whole = std::trunc(x);
  // Beyond these the result is infinite or zero either way; keeps the integer conversion defined.
  if (whole > 4096.0) whole = 4096.0;
  if (whole < -4096.0) whole = -4096.0;
  return std::ldexp(std::exp2(x - whole), static_cast<int>(whole));
}

// Envelope rate of a parameter p (byte / 128): 2^-(24 p).
inline double envelopeRate(float p) { return powerOfTwo(-(envelopeRateExponent * double{p})); }

// [-1, 1], with NaN counted as 1. Used by shapeSignal and by the final clip.
inline double clampSignal(double x) {
  if (x >= 1.0 || std::isnan(x)) return 1.0;
  if (x > -1.0) return x;
  return -1.0;
}

// For the few small functions on every oscillator's and bank's path each frame, where a call
// would cost as much as the work.
#if defined(__GNUC__)
#define INTRO_ALWAYS_INLINE [[gnu::always_inline]]
#else
#define INTRO_ALWAYS_INLINE
#endif

// x reduced modulo 1, remainder toward zero (the sign of x). The straightforward form calls
// fmod; the fast form subtracts the whole part, which is exact (fmod's result always is, and
// the difference of x and its truncation is too for |x| < 2^52: the fractional bits of a double
// always fit), giving a zero result fmod's sign, and leaves larger, infinite or NaN x to fmod.
template <bool Fast>
INTRO_ALWAYS_INLINE inline double mod1(double x) {
  if constexpr (Fast) {
    // Phases land in [1, 4) (a phase, plus an offset below 2, plus 1): there x - k, for the
    // whole k in 1..3 below x, is exact (x lies within [k/2, 2k]).
    if (x >= 1.0 && x < 2.0) return x - 1.0;  // the common case: a phase plus a small step, plus 1
    if (x >= 2.0 && x < 4.0) return x - (x < 3.0 ? 2.0 : 3.0);
    if (std::fabs(x) < 0x1p52) {
      const double r = x - static_cast<double>(static_cast<long long>(x));
      return r == 0.0 ? std::copysign(0.0, x) : r;
    }
  }
  return std::fmod(x, 1.0);
}

// shapeSignal's factor a = 2k / (1 - k), k = 2 (d - 0.5), for the shape d.
inline double shapeFactor(float shape) {
  const double k = 2.0 * (double{shape} - double{oneHalf});
  return 2.0 * k / (1.0 - k);
}

// shapeSignal(x, d) with a = shapeFactor(d). With a = 0 (d = 0.5) the formula gives the clamped
// value exactly (x' x 1 / 1), which the fast form returns without dividing.
template <bool Fast = false>
inline double shapeWithFactor(double x, double a) {
  const double clamped = clampSignal(x);
  if constexpr (Fast) {
    if (a == 0.0) return clamped;
  }
  return clamped * (1.0 + a) / (1.0 + a * std::fabs(clamped));
}

inline double shapeSignal(double x, float shape) { return shapeWithFactor(x, shapeFactor(shape)); }

// The signal stack of one instrument run: entry depth-1 is the top.
struct SignalStack {
  double value[8];
  int depth;
  void push(double x) { value[depth++] = x; }
  double pop() { return value[--depth]; }
  double& top() { return value[depth - 1]; }
};

// ---- Envelope ----

// Constants keep parameters as the floats loadParams gives (widened where used), derived values
// as doubles; the decoded render keeps one unit in a cache line.
struct EnvelopeConstants {
  double attackRate, decayRate, releaseRate;
  float sustain, gain;
};

inline EnvelopeConstants makeEnvelopeConstants(const float* p) {
  return {envelopeRate(p[0]), envelopeRate(p[1]), envelopeRate(p[3]), p[2], p[4]};
}

inline double runEnvelope(UnitSlot& slot, std::int32_t releaseCount, std::int32_t note,
                          const EnvelopeConstants& c) {
  if (note == 0) return 0.0;
  if (releaseCount != 0) setFieldInt(slot, 0, stageRelease);
  const std::int32_t stage = fieldInt(slot, 0);
  float level = fieldFloat(slot, 1);
  if (stage == stageAttack) {
    const double s = double{level} + c.attackRate;
    level = static_cast<float>(s < 1.0 ? s : 1.0);
    if (s >= 1.0) setFieldInt(slot, 0, stageDecay);
    setFieldFloat(slot, 1, level);
  } else if (stage == stageDecay) {
    const double s = double{level} - c.decayRate;
    const double sustain = c.sustain;
    level = static_cast<float>(s > sustain ? s : sustain);
    if (sustain >= s) setFieldInt(slot, 0, stageSustain);
    setFieldFloat(slot, 1, level);
  } else if (stage == stageRelease) {
    const double s = double{level} - c.releaseRate;
    level = static_cast<float>(s > 0.0 ? s : 0.0);
    if (s <= 0.0) setFieldInt(slot, 0, stageDone);
    setFieldFloat(slot, 1, level);
  }
  // Sustain, done (and any other stage value a store may have left): the level stays.
  return double{level} * (double{c.gain} + double{fieldFloat(slot, 2)});
}

// ---- Oscillator ----

struct OscillatorConstants {
  double shapeA;
  float transpose, detune, phaseOffset, colour, gain, base;
  std::uint32_t gateMask;
  std::uint8_t flags;
};

inline OscillatorConstants makeOscillatorConstants(const float* p, const std::uint8_t* b) {
  const std::uint8_t flags = b[7];
  return {shapeFactor(p[5]),
          p[0],
          p[1],
          p[2],
          p[4],
          p[6],
          (flags & wave::lfo) ? lfoBase : pitchBase,
          static_cast<std::uint32_t>(b[3]) + 256u * b[4],
          flags};
}

// Last pitch exponent and its increment, so that the exponential is computed only when the
// exponent changes (the decoded path keeps one per oscillator; the interpreter none). An empty
// cache holds a NaN exponent, which equals nothing.
struct PitchCache {
  double exponent;
  double increment;
};
inline constexpr PitchCache emptyPitchCache{std::numeric_limits<double>::quiet_NaN(), 0.0};

// powerOfTwo with the scaling by 2^whole done as a product where that is exact: exp2 of the
// fraction lies in (1/2, 2), so for |whole| below 1000 the result is a normal number and ldexp
// (which then rounds nothing) gives the same bits as the multiplication.
inline double powerOfTwoFast(double x) {
  if (x > -1000.0 && x < 1000.0) {
    const double whole = std::trunc(x);
    const auto exponentBits = static_cast<std::uint64_t>(static_cast<std::int64_t>(whole) + 1023);
    return std::exp2(x - whole) * std::bit_cast<double>(exponentBits << 52);
  }
  return powerOfTwo(x);
}

inline double oscillatorIncrement(double exponent, double base, PitchCache* cache) {
  if (cache != nullptr && cache->exponent == exponent) return cache->increment;
  const double increment = cache != nullptr ? powerOfTwoFast(exponent * double{oneTwelfth}) * base
                                            : powerOfTwo(exponent * double{oneTwelfth}) * base;
  if (cache != nullptr) *cache = {exponent, increment};
  return increment;
}

// Waveform of an oscillator, chosen by its flags in this order of precedence; the decoded render
// picks it once, the interpreter every frame (waveByFlags).
enum WaveKind : int { waveByFlags = -1, waveNone, waveSine, waveTrisaw, wavePulse, waveNoise, waveGate };

inline WaveKind waveKind(std::uint8_t flags) {
  if (flags & wave::sine) return waveSine;
  if (flags & wave::trisaw) return waveTrisaw;
  if (flags & wave::pulse) return wavePulse;
  if (flags & wave::noise) return waveNoise;
  if (flags & wave::gate) return waveGate;
  return waveNone;
}

// One frame of a sounding oscillator (note not 0) whose waveform is Kind. FixedPitch (the
// decoded render's, with a cache): fields 1 and 2 stay 0 (nothing writes them), so the exponent
// changes only with the note, and the cache is kept by note instead.
template <bool Fast, int Kind, bool FixedPitch = false>
inline double oscillatorFrame(UnitSlot& slot, std::int32_t note, const OscillatorConstants& c,
                              std::uint32_t& noiseSeed, PitchCache* cache) {
  if constexpr (Kind == waveByFlags) {
    switch (waveKind(c.flags)) {
      case waveSine: return oscillatorFrame<Fast, waveSine>(slot, note, c, noiseSeed, cache);
      case waveTrisaw: return oscillatorFrame<Fast, waveTrisaw>(slot, note, c, noiseSeed, cache);
      case wavePulse: return oscillatorFrame<Fast, wavePulse>(slot, note, c, noiseSeed, cache);
      case waveNoise: return oscillatorFrame<Fast, waveNoise>(slot, note, c, noiseSeed, cache);
      case waveGate: return oscillatorFrame<Fast, waveGate>(slot, note, c, noiseSeed, cache);
      default: return oscillatorFrame<Fast, waveNone>(slot, note, c, noiseSeed, cache);
    }
  } else {
    const auto exponent = [&] {
      double e = 128.0 * (double{c.transpose} - double{oneHalf} + double{fieldFloat(slot, 1)}) +
                 2.0 * (double{c.detune} - double{oneHalf}) + double{fieldFloat(slot, 2)};
      if ((c.flags & wave::lfo) == 0) e += note;
      return e;
    };
    double increment;
    if constexpr (FixedPitch) {
      const double key = (c.flags & wave::lfo) ? 0.0 : static_cast<double>(note);
      if (cache->exponent == key) {
        increment = cache->increment;
      } else {
        increment = oscillatorIncrement(exponent(), double{c.base}, nullptr);
        *cache = {key, increment};
      }
    } else {
      increment = oscillatorIncrement(exponent(), double{c.base}, cache);
    }
    const float phase = static_cast<float>(mod1<Fast>(double{fieldFloat(slot, 0)} + increment + 1.0));
    setFieldFloat(slot, 0, phase);
    const double phi = mod1<Fast>(double{phase} + double{c.phaseOffset} + 1.0);
    const double colour = double{c.colour} + double{fieldFloat(slot, 5)};
    double wave = 0.0;
    if constexpr (Kind == waveSine) {
      if (phi <= colour) {
        // Dividing by a colour of exactly 1 changes nothing; the fast form skips it.
        wave = std::sin((Fast && colour == 1.0) ? twoPi * phi : twoPi * phi / colour);
      }
    } else if constexpr (Kind == waveTrisaw) {
      wave = phi <= colour ? 2.0 * phi / colour - 1.0 : 2.0 * (1.0 - phi) / (1.0 - colour) - 1.0;
    } else if constexpr (Kind == wavePulse) {
      wave = phi <= colour ? 1.0 : -1.0;
    } else if constexpr (Kind == waveNoise) {
      noiseSeed *= noiseMultiplier;
      wave = static_cast<double>(static_cast<std::int32_t>(noiseSeed)) / noiseDivisor;
    } else if constexpr (Kind == waveGate) {
      // lrint rounds ties to even in the default rounding mode; & 15 is the modulo 16.
      const long step = std::lrint(double{gateSteps} * phi) & 15;
      const double target = ((c.gateMask >> step) & 1u) ? 1.0 : 0.0;
      const float level = static_cast<float>(
          target + double{smoothingCoefficient} * (double{fieldFloat(slot, 5)} - target));
      setFieldFloat(slot, 5, level);
      wave = double{level};
    }
    return shapeWithFactor<Fast>(wave, c.shapeA) * double{c.gain};
  }
}

template <bool Fast>
inline double runOscillator(UnitSlot& slot, std::int32_t note, const OscillatorConstants& c,
                            std::uint32_t& noiseSeed, PitchCache* cache) {
  if (note == 0) return 0.0;
  return oscillatorFrame<Fast, waveByFlags>(slot, note, c, noiseSeed, cache);
}

// ---- ParamStore ----

// The store itself, of the stack's top x (the caller pops when the word says so).
inline void storeParam(InstrumentWorkspace& workspace, double amount, std::uint16_t word, double x) {
  const double v = 2.0 * (amount - double{oneHalf}) * x;
  const unsigned target = word & storeTargetMask;  // checked to be below 1024
  UnitSlot& slot = workspace.slots[target >> 4];
  const int field = static_cast<int>(target & 15);
  if (word & storeAddBit) {
    setFieldFloat(slot, field, static_cast<float>(double{fieldFloat(slot, field)} + v));
  } else {
    setFieldFloat(slot, field, static_cast<float>(v));
  }
}

template <class Stack>
inline void runParamStore(InstrumentWorkspace& workspace, double amount, std::uint16_t word,
                          Stack& stack) {
  storeParam(workspace, amount, word, stack.top());
  if (word & storePopBit) stack.pop();
}

// ---- Filter ----

// The filter's coefficient: the square of its frequency plus the modulation in field 4, as a float.
inline double filterCoefficient(const UnitSlot& slot, double frequency) {
  const double sum = frequency + double{fieldFloat(slot, 4)};
  return static_cast<float>(sum * sum);
}

// One frame of a filter with coefficient f.
inline double filterStep(UnitSlot& slot, double f, double damping, std::uint8_t bits, double x) {
  const double band0 = fieldFloat(slot, 2);
  const double low = double{fieldFloat(slot, 0)} + f * band0;
  const double high = x - low - damping * band0;
  const double band = band0 + f * high;
  setFieldFloat(slot, 0, static_cast<float>(low));
  setFieldFloat(slot, 1, static_cast<float>(high));
  setFieldFloat(slot, 2, static_cast<float>(band));
  double out = 0.0;
  if (bits & filterOut::low) out += low;
  if (bits & filterOut::high) out += high;
  if (bits & filterOut::band) out += band;
  if (bits & filterOut::lowMinusHigh) out += low - high;
  return out;
}

inline double runFilter(UnitSlot& slot, std::int32_t note, double frequency, double damping,
                        std::uint8_t bits, double x) {
  if (note == 0) return x;
  return filterStep(slot, filterCoefficient(slot, frequency), damping, bits, x);
}

// ---- HoldShaper ----

template <bool Fast>
inline double runHoldShaper(UnitSlot& slot, std::int32_t note, double shapeA, double holdRate,
                            double x) {
  if (note == 0) return x;
  float countdown = static_cast<float>(double{fieldFloat(slot, 1)} - holdRate * holdRate);
  if (countdown > 0.0f) {
    setFieldFloat(slot, 1, countdown);
    return double{fieldFloat(slot, 0)};
  }
  countdown = static_cast<float>(double{countdown} + 1.0);
  setFieldFloat(slot, 1, countdown);
  const float held = static_cast<float>(shapeWithFactor<Fast>(x, shapeA));
  setFieldFloat(slot, 0, held);
  return double{held};
}

// ---- DelayBank ----

struct DelayBankConstants {
  double phaseStep, depth;
  float inputGain, dryGain, feedback, damping;
  std::uint8_t firstEntry, lines;
};

inline DelayBankConstants makeDelayBankConstants(const float* p, const std::uint8_t* b) {
  const double rate = p[4], depth = p[5];
  return {rate * rate * rate * rate / double{delayModulationScale},
          depth * depth * depth * depth,
          p[0],
          p[1],
          p[2],
          p[3],
          b[6],
          b[7]};
}

// sin x for |x| <= 2 pi, within 1e-9: the Taylor polynomial to x^13 on x brought into
// [-pi/2, pi/2], where its remainder is below 7e-10 and its rounding errors far below that. The
// terms are summed in three independent groups (in x^2, x^4 and x^8), a shorter chain of
// dependent operations than Horner's form: the offset waits on it every frame.
inline double sineEstimate(double x) {
  constexpr double pi = std::numbers::pi;
  if (x > pi) x -= twoPi;
  if (x < -pi) x += twoPi;
  if (x > pi / 2) x = pi - x;
  if (x < -pi / 2) x = -pi - x;
  const double x2 = x * x, x4 = x2 * x2, x8 = x4 * x4;
  constexpr double c3 = -1.0 / 6.0, c5 = 1.0 / 120.0, c7 = -1.0 / 5040.0, c9 = 1.0 / 362880.0,
                   c11 = -1.0 / 39916800.0, c13 = 1.0 / 6227020800.0;  // 1 / n!, signs alternating
  const double low = 1.0 + c3 * x2, middle = c5 + c7 * x2, high = (c9 + c11 * x2) + c13 * x4;
  return x * ((low + x4 * middle) + x8 * high);
}

// nearbyint(x) for x in [-1/4, 2^52), in the default rounding mode, without a library call:
// x + 2^52 lands where doubles are whole numbers and rounds there, ties to even, and taking 2^52
// away again is exact. For x in [-1/4, 0) it gives +0 where nearbyint gives -0, which callers
// that convert to an integer do not tell apart.
inline double roundSmall(double x) { return (x + 0x1p52) - 0x1p52; }

inline constexpr double sineEstimateMargin = 1e-7;  // a hundred times the estimate's error

// m = nearbyint((1 + sin x) depth 1024), which is rising in sin x (each rounding step is). The
// offsets that sines within 1e-7 of the estimate give are worked out: where both bounds agree,
// so does the library sine (within an ulp of sin x), and no sine call is needed. Else, and for
// x out of the estimate's range (a phase left non-finite), the library sine decides.
inline double offsetForPhase(double x, double depth) {
  constexpr double margin = sineEstimateMargin;
  const double scale = double{delayModulationScale};
  if (x >= -twoPi && x <= twoPi) {
    const double s = sineEstimate(x);
    // Both lie in [-0.002, 33000] (depth at most (255/128)^4): roundSmall is nearbyint there.
    const double low = roundSmall((1.0 + (s - margin)) * depth * scale);
    const double high = roundSmall((1.0 + (s + margin)) * depth * scale);
    if (low == high) return low;
  }
  return std::nearbyint((1.0 + std::sin(x)) * depth * scale);
}

// An offset worked out at one phase holds near it: the library sine moves by no more than its
// argument does (and an ulp either way), so where the bounds of offsetForPhase still agree with
// the margin widened by a spare distance, every phase within that distance gives the same
// offset. A slow modulation crosses a rounding step every few thousand frames; between steps no
// sine is needed at all.
struct OffsetHold {
  float phase;          // where the offset was worked out
  float reach;          // phases at most this far from it give the same offset; negative: none
  std::int32_t offset;
};
inline constexpr OffsetHold emptyOffsetHold{0.0f, -1.0f, 0};

// offsetForPhase(2 pi phase, depth) as an index, through `hold`, which it renews where the phase
// has left it. The spare distance is what is left to the nearest rounding step, less twice the
// margin (the estimate's error and the products' roundings are far below one margin).
inline std::int32_t heldOffset(float phase, double depth, OffsetHold& hold) {
  if (std::fabs(double{phase} - double{hold.phase}) <= double{hold.reach}) return hold.offset;
  constexpr double margin = sineEstimateMargin;
  const double scale = double{delayModulationScale};
  const double x = twoPi * double{phase};
  hold.phase = phase;
  hold.reach = -1.0f;
  if (x >= -twoPi && x <= twoPi) {
    const double s = sineEstimate(x);
    const double v = (1.0 + s) * depth * scale;
    const double spare = (0.5 - std::fabs(v - roundSmall(v))) / (depth * scale) - 2.0 * margin;
    if (spare > 0.0) {
      // No sine leaves [-1, 1], which also keeps roundSmall within its range.
      const double widened = margin + spare;
      const double low = roundSmall((1.0 + std::max(s - widened, -1.0)) * depth * scale);
      const double high = roundSmall((1.0 + std::min(s + widened, 1.0)) * depth * scale);
      if (low == high) {
        // In phase units, rounded down: float's rounding is far within the millionth taken off.
        hold.reach = static_cast<float>(spare / twoPi * (1.0 - 1e-6));
        hold.offset = static_cast<std::int32_t>(low);
        return hold.offset;
      }
    }
  }
  hold.offset = static_cast<std::int32_t>(offsetForPhase(x, depth));
  return hold.offset;
}

// Modulated read offset m. The fast form leaves out the sine when the depth is 0, where m is 0
// whatever the sine gives (it is finite: the phase always is), and elsewhere where an estimate
// settles the rounding (offsetForPhase).
template <bool Fast, class Line>
inline std::int32_t delayOffset(Line& first, const DelayBankConstants& c, OffsetHold* hold = nullptr) {
  const float phase = static_cast<float>(mod1<Fast>(double{first.lfoPhase} + c.phaseStep + 1.0));
  first.lfoPhase = phase;
  if (Fast && c.depth == 0.0) return 0;
  if (Fast && hold != nullptr) return heldOffset(phase, c.depth, *hold);
  const double m = Fast ? offsetForPhase(twoPi * double{phase}, c.depth)
                        : std::nearbyint((1.0 + std::sin(twoPi * double{phase})) * c.depth *
                                         double{delayModulationScale});
  return static_cast<std::int32_t>(m);  // below every line's length, checked with the song
}

// Runs the bank's lines (`lines` of them from `pool`, lengths from `lengths`) on input x.
template <bool Fast>
inline double runDelayBank(DelayLine* pool, const std::uint16_t* lengths,
                           const DelayBankConstants& c, double x) {
  const double inputGain = c.inputGain, feedback = c.feedback, damping = c.damping;
  const double in = x * (inputGain * inputGain);
  double acc = x * double{c.dryGain};
  const std::int32_t m = delayOffset<Fast>(pool[0], c);
  const double keep = 1.0 - damping;
  for (int i = 0; i < c.lines; ++i) {
    DelayLine& line = pool[i];
    const std::int32_t length = lengths[i];
    std::int32_t writeIndex = line.writeIndex;
    if (writeIndex < 0 || writeIndex >= length) writeIndex = 0;  // never, for a checked song
    std::int32_t readIndex = writeIndex + m;
    if (readIndex >= length) readIndex -= length;
    const double y = line.samples[readIndex];
    acc += y;
    const float damped = static_cast<float>(keep * y + damping * double{line.dampState});
    line.dampState = damped;
    line.samples[writeIndex] = static_cast<float>(in + feedback * double{damped});
    ++writeIndex;
    if (writeIndex == length) writeIndex = 0;
    line.writeIndex = writeIndex;
  }
  DelayLine& last = pool[c.lines - 1];
  const double out = acc - double{last.dcIn} + double{smoothingCoefficient} * double{last.dcOut};
  last.dcIn = static_cast<float>(acc);
  last.dcOut = static_cast<float>(out);
  return out;
}

// ---- StackOp ----

template <class Stack>
inline void runStackOp(std::uint8_t operation, std::int32_t note, Stack& s) {
  switch (static_cast<StackOperation>(operation)) {
    case StackOperation::pop:
      s.pop();
      break;
    case StackOperation::add: {
      const double a = s.pop();
      s.top() = s.top() + a;
      break;
    }
    case StackOperation::multiply: {
      const double a = s.pop();
      s.top() = s.top() * a;
      break;
    }
    case StackOperation::duplicate:
      s.push(s.top());
      break;
    case StackOperation::swap: {
      const double a = s.pop(), b = s.pop();
      s.push(a);
      s.push(b);
      break;
    }
    case StackOperation::addKeep: {
      const double a = s.pop();
      s.push(a + s.top());
      break;
    }
    case StackOperation::multiplyKeep: {
      const double a = s.pop();
      s.push(a * s.top());
      break;
    }
    case StackOperation::addPair: {
      const double a0 = s.pop(), a1 = s.pop();
      const double b0 = s.pop(), b1 = s.pop();
      s.push(b1 + a1);
      s.push(b0 + a0);
      break;
    }
    case StackOperation::pushNote:
      s.push(static_cast<double>(note) * double{parameterScale});
      break;
    default: {  // multiplyPair, and every number the table does not name
      const double a0 = s.pop(), a1 = s.pop();
      const double b0 = s.pop(), b1 = s.pop();
      s.push(b1 * a1);
      s.push(b0 * a0);
      break;
    }
  }
}

// ---- Pan, Output, Accumulate ----

template <class Stack>
inline void runPan(const UnitSlot& slot, double position, Stack& s) {
  const double p = position + double{fieldFloat(slot, 0)};
  const double x = s.pop();
  s.push(x * p);          // right, below
  s.push(x * (1.0 - p));  // left, on top
}

inline void writeOutput(InstrumentWorkspace& workspace, double mainGain, double auxGain,
                        double left, double right) {
  workspace.auxOut[0] = static_cast<float>(left * auxGain);
  workspace.auxOut[1] = static_cast<float>(right * auxGain);
  workspace.mainOut[0] = static_cast<float>(left * mainGain);
  workspace.mainOut[1] = static_cast<float>(right * mainGain);
}

template <class Stack>
inline void runOutput(InstrumentWorkspace& workspace, double mainGain, double auxGain, Stack& s) {
  const double left = s.pop(), right = s.pop();
  writeOutput(workspace, mainGain, auxGain, left, right);
}

// Sums of the tracks' main (or, for selector sums::aux, aux) outputs.
inline void sumOutputs(const InstrumentWorkspace* tracks, std::uint8_t selector, double& left,
                       double& right) {
  left = 0.0;
  right = 0.0;
  for (int i = 0; i < trackCount; ++i) {
    const float* pair = selector == sums::aux ? tracks[i].auxOut : tracks[i].mainOut;
    left += pair[0];
    right += pair[1];
  }
}

template <class Stack>
inline void runAccumulate(const InstrumentWorkspace* tracks, std::uint8_t selector, Stack& s) {
  double left, right;
  sumOutputs(tracks, selector, left, right);
  s.push(right);
  s.push(left);
}

// ---- The driver's per-track and per-frame steps ----

// Applies row k & 15 of track i's current pattern to its workspace.
inline void triggerNote(InstrumentWorkspace& workspace, const Song& song, int track,
                        std::uint32_t tick) {
  const std::uint8_t pattern = song.songOrder[songPositions * track + (tick >> 4)];
  const std::uint8_t note = song.songPatterns[rowsPerPattern * pattern + (tick & 15)];
  if (note == 1) return;
  ++workspace.releaseCount;
  if (static_cast<std::int8_t>(note) < 1) return;
  workspace.releaseCount = 0;
  workspace.note = 0;
  for (UnitSlot& slot : workspace.slots) slot = UnitSlot{};
  workspace.note = note;
}

// The part of runInstrument after the track's units: ends a finished note (first envelope done)
// and logs the first envelope's level into the frame's record.
inline void endNoteAndLog(SynthMemory& memory, int track, std::uint32_t frame) {
  InstrumentWorkspace& workspace = memory.workspaces[track];
  if (fieldInt(workspace.slots[0], 0) == stageDone) workspace.note = 0;
  memory.envelopeLog[envelopeRecordOf(frame)].level[2 * track] = fieldFloat(workspace.slots[0], 1);
}

inline float clipSample(float x) { return static_cast<float>(clampSignal(double{x})); }

}  // namespace synth
