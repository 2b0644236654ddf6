#include "show.h"

#include <cstddef>

#include "synth.h"
#include "timing.h"

// Every step below is one single-precision operation stored into a float, in the order the
// loop has always used; keep it that way (no fused or reordered arithmetic).

EnvelopeLevels levelsFromLog(const float* envelopeLog, std::uint32_t recordsAvailable, std::uint32_t index) {
  EnvelopeLevels levels;
  if (envelopeLog == nullptr || index >= recordsAvailable) return levels;
  const float* record = envelopeLog + static_cast<std::size_t>(index) * 32;
  for (int i = 0; i < syncTrackCount; ++i) levels.level[i] = record[2 * i];
  return levels;
}

EnvelopeLevels songLevelsAt(const SynthMemory& memory, std::uint32_t position) {
  EnvelopeLevels levels;
  for (int track = 0; track < syncTrackCount; ++track) levels.level[track] = trackLevel(memory, position, track);
  return levels;
}

float patternClockOf(std::uint32_t position) {
  const double exact = static_cast<double>(position);
  const float rounded = static_cast<float>(exact);
  // framesPerPattern (61,520) is exact in float.
  return rounded / static_cast<float>(framesPerPattern);
}

float musicTimeOf(float patternClock) { return patternClock * 2.5f; }

void updateSync(ShowState& state, const EnvelopeLevels& levels) {
  const float* L = levels.level;
  const float d = state.patternClock - state.lastPatternClock;

  float step = d * L[6];
  step = step * 0.7f;
  state.e = state.e + step;
  step = d * L[7];
  step = step * 0.4f;
  state.e = state.e + step;
  step = d * L[8];
  step = step * 0.4f;
  state.e = state.e + step;

  const float fall = d * 22.0f;
  state.e2 = state.e2 - fall;
  if (!(state.e2 > 0.0f)) state.e2 = 0.0f;
  if (L[13] > 0.7f || L[0] > 0.7f) state.e2 = 1.0f;

  state.e3 = state.e3 - fall;
  if (!(state.e3 > 0.0f)) state.e3 = 0.0f;
  if (L[2] > 0.7f || L[3] > 0.7f || L[9] > 0.7f || L[10] > 0.7f || L[11] > 0.7f || L[12] > 0.7f) state.e3 = 1.0f;

  state.lastPatternClock = state.patternClock;
}

int sceneIndexOf(float patternClock) {
  const float k = patternClock;
  if (k < 32.0f) return 1;
  if (k < 64.0f) return 2;
  if (k < 192.0f) {
    const float since = k - 64.0f;
    const float scenes = since / 16.0f;
    return static_cast<int>(scenes) + 3;
  }
  return 11;
}

bool songEnded(std::uint32_t position) { return position >= songFrames; }

void advanceFrame(ShowState& state, std::uint32_t position, const EnvelopeLevels& levels) {
  state.patternClock = patternClockOf(position);
  state.t = musicTimeOf(state.patternClock);
  updateSync(state, levels);
  state.sceneIndex = sceneIndexOf(state.patternClock);
}

void writePictureSize(float (&shaderParams)[8], int width, int height) {
  shaderParams[4] = static_cast<float>(width);
  shaderParams[5] = static_cast<float>(height);
}

void writeFrameParams(float (&shaderParams)[8], const ShowState& state) {
  shaderParams[0] = state.e;
  shaderParams[1] = state.e2;
  shaderParams[2] = state.e3;
  shaderParams[3] = state.t;
}

namespace {
std::uint32_t clampedPosition(double position) {
  if (!(position >= 0.0)) return 0;
  if (position >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(position);
}
}  // namespace

std::uint32_t playPositionAt(double t) {
  return clampedPosition(std::round(t / 2.5 * static_cast<double>(framesPerPattern)));
}

std::uint32_t framePosition(std::uint64_t frame, double framesPerSecond) {
  return clampedPosition(std::round(static_cast<double>(frame) * static_cast<double>(sampleRate) / framesPerSecond));
}

ShowState songShowStateAt(const SynthMemory& memory, std::uint32_t target, double framesPerSecond) {
  return simulateShow(target, framesPerSecond,
                      [&memory](std::uint32_t position) { return songLevelsAt(memory, position); });
}
