// The render driver. Before rendering, each instrument's opcode and parameter streams are
// decoded once into a list of units with their constants (envelope rates, shaping factors,
// delay line bindings); every frame then runs those lists. The output is bit for bit that of
// the straightforward dispatcher (render_reference.cpp), which the tests check.
#include <algorithm>
#include <atomic>

#include "song_check.h"
#include "units.h"

namespace {

using namespace synth;

// Decoded StackOps carry their operation in the opcode: stackOpBase + operation (0..9).
constexpr std::uint8_t stackOpBase = 16;

// One unit with its constants, in one cache line.
struct alignas(64) DecodedUnit {
  std::uint8_t opcode;
  std::uint8_t slot;
  std::uint8_t byte;        // Filter bits, StackOp operation, Accumulate selector
  std::uint16_t word;       // ParamStore word
  std::uint16_t firstLine;  // DelayBank: its first line in the pool
  union {
    EnvelopeConstants envelope;
    struct {
      OscillatorConstants constants;
      PitchCache pitch;
    } oscillator;
    DelayBankConstants delay;
    double pair[2];  // Filter: frequency, damping; HoldShaper: shape factor, hold rate;
                     // ParamStore: amount; Pan: position; Output: main, aux gain
  };
};
static_assert(sizeof(DecodedUnit) == 64);

struct DecodedProgram {
  DecodedUnit units[instrumentCount * unitSlotsPerInstrument];
  int begin[instrumentCount + 1];    // units of instrument i: begin[i] .. begin[i + 1] - 1
  std::uint32_t delayLinesUsed;      // delayCursor after a frame
  float paramScratch[16];            // what loadParams leaves behind after a frame,
  bool scratchWritten[16];           // in the entries it writes at all
};

// Walks the streams of a checked song once, as one frame of the dispatcher would.
void decode(const Song& song, DecodedProgram& program) {
  std::size_t commandAt = 0, paramAt = 0;
  int count = 0;
  std::uint32_t cursor = 0;
  std::fill(std::begin(program.scratchWritten), std::end(program.scratchWritten), false);
  for (int instrument = 0; instrument < instrumentCount; ++instrument) {
    program.begin[instrument] = count;
    for (int slot = 0;; ++slot) {
      const std::uint8_t opcode = song.instrumentCommands[commandAt++];
      if (opcode == opEnd) break;
      DecodedUnit& unit = program.units[count++];
      unit = DecodedUnit{};
      unit.opcode = opcode;
      unit.slot = static_cast<std::uint8_t>(slot);
      const std::uint8_t* b = song.instrumentParams.data() + paramAt;
      const int loaded = opcode == opParamStore ? 1 : parameterBytes[opcode];
      float p[8] = {};
      for (int i = 0; i < loaded; ++i) {
        p[i] = static_cast<float>(b[i]) * parameterScale;
        program.paramScratch[i] = p[i];
        program.scratchWritten[i] = true;
      }
      switch (opcode) {
        case opEnvelope: unit.envelope = makeEnvelopeConstants(p); break;
        case opOscillator:
          unit.oscillator.constants = makeOscillatorConstants(p, b);
          unit.oscillator.pitch = emptyPitchCache;
          break;
        case opFilter: unit.pair[0] = p[0]; unit.pair[1] = p[1]; unit.byte = b[2]; break;
        case opHoldShaper: unit.pair[0] = shapeFactor(p[0]); unit.pair[1] = p[1]; break;
        case opDelayBank:
          unit.delay = makeDelayBankConstants(p, b);
          unit.firstLine = static_cast<std::uint16_t>(cursor);  // below 1024: checked
          cursor += unit.delay.lines;
          break;
        case opStackOp:
          // Each operation a case of its own in runCommands's switch (0 and 10..255 are one).
          unit.byte = b[0];
          unit.opcode = static_cast<std::uint8_t>(stackOpBase + (b[0] <= 9 ? b[0] : 0));
          break;
        case opParamStore:
          unit.pair[0] = p[0];
          unit.word = static_cast<std::uint16_t>(b[1] | (b[2] << 8));
          break;
        case opPan: unit.pair[0] = p[0]; break;
        case opOutput: unit.pair[0] = p[0]; unit.pair[1] = p[1]; break;
        case opAccumulate: unit.byte = b[0]; break;
        default: break;
      }
      paramAt += static_cast<std::size_t>(parameterBytes[opcode]);
    }
  }
  program.begin[instrumentCount] = count;
  program.delayLinesUsed = cursor;
}

// The dispatcher: runs one instrument's decoded units for one frame.
void runCommands(SynthMemory& memory, const Song& song, DecodedProgram& program, int instrument) {
  InstrumentWorkspace& workspace = memory.workspaces[instrument];
  const std::int32_t note = workspace.note;
  TopCachedStack stack;
  stack.head = 0.0;
  stack.depth = 0;
  DecodedUnit* const end = program.units + program.begin[instrument + 1];
  for (DecodedUnit* unit = program.units + program.begin[instrument]; unit != end; ++unit) {
    UnitSlot& slot = workspace.slots[unit->slot];
    switch (unit->opcode) {
      case opEnvelope:
        stack.push(runEnvelope(slot, workspace.releaseCount, note, unit->envelope));
        break;
      case opOscillator:
        stack.push(runOscillator<true>(slot, note, unit->oscillator.constants, memory.noiseSeed,
                                       &unit->oscillator.pitch));
        break;
      case opFilter:
        stack.top() = runFilter(slot, note, unit->pair[0], unit->pair[1], unit->byte, stack.top());
        break;
      case opHoldShaper:
        stack.top() = runHoldShaper<true>(slot, note, unit->pair[0], unit->pair[1], stack.top());
        break;
      case opDelayBank:
        stack.top() = runDelayBank<true>(memory.delayPool + unit->firstLine,
                                         song.delayLengths.data() + unit->delay.firstEntry,
                                         unit->delay, stack.top());
        break;
      case stackOpBase + 0: runStackOp(0, note, stack); break;
      case stackOpBase + 1: runStackOp(1, note, stack); break;
      case stackOpBase + 2: runStackOp(2, note, stack); break;
      case stackOpBase + 3: runStackOp(3, note, stack); break;
      case stackOpBase + 4: runStackOp(4, note, stack); break;
      case stackOpBase + 5: runStackOp(5, note, stack); break;
      case stackOpBase + 6: runStackOp(6, note, stack); break;
      case stackOpBase + 7: runStackOp(7, note, stack); break;
      case stackOpBase + 8: runStackOp(8, note, stack); break;
      case stackOpBase + 9: runStackOp(9, note, stack); break;
      case opParamStore: runParamStore(workspace, unit->pair[0], unit->word, stack); break;
      case opPan: runPan(slot, unit->pair[0], stack); break;
      case opOutput: runOutput(workspace, unit->pair[0], unit->pair[1], stack); break;
      case opAccumulate: runAccumulate(memory.workspaces, unit->byte, stack); break;
      default: break;  // Nop
    }
  }
}

// One track for one frame: its units, then the end of a finished note and the log entry.
void runInstrument(SynthMemory& memory, const Song& song, DecodedProgram& program, int track,
                   std::uint32_t frame) {
  runCommands(memory, song, program, track);
  endNoteAndLog(memory, track, frame);
}

}  // namespace

