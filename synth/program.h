#pragma once
// The decoded form of a song's instruments, which the render driver runs frame by frame: each
// instrument's opcode and parameter streams decoded once into register programs with their units'
// constants (envelope rates, shaping factors, delay line bindings). Both ways of running a frame
// (the interpreter in render.cpp and the compiled song) do each operation's
// work through the functions below, so they give the same bits.
#include <algorithm>
#include <cstdint>

#include "synth/units.h"

namespace synth::decoded {

// The decoded form: per instrument two straight-line programs of register operations, one for
// frames where the track sounds (note not 0) and one for silent frames. Decoding follows the
// signal stack statically (its depth at every unit is fixed, checked with the song): each
// stack entry becomes a register, so popping, duplicating and swapping cost nothing, and every
// operation reads its operands from registers and writes fresh ones. In the silent program
// envelopes and oscillators give a known 0 (as the units do without a note), filters and hold
// shapers pass their input on (and vanish), and sums and products of known values are worked
// out while decoding, with the same double operations the units perform.
enum Code : std::uint8_t {
  codeEnvelope,
  codeOscillatorNone,
  codeOscillatorSine,
  codeOscillatorTrisaw,
  codeOscillatorPulse,
  codeOscillatorNoise,
  codeOscillatorGate,
  codeFilter,
  codeFilterLow,
  codeFilterHigh,
  codeFilterBand,
  codeFilterAll,
  codeFixedFilter,  // the same five with a coefficient worked out while decoding
  codeFixedFilterLow,
  codeFixedFilterHigh,
  codeFixedFilterBand,
  codeFixedFilterAll,
  codeHoldShaper,
  codeDelayBank,
  codeDelayLine,   // one line, unmodulated
  codeDelayBank8,  // eight lines, unmodulated
  codeDelayLineStill,   // the same two whose modulation phase no longer changes (see
  codeDelayBank8Still,  // settlePhases)
  codeAdd,
  codeMultiply,
  codeNote,
  codeStoreSet,  // ParamStore: field = v
  codeStoreAdd,  // ParamStore: field += v
  codePan,
  codeOutput,
  codePanOutput,  // a Pan whose two values only the next Output takes
  codeAccumulate,
  codeMasterAccumulate,  // the master's: sums the driver formed as the tracks finished
  codeEnd,  // closes every program
};

// Registers of one program (a unit gives at most two values; known values take one each).
constexpr int registersPerProgram = 3 * unitSlotsPerInstrument + 8;

// Operations of one program: a unit makes at most one, except a pair StackOp (addPair,
// multiplyPair), which makes two; such a unit lowers the stack by 2 and no unit raises it by more than 2, so at
// most half the units are one. Then the end.
constexpr int operationsPerProgram = unitSlotsPerInstrument * 3 / 2 + 1;

// One operation with its constants, in one cache line. Registers a, b (inputs) and c (output).
struct alignas(64) Operation {
  std::uint8_t code;
  std::uint8_t slot;
  std::uint8_t byte;  // Filter bits, Accumulate selector, a bank's line count, an
                      // oscillator's fixed pitch
  std::uint8_t a, b, c;
  union {
    EnvelopeConstants envelope;
    struct {
      OscillatorConstants constants;
      PitchCache pitch;
    } oscillator;
    struct {
      DelayBankConstants constants;
      std::uint16_t firstLine;  // its first line in the pool
      OffsetHold hold;          // a modulated bank's last read offset
    } delay;
    struct {
      double factor;         // 2 (amount - 1/2), as storeParam forms it first
      std::uint16_t target;  // slot 16 + field
    } store;
    double pair[2];  // Filter: frequency, damping; HoldShaper: shape factor, hold rate;
                     // Pan: position; Output: main, aux gain
    double triple[3];  // PanOutput: position, main, aux gain
  };
};
static_assert(sizeof(Operation) == 64);

struct Program {
  int begin;  // its first operation; codeEnd follows the last
  double* registers;
};

// A delay line's state while rendering, kept together for all lines (the pool keeps each line's
// beside its samples, 256 KiB apart); read from the pool before rendering and written back
// after. The bank's direct-current filter state lives in its last line, the modulation phase in
// its first, as in the pool. The write index is a pointer here, put in range when it is read
// (as runDelayBank would in the first frame; every frame keeps it so, lengths being at least 1).
struct LineState {
  float* cursor;   // samples + write index
  float* end;      // samples + length
  float* samples;
  float dampState, dcIn, dcOut, lfoPhase;
};

struct DecodedProgram {
  Operation operations[2 * instrumentCount * operationsPerProgram];
  double registers[2 * instrumentCount][registersPerProgram];
  Program sounding[instrumentCount], silent[instrumentCount];
  std::uint32_t delayLinesUsed;      // delayCursor after a frame
  LineState lines[delayLineCount];   // lines 0 .. delayLinesUsed - 1 (a frame runs every bank)
  std::int32_t lengths[delayLineCount];
  // The tracks' outputs summed in track order as each finishes its frame (left, right of the
  // main outputs, then of the aux outputs): what sumOutputs gives when the master runs, the
  // additions done early, off the master's chain.
  double trackSums[4];
  float paramScratch[16];            // what loadParams leaves behind after a frame,
  bool scratchWritten[16];           // in the entries it writes at all
};

// Decodes the streams of a checked song, with the fields of `memory`'s workspaces and delay lines
// as rendering starts, and binds the programs' line states to `memory`'s delay pool.
void decode(const Song& song, SynthMemory& memory, DecodedProgram& program);

// One frame's step of a bank's modulation phase, as delayOffset<true> takes it.
inline float nextPhase(float phase, double step) {
  return static_cast<float>(mod1<true>(double{phase} + step + 1.0));
}

// runDelayBank<true> on line states: `Lines` lines (0: c.lines), read offset 0 unless Modulated
// (then held through `hold`); Still: the modulation phase is left as it is (it would step to the
// same value).
template <int Lines, bool Modulated, bool Still = false>
inline double runLines(LineState* line, const DelayBankConstants& c, OffsetHold& hold, double x) {
  const double inputGain = c.inputGain, feedback = c.feedback, damping = c.damping;
  const double in = x * (inputGain * inputGain);
  double acc = x * double{c.dryGain};
  std::int32_t m = 0;
  if constexpr (Modulated) {
    m = delayOffset<true>(line[0], c, &hold);
  } else if constexpr (!Still) {
    line[0].lfoPhase = nextPhase(line[0].lfoPhase, c.phaseStep);
  }
  const double keep = 1.0 - damping;
  const int count = Lines > 0 ? Lines : c.lines;
  for (int i = 0; i < count; ++i) {
    LineState& l = line[i];
    float* const write = l.cursor;
    const float* read = write;
    if constexpr (Modulated) {
      read += m;
      if (read >= l.end) read -= l.end - l.samples;
    }
    const double y = *read;
    acc += y;
    const float damped = static_cast<float>(keep * y + damping * double{l.dampState});
    l.dampState = damped;
    *write = static_cast<float>(in + feedback * double{damped});
    l.cursor = write + 1 == l.end ? l.samples : write + 1;
  }
  LineState& last = line[count - 1];
  const double out = acc - double{last.dcIn} + double{smoothingCoefficient} * double{last.dcOut};
  last.dcIn = static_cast<float>(acc);
  last.dcOut = static_cast<float>(out);
  return out;
}

// ---- Each operation's work: registers in, registers out ----

inline double envelopeOperation(InstrumentWorkspace& ws, const Operation& op) {
  return runEnvelope(ws.slots[op.slot], ws.releaseCount, 1, op.envelope);
}

// FixedPitch: op.byte set while decoding (nothing writes the pitch fields).
template <int Kind, bool FixedPitch>
inline double oscillatorOperation(InstrumentWorkspace& ws, std::int32_t note, Operation& op,
                                  std::uint32_t& noiseSeed) {
  return oscillatorFrame<true, Kind, FixedPitch>(ws.slots[op.slot], note, op.oscillator.constants,
                                                 noiseSeed, &op.oscillator.pitch);
}

// Fixed: the coefficient was worked out while decoding (op.pair[0]); else op.pair[0] is the
// frequency.
template <bool Fixed>
inline double filterOperation(InstrumentWorkspace& ws, const Operation& op, std::uint8_t bits,
                              double x) {
  if constexpr (Fixed) {
    return filterStep(ws.slots[op.slot], op.pair[0], op.pair[1], bits, x);
  } else {
    return runFilter(ws.slots[op.slot], 1, op.pair[0], op.pair[1], bits, x);
  }
}

inline double holdOperation(InstrumentWorkspace& ws, const Operation& op, double x) {
  return runHoldShaper<true>(ws.slots[op.slot], 1, op.pair[0], op.pair[1], x);
}

template <int Lines, bool Modulated, bool Still = false>
inline double delayOperation(DecodedProgram& program, Operation& op, double x) {
  return runLines<Lines, Modulated, Still>(program.lines + op.delay.firstLine, op.delay.constants,
                                           op.delay.hold, x);
}

inline double noteValue(std::int32_t note) { return static_cast<double>(note) * double{parameterScale}; }

// storeParam with its factor and target worked out while decoding.
inline void storeSetOperation(InstrumentWorkspace& ws, const Operation& op, double x) {
  const double v = op.store.factor * x;
  setFieldFloat(ws.slots[op.store.target >> 4], op.store.target & 15, static_cast<float>(v));
}

inline void storeAddOperation(InstrumentWorkspace& ws, const Operation& op, double x) {
  const double v = op.store.factor * x;
  UnitSlot& slot = ws.slots[op.store.target >> 4];
  const int field = op.store.target & 15;
  setFieldFloat(slot, field, static_cast<float>(double{fieldFloat(slot, field)} + v));
}

inline void panOperation(const InstrumentWorkspace& ws, const Operation& op, double x,
                         double& right, double& left) {
  const double position = op.pair[0] + double{fieldFloat(ws.slots[op.slot], 0)};
  right = x * position;
  left = x * (1.0 - position);
}

inline void outputOperation(InstrumentWorkspace& ws, const Operation& op, double left, double right) {
  writeOutput(ws, op.pair[0], op.pair[1], left, right);
}

inline void panOutputOperation(InstrumentWorkspace& ws, const Operation& op, double x) {
  const double position = op.triple[0] + double{fieldFloat(ws.slots[op.slot], 0)};
  writeOutput(ws, op.triple[1], op.triple[2], x * (1.0 - position), x * position);
}

inline void masterAccumulateOperation(const DecodedProgram& program, const Operation& op,
                                      double& left, double& right) {
  const double* sum = op.byte == sums::aux ? program.trackSums + 2 : program.trackSums;
  left = sum[0];
  right = sum[1];
}

// ---- Around each instrument's program ----

// A track's note for this frame; the program to run follows from it (0: the silent one).
inline void startTrack(InstrumentWorkspace& ws, const Song& song, int track, std::uint32_t n) {
  if (n % framesPerTick == 0) triggerNote(ws, song, track, n / framesPerTick);
}

// The end of a finished note and the log entry; the track's outputs join the sums. The log entry
// is written only in the last frame of its record or of the render (`logged`): the frames before
// would write it only to be overwritten, and no reader sees a record before the frame that ends it
// is published.
inline void finishTrack(SynthMemory& memory, int track, std::uint32_t n, bool logged, double* sums) {
  InstrumentWorkspace& ws = memory.workspaces[track];
  if (logged) {
    endNoteAndLog(memory, track, n);
  } else if (fieldInt(ws.slots[0], 0) == stageDone) {
    ws.note = 0;  // endNoteAndLog without the log entry
  }
  sums[0] += ws.mainOut[0];
  sums[1] += ws.mainOut[1];
  sums[2] += ws.auxOut[0];
  sums[3] += ws.auxOut[1];
}

// The master always sounds, with note 15, after the tracks.
inline void startMaster(SynthMemory& memory, DecodedProgram& program, const double* sums) {
  std::copy(sums, sums + 4, program.trackSums);
  memory.workspaces[trackCount].note = trackCount;
}

}  // namespace synth::decoded
