// The render driver. Before rendering, each instrument's opcode and parameter streams are
// decoded once into register programs with their units' constants (envelope rates, shaping
// factors, delay line bindings); every frame then runs those programs. The output is bit for bit that of
// the straightforward dispatcher (render_reference.cpp), which the tests check.
#include <algorithm>
#include <atomic>

#include "song_check.h"
#include "units.h"

// A named namespace rather than an unnamed one: the build's profile of the render (see
// CMakeLists.txt) identifies functions by their linker names, which unnamed namespaces make
// differ between the counting build and this one.
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

// Operations of one program: a unit makes at most one, except a pair StackOp (8, 0 and 10..255),
// which makes two; such a unit lowers the stack by 2 and no unit raises it by more than 2, so at
// most half the units are one. Then the end.
constexpr int operationsPerProgram = unitSlotsPerInstrument * 3 / 2 + 1;

// One operation with its constants, in one cache line. Registers a, b (inputs) and c (output).
struct alignas(64) Operation {
  std::uint8_t code;
  std::uint8_t slot;
  std::uint8_t byte;  // Filter bits, Accumulate selector
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

// A signal stack entry while decoding: its register, and its value when known.
struct Entry {
  std::uint8_t reg;
  bool known;
  double value;
};

class ProgramBuilder {
 public:
  ProgramBuilder(DecodedProgram& program, int& count, double* registers, bool silent,
                 std::int32_t fixedNote, const UnitSlot* fields, const std::uint64_t* targets)
      : program_(program), count_(count), registers_(registers), silent_(silent),
        fixedNote_(fixedNote), fields_(fields), targets_(targets), begin_(count) {}

  // Emits the operation for one unit (or none).
  void unit(std::uint8_t opcode, int slot, const float* p, const std::uint8_t* b,
            std::uint32_t firstLine) {
    switch (opcode) {
      case opEnvelope:
        if (silent_) {
          pushKnown(0.0);
        } else {
          Operation& op = emit(codeEnvelope, slot);
          op.envelope = makeEnvelopeConstants(p);
          op.c = pushFresh();
        }
        break;
      case opOscillator:
        if (silent_) {
          pushKnown(0.0);
        } else {
          const OscillatorConstants constants = makeOscillatorConstants(p, b);
          Operation& op = emit(static_cast<std::uint8_t>(int{codeOscillatorNone} + int{waveKind(constants.flags)}), slot);
          op.oscillator.constants = constants;
          op.oscillator.pitch = emptyPitchCache;
          // Fixed pitch where nothing writes fields 1 and 2 (see the filter's field 4).
          op.byte = !targeted(slot, 1) && !targeted(slot, 2) && fields_[slot].field[1] == 0 &&
                    fields_[slot].field[2] == 0;
          op.c = pushFresh();
        }
        break;
      case opFilter:
        if (!silent_) {
          const std::uint8_t bits = b[2];
          const std::uint8_t code = bits == 1   ? codeFilterLow
                                    : bits == 2 ? codeFilterHigh
                                    : bits == 4 ? codeFilterBand
                                    : bits == 7 ? codeFilterAll
                                                : codeFilter;
          // Field 4 stays 0 where no store writes it (only a new note clears it otherwise): the
          // coefficient is then the same every frame.
          const bool fixed = !targeted(slot, 4) && fields_[slot].field[4] == 0;
          Operation& op = emit(static_cast<std::uint8_t>(fixed ? code + (codeFixedFilter - codeFilter) : code), slot);
          op.pair[0] = fixed ? filterCoefficient(fields_[slot], p[0]) : p[0];
          op.pair[1] = p[1];
          op.byte = bits;
          op.a = pop().reg;
          op.c = pushFresh();
        }
        break;
      case opHoldShaper:
        if (!silent_) {
          Operation& op = emit(codeHoldShaper, slot);
          op.pair[0] = shapeFactor(p[0]);
          op.pair[1] = p[1];
          op.a = pop().reg;
          op.c = pushFresh();
        }
        break;
      case opDelayBank: {
        const DelayBankConstants constants = makeDelayBankConstants(p, b);
        const bool unmodulated = constants.depth == 0.0;
        Operation& op = emit(unmodulated && constants.lines == 1   ? codeDelayLine
                             : unmodulated && constants.lines == 8 ? codeDelayBank8
                                                                   : codeDelayBank,
                             slot);
        op.delay.constants = constants;
        op.delay.firstLine = static_cast<std::uint16_t>(firstLine);  // below 1024: checked
        op.a = pop().reg;
        op.c = pushFresh();
        break;
      }
      case opStackOp: stackOp(b[0]); break;
      case opParamStore: {
        const auto word = static_cast<std::uint16_t>(b[1] | (b[2] << 8));
        Operation& op = emit(word & storeAddBit ? codeStoreAdd : codeStoreSet, slot);
        op.store.factor = 2.0 * (double{p[0]} - double{oneHalf});
        op.store.target = static_cast<std::uint16_t>(word & storeTargetMask);  // below 1024: checked
        op.a = top().reg;
        if (word & storePopBit) pop();
        break;
      }
      case opPan: {
        Operation& op = emit(codePan, slot);
        op.pair[0] = p[0];
        op.a = pop().reg;
        op.b = pushFresh();  // right, below
        op.c = pushFresh();  // left, on top
        break;
      }
      case opOutput: {
        const std::uint8_t left = pop().reg, right = pop().reg;
        Operation* pan = count_ > begin_ ? &program_.operations[count_ - 1] : nullptr;
        if (pan != nullptr && pan->code == codePan && pan->c == left && pan->b == right &&
            !onStack(left) && !onStack(right)) {
          // The Pan's values go straight to the output: one operation, the same arithmetic.
          pan->code = codePanOutput;
          pan->triple[1] = p[0];
          pan->triple[2] = p[1];
          break;
        }
        Operation& op = emit(codeOutput, slot);
        op.pair[0] = p[0];
        op.pair[1] = p[1];
        op.a = left;
        op.b = right;
        break;
      }
      case opAccumulate: {
        Operation& op = emit(fixedNote_ == trackCount ? codeMasterAccumulate : codeAccumulate, slot);
        op.byte = b[0];
        op.b = pushFresh();  // right, below
        op.c = pushFresh();  // left, on top
        break;
      }
      default: break;  // Nop
    }
  }

