#pragma once
// The notation the soundtrack is written in, and the compile-time conversion to the byte tables.
//
// Instruments are lists of named units whose fields are the parameter bytes (a byte b means
// b / 128 to the unit, except where a field says "raw"). Patterns are lines of 16 row tokens:
//   a note name  such as A3, C#4 or Bb2   starts a note (A3 = 220 Hz before any transpose)
//   .                                      holds (the playing note goes on, silence stays silent)
//   -                                      releases
// Patterns have names; a track's arrangement is a line of 196 pattern names, where "4*hold"
// means the pattern hold four times, "2*[ a b ]" the group a b twice, and "|" is only a bar line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "synth/format.h"

namespace song {

// ---------------------------------------------------------------------------------------------
// Units

struct Unit {
  std::uint8_t opcode = 0;
  std::uint8_t count = 0;  // parameter bytes
  std::array<std::uint8_t, 8> bytes{};
};

// The unit `opcode` with its parameter bytes, which must be as many as the format gives it.
template <std::size_t N>
constexpr Unit unit(synth::Opcode opcode, const std::uint8_t (&bytes)[N]) {
  if (N != static_cast<std::size_t>(synth::parameterBytes[opcode])) throw "not the format's parameter bytes";
  Unit u{opcode, static_cast<std::uint8_t>(N), {}};
  for (std::size_t i = 0; i < N; ++i) u.bytes[i] = bytes[i];
  return u;
}

// Oscillator flags (synth/format.h says what each does).
namespace wave = synth::wave;

// Filter modes: sums of its output bits (synth/format.h).
namespace pass {
using namespace synth::filterOut;
inline constexpr std::uint8_t notch = low | high;
inline constexpr std::uint8_t peak = low | high | band;  // the input with the band boosted
}  // namespace pass

// Modulation targets of ParamStore: 16 x slot + field, counted from slot 0 of the same instrument.
namespace to {
inline constexpr std::uint16_t envelopeGain = 0x0002;         // slot 0 Envelope, gain
inline constexpr std::uint16_t oscillator1Transpose = 0x0011; // slot 1 Oscillator, transpose (x 128 semitones)
inline constexpr std::uint16_t oscillator1Detune = 0x0012;    // slot 1 Oscillator, detune (semitones)
inline constexpr std::uint16_t oscillator2Transpose = 0x0021; // slot 2 Oscillator, transpose (x 128 semitones)
inline constexpr std::uint16_t oscillator2Detune = 0x0022;    // slot 2 Oscillator, detune (semitones)
inline constexpr std::uint16_t oscillator2Colour = 0x0025;    // slot 2 Oscillator, colour
inline constexpr std::uint16_t oscillator5Transpose = 0x0051; // slot 5 Oscillator, transpose (x 128 semitones)
inline constexpr std::uint16_t oscillator6Transpose = 0x0061; // slot 6 Oscillator, transpose (x 128 semitones)
inline constexpr std::uint16_t filter5Frequency = 0x0054;     // slot 5 Filter, frequency
inline constexpr std::uint16_t filter11Frequency = 0x00B4;    // slot 11 Filter, frequency
inline constexpr std::uint16_t filter13Frequency = 0x00D4;    // slot 13 Filter, frequency
inline constexpr std::uint16_t filter14Frequency = 0x00E4;    // slot 14 Filter, frequency
inline constexpr std::uint16_t pan20Position = 0x0140;        // slot 20 Pan, position
}  // namespace to

// Rates are 2^(-0.1875 b) per frame: 0 = one frame, 64 = 93 ms, 80 = 0.74 s, 96 = 5.9 s for a full ramp.
struct Envelope {
  std::uint8_t attack, decay, sustain, release, gain;
  constexpr operator Unit() const { return unit(synth::opEnvelope, {attack, decay, sustain, release, gain}); }
};

// Pitch: note + (transpose - 64) + 2 (detune / 128 - 0.5) semitones. Shape 64 leaves the wave as it is.
struct Oscillator {
  std::uint8_t transpose = 64, detune = 64, phase = 0, gateLow = 0, colour = 128, shape = 64, gain = 128, flags = wave::sine;
  constexpr operator Unit() const {
    return unit(synth::opOscillator, {transpose, detune, phase, gateLow, colour, shape, gain, flags});
  }
};

// Frequency f = (b / 128)^2: 16 = 110 Hz, 32 = 440 Hz, 48 = 1 kHz, 64 = 1.8 kHz, 96 = 4 kHz, 128 = 7.3 kHz.
// Damping 128 is a plain response; lower values resonate.
struct Filter {
  std::uint8_t frequency, damping, mode;
  constexpr operator Unit() const { return unit(synth::opFilter, {frequency, damping, mode}); }
};

// Shape below 64 expands, above 64 drives towards a square; hold rate 128 refreshes every frame.
struct HoldShaper {
  std::uint8_t shape, holdRate;
  constexpr operator Unit() const { return unit(synth::opHoldShaper, {shape, holdRate}); }
};

// input gain is squared; first and lines are raw (an entry of the delay-length table and a count).
struct DelayBank {
  std::uint8_t input, dry, feedback, damping, modRate, modDepth, first, lines;
  constexpr operator Unit() const {
    return unit(synth::opDelayBank, {input, dry, feedback, damping, modRate, modDepth, first, lines});
  }
};

using Stack = synth::StackOperation;  // synth/format.h says what each does
struct StackOp {
  Stack op;
  constexpr operator Unit() const { return unit(synth::opStackOp, {static_cast<std::uint8_t>(op)}); }
};

// Writes 2 (amount / 128 - 0.5) x the top of the stack into the target (amount 64: nothing, 128: all).
struct ParamStore {
  std::uint8_t amount;
  std::uint16_t target;
  constexpr operator Unit() const {
    return unit(synth::opParamStore,
                {amount, static_cast<std::uint8_t>(target & 0xFF), static_cast<std::uint8_t>(target >> 8)});
  }
};

struct Pan {
  std::uint8_t position;  // 0 left, 64 centre, 128 right
  constexpr operator Unit() const { return unit(synth::opPan, {position}); }
};

struct Output {
  std::uint8_t main, aux;  // aux feeds the master reverberators
  constexpr operator Unit() const { return unit(synth::opOutput, {main, aux}); }
};

namespace sums = synth::sums;
struct Accumulate {
  std::uint8_t sums;
  constexpr operator Unit() const { return unit(synth::opAccumulate, {sums}); }
};

// Values an instrument keeps on the signal stack: what a unit pops and pushes.
constexpr int stackPops(const Unit& u) { return synth::stackEffect(u.opcode, u.bytes.data()).pops; }
constexpr int stackPushes(const Unit& u) { return synth::stackEffect(u.opcode, u.bytes.data()).pushes; }

// ---------------------------------------------------------------------------------------------
// Notes, patterns and arrangements

inline constexpr std::uint8_t hold = 1, release = 0;

// "A3" is 69 (220 Hz); C of octave o is 12 (o + 2). Fails to compile on anything else.
constexpr std::uint8_t noteNumber(std::string_view name) {
  constexpr int semitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.size() < 2 || name.size() > 3 || name[0] < 'A' || name[0] > 'G') throw "bad note name";
  int n = semitone[name[0] - 'A'];
  std::size_t i = 1;
  if (name[i] == '#') n += 1, ++i;
  else if (name[i] == 'b') n -= 1, ++i;
  if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') throw "bad octave";
  n += 12 * (name[i] - '0' + 2);
  if (n < 2 || n > 127) throw "note out of range";
  return static_cast<std::uint8_t>(n);
}

