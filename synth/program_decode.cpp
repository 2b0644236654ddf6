// Decoding a checked song's instruments into register programs (program.h).
#include <algorithm>

#include "synth/program.h"

namespace synth::decoded {
namespace {

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
          constexpr std::uint8_t all = filterOut::low | filterOut::high | filterOut::band;
          const std::uint8_t code = bits == filterOut::low    ? codeFilterLow
                                    : bits == filterOut::high ? codeFilterHigh
                                    : bits == filterOut::band ? codeFilterBand
                                    : bits == all             ? codeFilterAll
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
        op.delay.hold = emptyOffsetHold;
        op.byte = constants.lines;  // for the compiled song, which fixes the count
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
    using Stack = StackOperation;
    const auto named = static_cast<Stack>(operation);
    switch (named) {
      case Stack::pop: pop(); break;
      case Stack::add:
      case Stack::multiply: {
        const Entry a = pop(), t = pop();
        pushArithmetic(named == Stack::add, t, a);
        break;
      }
      case Stack::duplicate: {
        const Entry t = top();
        stack_[depth_++] = t;
        break;
      }
      case Stack::swap: {
        const Entry a = pop(), b = pop();
        stack_[depth_++] = a;
        stack_[depth_++] = b;
        break;
      }
      case Stack::addKeep:
      case Stack::multiplyKeep: {
        const Entry a = pop();
        const Entry t = top();
        pushArithmetic(named == Stack::addKeep, a, t);
        break;
      }
      case Stack::pushNote:
        if (silent_ || fixedNote_ != 0) {
          pushKnown(static_cast<double>(silent_ ? 0 : fixedNote_) * double{parameterScale});
        } else {
          Operation& op = emit(codeNote, 0);
          op.c = pushFresh();
        }
        break;
      case Stack::addPair:
      default: {  // multiplyPair, and every number the table does not name
        const bool add = named == Stack::addPair;
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
void decodePrograms(const Song& song, const SynthMemory& memory, DecodedProgram& program) {
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

}  // namespace

void decode(const Song& song, SynthMemory& memory, DecodedProgram& program) {
  decodePrograms(song, memory, program);
  // The lines' states, taken out of the pool for rendering (render.cpp puts them back).
  for (std::uint32_t i = 0; i < program.delayLinesUsed; ++i) {
    DelayLine& line = memory.delayPool[i];
    LineState& state = program.lines[i];
    const std::int32_t length = program.lengths[i];
    std::int32_t writeIndex = line.writeIndex;
    if (writeIndex < 0 || writeIndex >= length) writeIndex = 0;
    state.samples = line.samples;
    state.cursor = state.samples + writeIndex;
    state.end = state.samples + length;
    state.dampState = line.dampState;
    state.dcIn = line.dcIn;
    state.dcOut = line.dcOut;
    state.lfoPhase = line.lfoPhase;
  }
  settlePhases(program);
}

}  // namespace synth::decoded