 void end() { emit(codeEnd, 0); }

 private:
  bool onStack(std::uint8_t reg) const {
    for (int i = 0; i < depth_; ++i) {
      if (stack_[i].reg == reg) return true;
    }
    return false;
  }
  bool targeted(int slot, int field) const {
    return (targets_[slot / 4] >> (16 * (slot % 4) + field)) & 1u;
  }
  Operation& emit(std::uint8_t code, int slot) {
    Operation& op = program_.operations[count_++];
    op = Operation{};
    op.code = code;
    op.slot = static_cast<std::uint8_t>(slot);
    return op;
  }
  std::uint8_t fresh() { return static_cast<std::uint8_t>(used_++); }
  std::uint8_t pushFresh() {
    const std::uint8_t reg = fresh();
    stack_[depth_++] = {reg, false, 0.0};
    return reg;
  }
  void pushKnown(double value) {
    const std::uint8_t reg = fresh();
    registers_[reg] = value;
    stack_[depth_++] = {reg, true, value};
  }
  Entry pop() { return stack_[--depth_]; }
  const Entry& top() const { return stack_[depth_ - 1]; }

  // x + y or x * y, worked out now when both are known.
  void pushArithmetic(bool add, const Entry& x, const Entry& y) {
    if (x.known && y.known) {
      pushKnown(add ? x.value + y.value : x.value * y.value);
      return;
    }
    Operation& op = emit(add ? codeAdd : codeMultiply, 0);
    op.a = x.reg;
    op.b = y.reg;
    op.c = pushFresh();
  }