constexpr bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '|'; }

// Calls f(token) for each whitespace-separated token ("|" counts as space).
template <class F>
constexpr void forEachToken(std::string_view text, F f) {
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isSpace(text[i])) ++i;
    std::size_t j = i;
    while (j < text.size() && !isSpace(text[j])) ++j;
    if (j > i) f(text.substr(i, j - i));
    i = j;
  }
}

using Pattern = std::array<std::uint8_t, 16>;

constexpr Pattern pattern(std::string_view rows) {
  Pattern p{};
  std::size_t r = 0;
  forEachToken(rows, [&](std::string_view t) {
    if (r >= 16) throw "more than 16 rows";
    if (t == ".") p[r++] = hold;
    else if (t == "-") p[r++] = release;
    else p[r++] = noteNumber(t);
  });
  if (r != 16) throw "fewer than 16 rows";
  return p;
}

constexpr int parseNumber(std::string_view t) {
  if (t.empty()) throw "empty number";
  int v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') throw "bad number";
    v = 10 * v + (c - '0');
  }
  return v;
}

inline constexpr std::size_t songLength = 196;
using Arrangement = std::array<std::uint8_t, songLength>;

struct NamedPattern {
  std::string_view name;
  std::string_view rows;
};

// Pattern numbers are positions in the table; a name used twice fails to compile.
template <std::size_t N>
constexpr std::uint8_t patternNumber(const std::array<NamedPattern, N>& table, std::string_view name) {
  int found = -1;
  for (std::size_t i = 0; i < N; ++i)
    if (table[i].name == name) {
      if (found >= 0) throw "pattern name used twice";
      found = static_cast<int>(i);
    }
  if (found < 0) throw "unknown pattern name";
  return static_cast<std::uint8_t>(found);
}

