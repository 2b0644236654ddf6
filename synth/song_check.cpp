#include "synth/song_check.h"

#include <cmath>
#include <cstdarg>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

#include "synth/format.h"
#include "synth/synth.h"
#include "synth/units.h"

// printf-style checking of the problem texts (gnu_printf: mingw's stdio is the ANSI one in C++).
#if defined(__clang__)
#define PROBLEM_FORMAT [[gnu::format(printf, 4, 5)]]
#elif defined(__GNUC__)
#define PROBLEM_FORMAT [[gnu::format(gnu_printf, 4, 5)]]
#else
#define PROBLEM_FORMAT
#endif

namespace {

using synth::Opcode;

constexpr std::size_t maxPatterns = 128;

// Receives problems; walkSong stops early when `stop` becomes true.
struct ProblemSink {
  std::vector<SongProblem>* problems;  // null: only count
  std::size_t count = 0;
  bool stopAtFirst = false;

  PROBLEM_FORMAT void report(const char* table, std::size_t index,
                                             const char* format, ...) {
    ++count;
    if (problems == nullptr) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    problems->push_back({table, index, text});
  }
  bool done() const { return stopAtFirst && count > 0; }
};

using synth::unitNames;

// "0x01, 0x02, ...": the Oscillator's shape bits, for the message about them.
std::string shapeBitList() {
  std::string text;
  for (unsigned bit = 1; bit < 256; bit <<= 1) {
    if ((synth::oscillatorShapeBits & bit) == 0) continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", bit);
    if (!text.empty()) text.append(", ");
    text.append(hex);
  }
  return text;
}

void checkPatterns(const Song& song, ProblemSink& sink) {
  const std::size_t size = song.songPatterns.size();
  if (size == 0 || size % rowsPerPattern != 0 || size > maxPatterns * rowsPerPattern) {
    sink.report("songPatterns", SongProblem::wholeTable,
                "has %zu bytes, expected 16 bytes per pattern, 1 to 128 patterns (16..2048 bytes)",
                size);
  }
  const std::size_t patterns = size / rowsPerPattern;
  const std::size_t orderSize = song.songOrder.size();
  if (orderSize != std::size_t{trackCount} * songPositions) {
    sink.report("songOrder", SongProblem::wholeTable,
                "has %zu entries, expected %u (15 tracks of 196 positions)", orderSize,
                trackCount * songPositions);
  }
  for (std::size_t i = 0; i < orderSize && !sink.done(); ++i) {
    if (song.songOrder[i] >= patterns) {
      sink.report("songOrder", i, "is pattern %u, expected a pattern number below %zu (the patterns given)",
                  song.songOrder[i], patterns);
    }
  }
}

// Checks one unit's parameters (the stream has room for them). `p` points at its bytes.
void checkUnitParams(const Song& song, Opcode op, std::size_t at, const std::uint8_t* b,
                     int instrument, std::uint32_t& delayLinesUsed, ProblemSink& sink) {
  switch (op) {
    case synth::opOscillator: {
      const std::uint8_t flags = b[7];
      const unsigned shapes = flags & synth::oscillatorShapeBits;
      if ((flags & ~synth::oscillatorFlagBits) != 0 || std::popcount(shapes) != 1) {
        sink.report("instrumentParams", at + 7,
                    "Oscillator flags 0x%02X, expected exactly one shape bit of %s, optionally "
                    "with the LFO bit 0x%02X",
                    flags, shapeBitList().c_str(), synth::wave::lfo);
      }
      if (b[5] == 0 || b[5] >= 128) {
        sink.report("instrumentParams", at + 5,
                    "Oscillator shape byte %u, expected 1..127 (the shape must lie strictly "
                    "between 0 and 1)",
                    b[5]);
      }
      break;
    }
    case synth::opHoldShaper:
      if (b[0] == 0 || b[0] >= 128) {
        sink.report("instrumentParams", at,
                    "HoldShaper shape byte %u, expected 1..127 (the shape must lie strictly "
                    "between 0 and 1)",
                    b[0]);
      }
      break;
    case synth::opAccumulate:
      if (b[0] != synth::sums::main && b[0] != synth::sums::aux) {
        sink.report("instrumentParams", at, "Accumulate selector %u, expected 0 (main) or 8 (aux)",
                    b[0]);
      }
      break;
    case synth::opParamStore: {
      const unsigned word = b[1] | (unsigned{b[2]} << 8);
      const unsigned target = word & synth::storeTargetMask;
      if (target > 1023) {
        sink.report("instrumentParams", at + 1,
                    "ParamStore word 0x%04X targets field %u, expected a field index 0..1023 "
                    "(the instrument's own 64 slots)",
                    word, target);
      }
      break;
    }
    case synth::opDelayBank: {
      const unsigned first = b[6], lines = b[7];
      if (lines == 0) {
        sink.report("instrumentParams", at + 7, "DelayBank line count 0, expected 1 or more");
        break;
      }
      if (delayLinesUsed + lines > delayLineCount) {
        sink.report("instrumentParams", at + 7,
                    "DelayBank takes lines %u..%u (instrument %d), expected lines within the pool "
                    "of %d",
                    delayLinesUsed, delayLinesUsed + lines - 1, instrument, delayLineCount);
      }
      delayLinesUsed += lines;
      if (first + lines > song.delayLengths.size()) {
        sink.report("instrumentParams", at + 6,
                    "DelayBank uses delayLengths entries %u..%u, expected entries below %zu (the "
                    "entries given)",
                    first, first + lines - 1, song.delayLengths.size());
        break;
      }
      const double depth = b[5] * double{synth::parameterScale};
      const double largestOffset =
          std::nearbyint(2.0 * (depth * depth * depth * depth) * double{synth::delayModulationScale});
      for (unsigned e = first; e < first + lines; ++e) {
        const unsigned length = song.delayLengths[e];
        if (length < 1) {
          sink.report("delayLengths", e,
                      "is %u (used by the DelayBank at instrumentParams[%zu]), expected a length "
                      "of 1..65535",
                      length, at);
        } else if (largestOffset >= length) {
          sink.report("instrumentParams", at + 5,
                      "DelayBank modulation depth byte %u moves the read index up to %.0f "
                      "samples, expected less than the line length %u (delayLengths[%u])",
                      b[5], largestOffset, length, e);
        }
      }
      break;
    }
    default:
      break;
  }
}

// Signal stack effect of one unit: entries it needs, and the depth change. Returns false and
// reports when the unit would underflow or overflow.
bool checkStack(Opcode op, const std::uint8_t* b, std::size_t commandAt, int instrument, int& depth, ProblemSink& sink) {
  const synth::StackEffect effect = synth::stackEffect(op, b);
  const int needs = effect.pops, change = effect.pushes - effect.pops, room = effect.room;
  if (depth < needs) {
    sink.report("instrumentCommands", commandAt,
                "%s needs %d value%s on the signal stack of instrument %d, but there %s %d "
                "(expected a stack that never underflows)",
                unitNames[op], needs, needs == 1 ? "" : "s", instrument, depth == 1 ? "is" : "are",
                depth);
    return false;
  }
  if (depth + room > 8) {
    sink.report("instrumentCommands", commandAt,
                "%s would take the signal stack of instrument %d to %d entries, expected at most 8",
                unitNames[op], instrument, depth + room);
    return false;
  }
  depth += change;
  return true;
}

void walkSong(const Song& song, ProblemSink& sink) {
  checkPatterns(song, sink);
  if (sink.done()) return;

  const auto commands = song.instrumentCommands;
  const auto params = song.instrumentParams;
  std::size_t paramAt = 0;
  std::size_t at = 0;
  std::uint32_t delayLinesUsed = 0;
  bool paramsOverrun = false;
  int instrument = 0;
  for (; instrument < instrumentCount && at < commands.size(); ++instrument) {
    int units = 0;
    int depth = 0;
    bool stackBroken = false;
    for (; at < commands.size() && commands[at] != synth::opEnd; ++at) {
      const std::uint8_t opcode = commands[at];
      if (opcode >= synth::opcodeCount) {
        sink.report("instrumentCommands", at, "is opcode %u, expected 0..%d", opcode,
                    synth::opcodeCount - 1);
        if (sink.done()) return;
        continue;
      }
      ++units;
      if (units == unitSlotsPerInstrument + 1) {
        sink.report("instrumentCommands", at,
                    "is unit %d of instrument %d, expected at most 64 units per instrument", units,
                    instrument);
        if (sink.done()) return;
      }
      const Opcode op = static_cast<Opcode>(opcode);
      const std::size_t count = static_cast<std::size_t>(synth::parameterBytes[op]);
      if (paramsOverrun) continue;
      if (paramAt + count > params.size()) {
        sink.report("instrumentParams", SongProblem::wholeTable,
                    "has %zu bytes, but the %s at instrumentCommands[%zu] needs bytes %zu..%zu",
                    params.size(), unitNames[op], at, paramAt, paramAt + count - 1);
        paramsOverrun = true;
        if (sink.done()) return;
        continue;
      }
      const std::uint8_t* b = params.data() + paramAt;
      checkUnitParams(song, op, paramAt, b, instrument, delayLinesUsed, sink);
      if (!stackBroken) stackBroken = !checkStack(op, b, at, instrument, depth, sink);
      if (sink.done()) return;
      paramAt += count;
    }
    if (at >= commands.size()) {
      sink.report("instrumentCommands", SongProblem::wholeTable,
                  "ends inside instrument %d, expected each of the 16 instruments to end with 0",
                  instrument);
      return;
    }
    if (!stackBroken && depth != 0 && !paramsOverrun) {
      sink.report("instrumentCommands", at,
                  "ends instrument %d with %d value%s on the signal stack, expected none", instrument,
                  depth, depth == 1 ? "" : "s");
      if (sink.done()) return;
    }
    ++at;  // past the end byte
  }
  if (instrument < instrumentCount) {
    sink.report("instrumentCommands", SongProblem::wholeTable,
                "holds %d instruments, expected 16 (15 tracks and the master), each ended by 0",
                instrument);
    return;
  }
  if (at != commands.size()) {
    sink.report("instrumentCommands", at,
                "follows the 16th instrument, expected the end of the table (16 instruments)");
    if (sink.done()) return;
  }
  if (!paramsOverrun && paramAt != params.size()) {
    sink.report("instrumentParams", paramAt,
                "is beyond what the units use, expected the table to end here (%zu bytes, not %zu)",
                paramAt, params.size());
  }
}

}  // namespace

std::string describe(const SongProblem& problem) {
  std::string text = problem.table;
  if (problem.index != SongProblem::wholeTable) {
    text.push_back('[');
    text.append(std::to_string(problem.index));
    text.push_back(']');
  }
  text.append(": ");
  text.append(problem.message);
  return text;
}

std::vector<SongProblem> checkSong(const Song& song) {
  std::vector<SongProblem> problems;
  ProblemSink sink{&problems};
  walkSong(song, sink);
  return problems;
}

bool songIsValid(const Song& song) {
  ProblemSink sink{nullptr};
  sink.stopAtFirst = true;
  walkSong(song, sink);
  return sink.count == 0;
}
