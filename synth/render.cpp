// The render driver. Before rendering, the song's instruments are decoded into register programs
// (program_decode.cpp); every frame then runs those programs, through the compiled song where it
// was written for programs of their structure (the built-in song's; generated/compiled_song.cpp),
// else through the interpreter below. The output is bit for bit that of the straightforward
// dispatcher (tests/synth/render_reference.cpp), which the tests check.
#include <algorithm>
#include <atomic>

#include "synth/compiled_song.h"
#include "synth/program.h"
#include "synth/render_paths.h"
#include "synth/song_check.h"

namespace synth::decoded {

// Runs one frame: every track's program (sounding or silent), then the master's. With GCC and
// Clang each operation jumps straight to the next one's code (labels as values); elsewhere a loop
// over a switch.
#if defined(__GNUC__)
#define INTRO_THREADED_DISPATCH 1
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#else
#define INTRO_THREADED_DISPATCH 0
#endif
void runFrame(SynthMemory& memory, DecodedProgram& program, const Song& song, std::uint32_t n,
              bool logged) {
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
    startTrack(*ws, song, instrument, n);
  } else {
    startMaster(memory, program, sums);
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
#define OSCILLATOR(kind)                                                                      \
  r[op->c] = op->byte ? oscillatorOperation<kind, true>(*ws, note, *op, memory.noiseSeed)  \
                      : oscillatorOperation<kind, false>(*ws, note, *op, memory.noiseSeed)
  OPERATION(codeEnvelope)
    r[op->c] = envelopeOperation(*ws, *op);
    NEXT;
  OPERATION(codeOscillatorNone)
    OSCILLATOR(waveNone);
    NEXT;
  OPERATION(codeOscillatorSine)
    OSCILLATOR(waveSine);
    NEXT;
  OPERATION(codeOscillatorTrisaw)
    OSCILLATOR(waveTrisaw);
    NEXT;
  OPERATION(codeOscillatorPulse)
    OSCILLATOR(wavePulse);
    NEXT;
  OPERATION(codeOscillatorNoise)
    OSCILLATOR(waveNoise);
    NEXT;
  OPERATION(codeOscillatorGate)
    OSCILLATOR(waveGate);
    NEXT;
#undef OSCILLATOR
  OPERATION(codeFilter)
    r[op->c] = filterOperation<false>(*ws, *op, op->byte, r[op->a]);
    NEXT;
  OPERATION(codeFilterLow)
    r[op->c] = filterOperation<false>(*ws, *op, 1, r[op->a]);
    NEXT;
  OPERATION(codeFilterHigh)
    r[op->c] = filterOperation<false>(*ws, *op, 2, r[op->a]);
    NEXT;
  OPERATION(codeFilterBand)
    r[op->c] = filterOperation<false>(*ws, *op, 4, r[op->a]);
    NEXT;
  OPERATION(codeFilterAll)
    r[op->c] = filterOperation<false>(*ws, *op, 7, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilter)
    r[op->c] = filterOperation<true>(*ws, *op, op->byte, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterLow)
    r[op->c] = filterOperation<true>(*ws, *op, 1, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterHigh)
    r[op->c] = filterOperation<true>(*ws, *op, 2, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterBand)
    r[op->c] = filterOperation<true>(*ws, *op, 4, r[op->a]);
    NEXT;
  OPERATION(codeFixedFilterAll)
    r[op->c] = filterOperation<true>(*ws, *op, 7, r[op->a]);
    NEXT;
  OPERATION(codeHoldShaper)
    r[op->c] = holdOperation(*ws, *op, r[op->a]);
    NEXT;
  OPERATION(codeDelayBank)
    r[op->c] = delayOperation<0, true>(program, *op, r[op->a]);
    NEXT;
  OPERATION(codeDelayLine)
    r[op->c] = delayOperation<1, false>(program, *op, r[op->a]);
    NEXT;
  OPERATION(codeDelayBank8)
    r[op->c] = delayOperation<8, false>(program, *op, r[op->a]);
    NEXT;
  OPERATION(codeDelayLineStill)
    r[op->c] = delayOperation<1, false, true>(program, *op, r[op->a]);
    NEXT;
  OPERATION(codeDelayBank8Still)
    r[op->c] = delayOperation<8, false, true>(program, *op, r[op->a]);
    NEXT;
  OPERATION(codeAdd)
    r[op->c] = r[op->a] + r[op->b];
    NEXT;
  OPERATION(codeMultiply)
    r[op->c] = r[op->a] * r[op->b];
    NEXT;
  OPERATION(codeNote)
    r[op->c] = noteValue(note);
    NEXT;
  OPERATION(codeStoreSet)
    storeSetOperation(*ws, *op, r[op->a]);
    NEXT;
  OPERATION(codeStoreAdd)
    storeAddOperation(*ws, *op, r[op->a]);
    NEXT;
  OPERATION(codePan)
    panOperation(*ws, *op, r[op->a], r[op->b], r[op->c]);
    NEXT;
  OPERATION(codeOutput)
    outputOperation(*ws, *op, r[op->a], r[op->b]);
    NEXT;
  OPERATION(codePanOutput)
    panOutputOperation(*ws, *op, r[op->a]);
    NEXT;
  OPERATION(codeAccumulate)
    sumOutputs(memory.workspaces, op->byte, r[op->c], r[op->b]);
    NEXT;
  OPERATION(codeMasterAccumulate)
    masterAccumulateOperation(program, *op, r[op->c], r[op->b]);
    NEXT;
  OPERATION(codeEnd)
    if (instrument < trackCount) {
      finishTrack(memory, instrument, n, logged, sums);
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

// Frames n .. endFrame - 1, each run by Frame, with the output clipped and progress published.
template <void (*Frame)(SynthMemory&, DecodedProgram&, const Song&, std::uint32_t, bool)>
std::uint32_t renderFrames(SynthMemory& memory, DecodedProgram& program, const Song& song,
                           std::uint32_t n, std::uint32_t endFrame) {
  std::atomic_ref<std::uint32_t> published(memory.publishedFrames);
  const InstrumentWorkspace& master = memory.workspaces[trackCount];
  for (; n < endFrame; ++n) {
    Frame(memory, program, song, n, (n + 1) % envelopeLogPeriod == 0 || n + 1 == endFrame);
    memory.soundBuffer[2 * std::size_t{n}] = clipSample(master.mainOut[0]);
    memory.soundBuffer[2 * std::size_t{n} + 1] = clipSample(master.mainOut[1]);
    if ((n + 1) % envelopeLogPeriod == 0) {
      memory.renderPosition = n + 1;
      published.store(n + 1, std::memory_order_release);
    }
  }
  return n;
}

// Whether the compiled song was written for programs of this structure: the same operations,
// registers, slots, lines and store targets, in the same places (their constants may differ; it
// reads them from the operations as the interpreter does).
bool compiledSongFits(const DecodedProgram& program) {
  for (int instrument = 0; instrument < instrumentCount; ++instrument) {
    if (program.sounding[instrument].begin != compiledBegins[2 * instrument] ||
        program.silent[instrument].begin != compiledBegins[2 * instrument + 1]) {
      return false;
    }
  }
  for (int i = 0; i < compiledShapeCount; ++i) {
    if (!(shapeOf(program.operations[i]) == compiledShapes[i])) return false;
  }
  return true;
}

}  // namespace synth::decoded

using namespace synth;
using namespace synth::decoded;

bool renderSongFramesWith(SynthMemory& memory, const Song& song, std::uint32_t endFrame,
                          FrameRunner runner) {
  if (!songIsValid(song)) return false;
  endFrame = std::min(endFrame, songFrames);
  if (memory.renderPosition >= endFrame) return true;
  DecodedProgram program;
  decode(song, memory, program);
  if (memory.noiseSeed == 0) memory.noiseSeed = 1;
  const std::uint32_t n =
      runner == FrameRunner::automatic && compiledSongFits(program)
          ? renderFrames<runCompiledSong>(memory, program, song, memory.renderPosition, endFrame)
          : renderFrames<runFrame>(memory, program, song, memory.renderPosition, endFrame);
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
  std::atomic_ref<std::uint32_t>(memory.publishedFrames).store(n, std::memory_order_release);
  return true;
}

bool compiledSongRuns(const Song& song, SynthMemory& memory) {
  if (!songIsValid(song)) return false;
  DecodedProgram program;
  decode(song, memory, program);
  return compiledSongFits(program);
}

bool renderSongFrames(SynthMemory& memory, const Song& song, std::uint32_t endFrame) {
  return renderSongFramesWith(memory, song, endFrame, FrameRunner::automatic);
}

bool renderSong(SynthMemory& memory, const Song& song) {
  return renderSongFrames(memory, song, songFrames);
}