// One track's pattern list: pattern names; "3*name" repeats a pattern, "4*[ a b ]" a group
// (groups do not nest); "|" is only a bar line.
template <std::size_t N>
constexpr Arrangement arrangement(const std::array<NamedPattern, N>& table, std::string_view text) {
  Arrangement a{};
  std::size_t n = 0;
  std::size_t i = 0;
  std::size_t groupStart = 0;
  int groupLeft = 0;  // repeats still to play after the current pass
  bool inGroup = false;
  while (true) {
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i >= text.size()) break;
    std::size_t j = i;
    while (j < text.size() && !isSpace(text[j])) ++j;
    std::string_view t = text.substr(i, j - i);
    i = j;
    if (t == "]") {
      if (!inGroup) throw "] without [";
      if (groupLeft > 0) {
        --groupLeft;
        i = groupStart;
      } else {
        inGroup = false;
      }
      continue;
    }
    int times = 1;
    if (auto star = t.find('*'); star != std::string_view::npos) {
      times = parseNumber(t.substr(0, star));
      t = t.substr(star + 1);
    }
    if (t == "[") {
      if (inGroup) throw "nested groups";
      if (times < 1) throw "empty group";
      inGroup = true;
      groupLeft = times - 1;
      groupStart = i;
      continue;
    }
    const std::uint8_t p = patternNumber(table, t);
    for (int k = 0; k < times; ++k) {
      if (n >= songLength) throw "more than 196 positions";
      a[n++] = p;
    }
  }
  if (inGroup) throw "[ without ]";
  if (n != songLength) throw "fewer than 196 positions";
  return a;
}

// ---------------------------------------------------------------------------------------------
// Flattening instruments into the opcode and parameter streams

using Instrument = std::span<const Unit>;

template <std::size_t N>
constexpr std::size_t opcodeBytes(const std::array<Instrument, N>& instruments) {
  std::size_t n = 0;
  for (const auto& i : instruments) n += i.size() + 1;
  return n;
}

template <std::size_t N>
constexpr std::size_t parameterBytes(const std::array<Instrument, N>& instruments) {
  std::size_t n = 0;
  for (const auto& i : instruments)
    for (const auto& u : i) n += u.count;
  return n;
}

}  // namespace song
