#include "tests/synth/render_reference.h"

#include <algorithm>
#include <atomic>

#include "synth/song_check.h"
#include "synth/units.h"

namespace {

using namespace synth;

// What the dispatcher hands a unit: its slot, its workspace (releaseCount, note, outputs), the
// parameter read position and the signal stack.
struct UnitCall {
  SynthMemory& memory;
  const Song& song;
  InstrumentWorkspace& workspace;
  UnitSlot& slot;
  std::size_t& paramPosition;
  SignalStack& stack;
};

// Reads the next `count` parameter bytes into paramScratch as byte / 128 and returns the last.
std::uint8_t loadParams(UnitCall& call, int count) {
  std::uint8_t last = 0;
  for (int i = 0; i < count; ++i) {
    last = call.song.instrumentParams[call.paramPosition++];
    call.memory.paramScratch[i] = static_cast<float>(last) * parameterScale;
  }
  return last;
}

// The raw bytes just loaded (those a unit uses besides their scaled values).
const std::uint8_t* loadedBytes(const UnitCall& call, int count) {
  return call.song.instrumentParams.data() + call.paramPosition - count;
}

void unitEnd(UnitCall&) {}

void unitEnvelope(UnitCall& call) {
  loadParams(call, 5);
  const EnvelopeConstants c = makeEnvelopeConstants(call.memory.paramScratch);
  call.stack.push(runEnvelope(call.slot, call.workspace.releaseCount, call.workspace.note, c));
}

void unitOscillator(UnitCall& call) {
  loadParams(call, 8);
  const OscillatorConstants c = makeOscillatorConstants(call.memory.paramScratch, loadedBytes(call, 8));
  call.stack.push(runOscillator<false>(call.slot, call.workspace.note, c, call.memory.noiseSeed, nullptr));
}

void unitFilter(UnitCall& call) {
  const std::uint8_t bits = loadParams(call, 3);
  const float* p = call.memory.paramScratch;
  call.stack.top() = runFilter(call.slot, call.workspace.note, p[0], p[1], bits, call.stack.top());
}

void unitHoldShaper(UnitCall& call) {
  loadParams(call, 2);
  const float* p = call.memory.paramScratch;
  call.stack.top() =
      runHoldShaper<false>(call.slot, call.workspace.note, shapeFactor(p[0]), p[1], call.stack.top());
}

void unitDelayBank(UnitCall& call) {
  loadParams(call, 8);
  const DelayBankConstants c = makeDelayBankConstants(call.memory.paramScratch, loadedBytes(call, 8));
  DelayLine* lines = call.memory.delayPool + call.memory.delayCursor;
  call.memory.delayCursor += c.lines;
  call.stack.top() =
      runDelayBank<false>(lines, call.song.delayLengths.data() + c.firstEntry, c, call.stack.top());
}

void unitStackOp(UnitCall& call) {
  const std::uint8_t operation = loadParams(call, 1);
  runStackOp(operation, call.workspace.note, call.stack);
}

void unitParamStore(UnitCall& call) {
  loadParams(call, 1);
  const std::uint8_t low = call.song.instrumentParams[call.paramPosition++];
  const std::uint8_t high = call.song.instrumentParams[call.paramPosition++];
  const auto word = static_cast<std::uint16_t>(low | (high << 8));
  runParamStore(call.workspace, call.memory.paramScratch[0], word, call.stack);
}

void unitPan(UnitCall& call) {
  loadParams(call, 1);
  runPan(call.slot, call.memory.paramScratch[0], call.stack);
}

void unitOutput(UnitCall& call) {
  loadParams(call, 2);
  runOutput(call.workspace, call.memory.paramScratch[0], call.memory.paramScratch[1], call.stack);
}

void unitAccumulate(UnitCall& call) {
  const std::uint8_t selector = loadParams(call, 1);
  runAccumulate(call.memory.workspaces, selector, call.stack);
}

void unitNop(UnitCall&) {}

using UnitFunction = void (*)(UnitCall&);
#define INTRO_SYNTH_UNIT_FUNCTION(name, opcode, bytes, pops, pushes, room) unit##name,
constexpr UnitFunction unitTable[opcodeCount] = {INTRO_SYNTH_UNITS(INTRO_SYNTH_UNIT_FUNCTION)};
#undef INTRO_SYNTH_UNIT_FUNCTION

struct ReadPositions {
  std::size_t command = 0;
  std::size_t param = 0;
};

void runCommands(SynthMemory& memory, const Song& song, InstrumentWorkspace& workspace,
                 ReadPositions& read) {
  SignalStack stack{};
  for (int slot = 0;; ++slot) {
    const std::uint8_t opcode = song.instrumentCommands[read.command++];
    if (opcode == opEnd) return;
    UnitCall call{memory, song, workspace, workspace.slots[slot], read.param, stack};
    unitTable[opcode](call);
  }
}

// One track for one frame: its units, then the end of a finished note and the log entry.
void runInstrument(SynthMemory& memory, const Song& song, int track, std::uint32_t frame,
                   ReadPositions& read) {
  runCommands(memory, song, memory.workspaces[track], read);
  endNoteAndLog(memory, track, frame);
}

}  // namespace

bool renderSongFramesReference(SynthMemory& memory, const Song& song, std::uint32_t endFrame) {
  if (!songIsValid(song)) return false;
  endFrame = std::min(endFrame, songFrames);
  if (memory.noiseSeed == 0) memory.noiseSeed = 1;
  std::atomic_ref<std::uint32_t> published(memory.publishedFrames);
  InstrumentWorkspace& master = memory.workspaces[trackCount];
  for (std::uint32_t n = memory.renderPosition; n < endFrame;) {
    const std::uint32_t tick = n / framesPerTick;
    const bool firstFrameOfTick = n % framesPerTick == 0;
    ReadPositions read;
    memory.delayCursor = 0;
    for (int track = 0; track < trackCount; ++track) {
      if (firstFrameOfTick) triggerNote(memory.workspaces[track], song, track, tick);
      runInstrument(memory, song, track, n, read);
    }
    master.note = trackCount;
    runCommands(memory, song, master, read);
    memory.soundBuffer[2 * std::size_t{n}] = clipSample(master.mainOut[0]);
    memory.soundBuffer[2 * std::size_t{n} + 1] = clipSample(master.mainOut[1]);
    ++n;
    memory.renderPosition = n;
    if (n % envelopeLogPeriod == 0 || n == endFrame) published.store(n, std::memory_order_release);
  }
  return true;
}