bool renderSongFrames(SynthMemory& memory, const Song& song, std::uint32_t endFrame) {
  if (!songIsValid(song)) return false;
  endFrame = std::min(endFrame, songFrames);
  if (memory.renderPosition >= endFrame) return true;
  DecodedProgram program;
  decode(song, program);
  if (memory.noiseSeed == 0) memory.noiseSeed = 1;
  std::atomic_ref<std::uint32_t> published(memory.publishedFrames);
  InstrumentWorkspace& master = memory.workspaces[trackCount];
  std::uint32_t n = memory.renderPosition;
  while (n < endFrame) {
    // One tick, or the part of it before endFrame.
    const std::uint32_t tick = n / framesPerTick;
    const std::uint32_t tickEnd = std::min((tick + 1) * framesPerTick, endFrame);
    for (; n < tickEnd; ++n) {
      const bool firstFrameOfTick = n % framesPerTick == 0;
      for (int track = 0; track < trackCount; ++track) {
        if (firstFrameOfTick) triggerNote(memory.workspaces[track], song, track, tick);
        runInstrument(memory, song, program, track, n);
      }
      master.note = trackCount;
      runCommands(memory, song, program, trackCount);
      memory.soundBuffer[2 * std::size_t{n}] = clipSample(master.mainOut[0]);
      memory.soundBuffer[2 * std::size_t{n} + 1] = clipSample(master.mainOut[1]);
      if ((n + 1) % envelopeLogPeriod == 0) {
        memory.renderPosition = n + 1;
        published.store(n + 1, std::memory_order_release);
      }
    }
  }
  // The state the dispatcher leaves behind after a frame.
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