  // The same stack effects as runStackOp, on entries.
  void stackOp(std::uint8_t operation) {
    switch (operation) {
      case 1: pop(); break;
      case 2:
      case 3: {
        const Entry a = pop(), t = pop();
        pushArithmetic(operation == 2, t, a);
        break;
      }
      case 4: {
        const Entry t = top();
        stack_[depth_++] = t;
        break;
      }
      case 5: {
        const Entry a = pop(), b = pop();
        stack_[depth_++] = a;
        stack_[depth_++] = b;
        break;
      }
      case 6:
      case 7: {
        const Entry a = pop();
        const Entry t = top();
        pushArithmetic(operation == 6, a, t);
        break;
      }
      case 9:
        if (silent_ || fixedNote_ != 0) {
          pushKnown(static_cast<double>(silent_ ? 0 : fixedNote_) * double{parameterScale});
        } else {
          Operation& op = emit(codeNote, 0);
          op.c = pushFresh();
        }
        break;
      default: {  // 8: add pair; 0 and 10..255: multiply pair
        const bool add = operation == 8;
        const Entry a0 = pop(), a1 = pop();
        const Entry b0 = pop(), b1 = pop();
        pushArithmetic(add, b1, a1);
        pushArithmetic(add, b0, a0);
        break;
      }
    }
  }

