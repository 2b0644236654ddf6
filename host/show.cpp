#include "host/show.h"

#include <cstddef>

#include "synth/synth.h"
#include "synth/timing.h"

// Every step below is one single-precision operation stored into a float, in the order the
// loop has always used; keep it that way (no fused or reordered arithmetic).

EnvelopeLevels songLevelsAt(const SynthMemory& memory, std::uint32_t position) {
  EnvelopeLevels levels;
  const EnvelopeRecord* record = envelopeRecordAt(memory, position);
  if (record == nullptr) return levels;
  for (int i = 0; i < syncTrackCount; ++i) levels.level[i] = record->level[2 * i];
  return levels;
}

void updateSync(ShowState& state, const EnvelopeLevels& levels) {
  const float* L = levels.level;
  const float d = state.patternClock - state.lastPatternClock;

  for (const SyncGain& phase : phaseGains) {
    float step = d * L[phase.track];
    step = step * phase.gain;
    state.e = state.e + step;
  }

  const float fall = d * flashFallPerPattern;
  state.e2 = state.e2 - fall;
  if (!(state.e2 > 0.0f)) state.e2 = 0.0f;
  for (int track : flashTracks2) {
    if (L[track] > flashLevel) state.e2 = 1.0f;
  }

  state.e3 = state.e3 - fall;
  if (!(state.e3 > 0.0f)) state.e3 = 0.0f;
  for (int track : flashTracks3) {
    if (L[track] > flashLevel) state.e3 = 1.0f;
  }

  state.lastPatternClock = state.patternClock;
}

void advanceFrame(ShowState& state, std::uint32_t position, const EnvelopeLevels& levels) {
  state.patternClock = patternClockOf(position);
  state.t = musicTimeOf(state.patternClock);
  updateSync(state, levels);
  state.sceneIndex = sceneIndexOf(state.patternClock);
}

void writePictureSize(ShaderParams& shaderParams, int width, int height) {
  shaderParams.x = static_cast<float>(width);
  shaderParams.y = static_cast<float>(height);
}

void writeFrameParams(ShaderParams& shaderParams, const ShowState& state) {
  shaderParams.e = state.e;
  shaderParams.e2 = state.e2;
  shaderParams.e3 = state.e3;
  shaderParams.t = state.t;
}

std::uint32_t framePosition(std::uint64_t frame, double framesPerSecond) {
  return clampedPosition(std::round(static_cast<double>(frame) * static_cast<double>(sampleRate) / framesPerSecond));
}

ShowState songShowStateAt(const SynthMemory& memory, std::uint32_t target, double framesPerSecond) {
  return simulateShow(target, framesPerSecond,
                      [&memory](std::uint32_t position) { return songLevelsAt(memory, position); });
}