  DecodedProgram& program_;
  int& count_;
  double* registers_;
  bool silent_;
  std::int32_t fixedNote_;  // the master's note, 0 for tracks
  const UnitSlot* fields_;  // the instrument's slots as rendering starts
  const std::uint64_t* targets_;  // fields some ParamStore of the instrument writes: bit f of slot s
                                  // in targets_[s / 4] at 16 (s % 4) + f
  int begin_;  // this program's first operation
  Entry stack_[16] = {};
  int depth_ = 0;
  int used_ = 0;
};

// Walks the streams of a checked song once, as one frame of the dispatcher would.
void decode(const Song& song, const SynthMemory& memory, DecodedProgram& program) {
  std::size_t commandAt = 0, paramAt = 0;
  int count = 0;
  std::uint32_t cursor = 0;
  std::fill(std::begin(program.scratchWritten), std::end(program.scratchWritten), false);
  for (int instrument = 0; instrument < instrumentCount; ++instrument) {
    const std::int32_t fixedNote = instrument == trackCount ? trackCount : 0;
    double* soundingRegisters = program.registers[2 * instrument];
    double* silentRegisters = program.registers[2 * instrument + 1];
    std::fill(soundingRegisters, soundingRegisters + registersPerProgram, 0.0);
    std::fill(silentRegisters, silentRegisters + registersPerProgram, 0.0);
    // The master always sounds (note 15); its silent program is never run.
    const std::size_t firstCommand = commandAt, firstParam = paramAt;
    // The fields this instrument's stores write.
    std::uint64_t targets[unitSlotsPerInstrument / 4] = {};
    for (std::size_t command = commandAt, param = paramAt;; ++command) {
      const std::uint8_t opcode = song.instrumentCommands[command];
      if (opcode == opEnd) break;
      if (opcode == opParamStore) {
        const unsigned target = (song.instrumentParams[param + 1] | (song.instrumentParams[param + 2] << 8)) &
                                storeTargetMask;  // checked to be below 1024
        targets[target / 64] |= std::uint64_t{1} << (target % 64);
      }
      param += static_cast<std::size_t>(parameterBytes[opcode]);
    }
    const std::uint32_t firstCursor = cursor;
    for (int pass = 0; pass < 2; ++pass) {
      commandAt = firstCommand;
      paramAt = firstParam;
      cursor = firstCursor;
      ProgramBuilder builder(program, count, pass == 0 ? soundingRegisters : silentRegisters,
                             pass == 1, fixedNote, memory.workspaces[instrument].slots, targets);
      const int begin = count;
      for (int slot = 0;; ++slot) {
        const std::uint8_t opcode = song.instrumentCommands[commandAt++];
        if (opcode == opEnd) break;
        const std::uint8_t* b = song.instrumentParams.data() + paramAt;
        const int loaded = opcode == opParamStore ? 1 : parameterBytes[opcode];
        float p[8] = {};
        for (int i = 0; i < loaded; ++i) {
          p[i] = static_cast<float>(b[i]) * parameterScale;
          program.paramScratch[i] = p[i];
          program.scratchWritten[i] = true;
        }
        builder.unit(opcode, slot, p, b, cursor);
        if (opcode == opDelayBank) {
          for (int i = 0; i < b[7]; ++i) program.lengths[cursor + i] = song.delayLengths[b[6] + i];
          cursor += b[7];
        }
        paramAt += static_cast<std::size_t>(parameterBytes[opcode]);
      }
      builder.end();
      (pass == 0 ? program.sounding : program.silent)[instrument] = {
          begin, pass == 0 ? soundingRegisters : silentRegisters};
    }
  }
  program.delayLinesUsed = cursor;
}

// One frame's step of a bank's modulation phase, as delayOffset<true> takes it.
inline float nextPhase(float phase, double step) {
  return static_cast<float>(mod1<true>(double{phase} + step + 1.0));
}

// runDelayBank<true> on line states: `Lines` lines (0: c.lines), read offset 0 unless Modulated;
// Still: the modulation phase is left as it is (it would step to the same value).
template <int Lines, bool Modulated, bool Still = false>
inline double runLines(LineState* line, const DelayBankConstants& c, double x) {
  const double inputGain = c.inputGain, feedback = c.feedback, damping = c.damping;
  const double in = x * (inputGain * inputGain);
  double acc = x * double{c.dryGain};
  std::int32_t m = 0;
  if constexpr (Modulated) {
    m = delayOffset<true>(line[0], c);
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

// An unmodulated bank's phase matters only in the state left behind. Where one step takes the
// phase p0 to p1 and the next leaves p1 as it is (a step of 0 does so from its second step on),
// every later step does too: the first frame's step is taken now (at least one frame is
// rendered), and the bank's operation leaves the phase alone. A bank has an operation in both
// of its instrument's programs; the second finds the phase already settled.
void settlePhases(DecodedProgram& program) {
  for (int instrument = 0; instrument < instrumentCount; ++instrument) {
    for (const Program* code : {&program.sounding[instrument], &program.silent[instrument]}) {
      for (Operation* op = program.operations + code->begin; op->code != codeEnd; ++op) {
        if (op->code != codeDelayLine && op->code != codeDelayBank8) continue;
        LineState& first = program.lines[op->delay.firstLine];
        const float p1 = nextPhase(first.lfoPhase, op->delay.constants.phaseStep);
        const float p2 = nextPhase(p1, op->delay.constants.phaseStep);
        if (std::bit_cast<std::uint32_t>(p1) != std::bit_cast<std::uint32_t>(p2)) continue;
        first.lfoPhase = p1;
        op->code = op->code == codeDelayLine ? codeDelayLineStill : codeDelayBank8Still;
      }
    }
  }
}

// Runs one frame: every track's program (sounding or silent), then the master's. With GCC and Clang each operation jumps
// straight to the next one's code (labels as values); elsewhere a loop over a switch.
#if defined(__GNUC__)
#define INTRO_THREADED_DISPATCH 1
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#else
#define INTRO_THREADED_DISPATCH 0
#endif
// The log entry is written only in the last frame of its record or of the render (`logged`): the
// frames before would write it only to be overwritten, and no reader sees a record before the
// frame that ends it is published.
void runFrame(SynthMemory& memory, DecodedProgram& program, const Song& song, std::uint32_t n,
              bool logged) {
  const std::uint32_t tick = n / framesPerTick;
  const bool firstFrameOfTick = n % framesPerTick == 0;
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  int instrument = 0;
  InstrumentWorkspace* ws;
  std::int32_t note;
  double* r;
  Operation* op;
#if INTRO_THREADED_DISPATCH
  static const void* const labels[] = {
      &&L_codeEnvelope,       &&L_codeOscillatorNone,  &&L_codeOscillatorSine,
      &&L_codeOscillatorTrisaw, &&L_codeOscillatorPulse, &&L_codeOscillatorNoise,
      &&L_codeOscillatorGate, &&L_codeFilter,          &&L_codeFilterLow,
      &&L_codeFilterHigh,     &&L_codeFilterBand,      &&L_codeFilterAll,
      &&L_codeFixedFilter,    &&L_codeFixedFilterLow,  &&L_codeFixedFilterHigh,
      &&L_codeFixedFilterBand, &&L_codeFixedFilterAll,
      &&L_codeHoldShaper,     &&L_codeDelayBank,       &&L_codeDelayLine,
      &&L_codeDelayBank8,     &&L_codeDelayLineStill,  &&L_codeDelayBank8Still,
      &&L_codeAdd,            &&L_codeMultiply,        &&L_codeNote,
      &&L_codeStoreSet, &&L_codeStoreAdd,     &&L_codePan,             &&L_codeOutput,
      &&L_codePanOutput,
      &&L_codeAccumulate,     &&L_codeMasterAccumulate, &&L_codeEnd};
  static_assert(std::size(labels) == codeEnd + 1);
#endif
  // The next instrument: the tracks in order, then the master.
start:
  ws = memory.workspaces + instrument;
  if (instrument < trackCount) {
    if (firstFrameOfTick) triggerNote(*ws, song, instrument, tick);
  } else {
    std::copy(std::begin(sums), std::end(sums), program.trackSums);
    ws->note = trackCount;
  }
  {
    const Program& code = ws->note != 0 ? program.sounding[instrument] : program.silent[instrument];
    note = ws->note;
    r = code.registers;
    op = program.operations + code.begin;
  }
#if INTRO_THREADED_DISPATCH
#define OPERATION(name) L_##name:
#define NEXT                  \
  ++op;                       \
  goto* labels[op->code]
  goto* labels[op->code];
#else
#define OPERATION(name) case name:
#define NEXT   \
  ++op;        \
  continue
  for (;;) {
    switch (op->code) {
#endif
  OPERATION(codeEnvelope)
    r[op->c] = runEnvelope(ws->slots[op->slot], ws->releaseCount, 1, op->envelope);
    NEXT;
  OPERATION(codeOscillatorNone)
    r[op->c] = op->byte ? oscillatorFrame<true, waveNone, true>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch)
                        : oscillatorFrame<true, waveNone>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch);
    NEXT;
  OPERATION(codeOscillatorSine)
    r[op->c] = op->byte ? oscillatorFrame<true, waveSine, true>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch)
                        : oscillatorFrame<true, waveSine>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch);
    NEXT;
  OPERATION(codeOscillatorTrisaw)
    r[op->c] = op->byte ? oscillatorFrame<true, waveTrisaw, true>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch)
                        : oscillatorFrame<true, waveTrisaw>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch);
    NEXT;
  OPERATION(codeOscillatorPulse)
    r[op->c] = op->byte ? oscillatorFrame<true, wavePulse, true>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch)
                        : oscillatorFrame<true, wavePulse>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch);
    NEXT;
  OPERATION(codeOscillatorNoise)
    r[op->c] = op->byte ? oscillatorFrame<true, waveNoise, true>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch)
                        : oscillatorFrame<true, waveNoise>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch);
    NEXT;
  OPERATION(codeOscillatorGate)
    r[op->c] = op->byte ? oscillatorFrame<true, waveGate, true>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch)
                        : oscillatorFrame<true, waveGate>(ws->slots[op->slot], note, op->oscillator.constants,
                                                      memory.noiseSeed, &op->oscillator.pitch);
    NEXT;
  OPERATION(codeFilter)
    r[op->c] = runFilter(ws->slots[op->slot], 1, op->pair[0], op->pair[1], op->byte, r[op->a]);
    NEXT;
  OPERATION(codeFilterLow)
    r[op->c] = runFilter(ws->slots[op->slot], 1, op->pair[0], op->pair[1], 1, r[op->a]);
    NEXT;
  OPERATION(codeFilterHigh)
    r[op->c] = runFilter(ws->slots[op->slot], 1, op->pair[0], op->pair[1], 2, r[op->a]);
    NEXT;
  OPERATION(codeFilterBand)
    r[op->c] = runFilter(ws->slots[op->slot], 1, op->pair[0], op->pair[1], 4, r[op->a]);
    NEXT;
  OPERATION(codeFilterAll)
    r[op->c] = runFilter(ws->slots[op->slot], 1, op->pair[0], op->pair[1], 7, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilter)
    r[op->c] = filterStep(ws->slots[op->slot], op->pair[0], op->pair[1], op->byte, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterLow)
    r[op->c] = filterStep(ws->slots[op->slot], op->pair[0], op->pair[1], 1, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterHigh)
    r[op->c] = filterStep(ws->slots[op->slot], op->pair[0], op->pair[1], 2, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterBand)
    r[op->c] = filterStep(ws->slots[op->slot], op->pair[0], op->pair[1], 4, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterAll)
    r[op->c] = filterStep(ws->slots[op->slot], op->pair[0], op->pair[1], 7, r[op->a]);
    NEXT;
  OPERATION(codeHoldShaper)
    r[op->c] = runHoldShaper<true>(ws->slots[op->slot], 1, op->pair[0], op->pair[1], r[op->a]);
    NEXT;
  OPERATION(codeDelayBank)
    r[op->c] = runLines<0, true>(program.lines + op->delay.firstLine, op->delay.constants, r[op->a]);
    NEXT;
  OPERATION(codeDelayLine)
    r[op->c] = runLines<1, false>(program.lines + op->delay.firstLine, op->delay.constants, r[op->a]);
    NEXT;
  OPERATION(codeDelayBank8)
    r[op->c] = runLines<8, false>(program.lines + op->delay.firstLine, op->delay.constants, r[op->a]);
    NEXT;
  OPERATION(codeDelayLineStill)
    r[op->c] = runLines<1, false, true>(program.lines + op->delay.firstLine, op->delay.constants, r[op->a]);
    NEXT;
  OPERATION(codeDelayBank8Still)
    r[op->c] = runLines<8, false, true>(program.lines + op->delay.firstLine, op->delay.constants, r[op->a]);
    NEXT;
  OPERATION(codeAdd)
    r[op->c] = r[op->a] + r[op->b];
    NEXT;
  OPERATION(codeMultiply)
    r[op->c] = r[op->a] * r[op->b];
    NEXT;
  OPERATION(codeNote)
    r[op->c] = static_cast<double>(note) * double{parameterScale};
    NEXT;
  // storeParam with its factor and target worked out while decoding.
  OPERATION(codeStoreSet) {
    const double v = op->store.factor * r[op->a];
    UnitSlot& slot = ws->slots[op->store.target >> 4];
    setFieldFloat(slot, op->store.target & 15, static_cast<float>(v));
  }
    NEXT;
  OPERATION(codeStoreAdd) {
    const double v = op->store.factor * r[op->a];
    UnitSlot& slot = ws->slots[op->store.target >> 4];
    const int field = op->store.target & 15;
    setFieldFloat(slot, field, static_cast<float>(double{fieldFloat(slot, field)} + v));
  }
    NEXT;
  OPERATION(codePan) {
    const double position = op->pair[0] + double{fieldFloat(ws->slots[op->slot], 0)};
    const double x = r[op->a];
    r[op->b] = x * position;
    r[op->c] = x * (1.0 - position);
  }
    NEXT;
  OPERATION(codeOutput)
    writeOutput(*ws, op->pair[0], op->pair[1], r[op->a], r[op->b]);
    NEXT;
  OPERATION(codePanOutput) {
    const double position = op->triple[0] + double{fieldFloat(ws->slots[op->slot], 0)};
    const double x = r[op->a];
    writeOutput(*ws, op->triple[1], op->triple[2], x * (1.0 - position), x * position);
  }
    NEXT;
  OPERATION(codeAccumulate)
    sumOutputs(memory.workspaces, op->byte, r[op->c], r[op->b]);
    NEXT;
  OPERATION(codeMasterAccumulate) {
    const double* sum = op->byte == 8 ? program.trackSums + 2 : program.trackSums;
    r[op->c] = sum[0];
    r[op->b] = sum[1];
  }
    NEXT;
  OPERATION(codeEnd)
    if (instrument < trackCount) {
      // The end of a finished note and the log entry; the track's outputs join the sums.
      if (logged) {
        endNoteAndLog(memory, instrument, n);
      } else if (fieldInt(ws->slots[0], 0) == stageDone) {
        ws->note = 0;  // endNoteAndLog without the log entry
      }
      sums[0] += ws->mainOut[0];
      sums[1] += ws->mainOut[1];
      sums[2] += ws->auxOut[0];
      sums[3] += ws->auxOut[1];
      ++instrument;
      goto start;
    }
    return;
#if !INTRO_THREADED_DISPATCH
      default: return;
    }
  }
#endif
#undef OPERATION
#undef NEXT
}
#if INTRO_THREADED_DISPATCH
#pragma GCC diagnostic pop
#endif

}  // namespace synth::decoded

using namespace synth;
using namespace synth::decoded;

bool renderSongFrames(SynthMemory& memory, const Song& song, std::uint32_t endFrame) {
  if (!songIsValid(song)) return false;
  endFrame = std::min(endFrame, songFrames);
  if (memory.renderPosition >= endFrame) return true;
  DecodedProgram program;
  decode(song, memory, program);
  for (std::uint32_t i = 0; i < program.delayLinesUsed; ++i) {
    DelayLine& line = memory.delayPool[i];
    LineState& state = program.lines[i];
    const std::int32_t length = program.lengths[i];
    std::int32_t writeIndex = line.writeIndex;
    if (writeIndex < 0 || writeIndex >= length) writeIndex = 0;
    state.samples = line.samples;
    state.cursor = line.samples + writeIndex;
    state.end = line.samples + length;
    state.dampState = line.dampState;
    state.dcIn = line.dcIn;
    state.dcOut = line.dcOut;
    state.lfoPhase = line.lfoPhase;
  }
  settlePhases(program);
  if (memory.noiseSeed == 0) memory.noiseSeed = 1;
  std::atomic_ref<std::uint32_t> published(memory.publishedFrames);
  InstrumentWorkspace& master = memory.workspaces[trackCount];
  std::uint32_t n = memory.renderPosition;
  while (n < endFrame) {
    // One tick, or the part of it before endFrame.
    const std::uint32_t tick = n / framesPerTick;
    const std::uint32_t tickEnd = std::min((tick + 1) * framesPerTick, endFrame);
    for (; n < tickEnd; ++n) {
      runFrame(memory, program, song, n, (n + 1) % envelopeLogPeriod == 0 || n + 1 == endFrame);
      memory.soundBuffer[2 * std::size_t{n}] = clipSample(master.mainOut[0]);
      memory.soundBuffer[2 * std::size_t{n} + 1] = clipSample(master.mainOut[1]);
      if ((n + 1) % envelopeLogPeriod == 0) {
        memory.renderPosition = n + 1;
        published.store(n + 1, std::memory_order_release);
      }
    }
  }
  // The state the dispatcher leaves behind after a frame.
  for (std::uint32_t i = 0; i < program.delayLinesUsed; ++i) {
    DelayLine& line = memory.delayPool[i];
    const LineState& state = program.lines[i];
    line.writeIndex = static_cast<std::int32_t>(state.cursor - state.samples);
    line.dampState = state.dampState;
    line.dcIn = state.dcIn;
    line.dcOut = state.dcOut;
    line.lfoPhase = state.lfoPhase;
  }
  memory.delayCursor = program.delayLinesUsed;
  for (int i = 0; i < 16; ++i) {
    if (program.scratchWritten[i]) memory.paramScratch[i] = program.paramScratch[i];
  }
  memory.renderPosition = n;
  published.store(n, std::memory_order_release);
  return true;
}

bool renderSong(SynthMemory& memory, const Song& song) {
  return renderSongFrames(memory, song, songFrames);
}
