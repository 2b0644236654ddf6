#pragma once
// The frame loop's portable arithmetic: music clock, sync values, scene timeline, end test and
// the shader parameters. Pure functions over plain state; no platform calls, no allocation.
#include <cmath>
#include <cstdint>

struct SynthMemory;

inline constexpr int syncTrackCount = 16;

// Envelope levels of one EnvelopeRecord: level[i] is float 2i of the record (track i's first
// envelope). A record not yet rendered reads as all zeros.
struct EnvelopeLevels {
  float level[syncTrackCount] = {};
};

// The levels of record `index` of an envelope log of 32 floats per record. Records at or beyond
// recordsAvailable (not yet rendered, or past the log) read as zeros.
EnvelopeLevels levelsFromLog(const float* envelopeLog, std::uint32_t recordsAvailable, std::uint32_t index);

// The levels that the frame loop reads at play position p from the synthesizer's memory (the
// first envelope of each track; zeros where the song is not rendered yet).
EnvelopeLevels songLevelsAt(const SynthMemory& memory, std::uint32_t position);

// The record that play position p reads: p >> 8.
inline constexpr std::uint32_t envelopeRecordOf(std::uint32_t position) { return position >> 8; }

// Loop state, zero at the start of the run.
struct ShowState {
  float e = 0.0f;                 // phase driven by instruments 6, 7, 8; never decreases
  float e2 = 0.0f;                // flash from instruments 13 and 0
  float e3 = 0.0f;                // flash from instruments 2, 3, 9, 10, 11, 12
  float t = 0.0f;                 // 2.5 per pattern
  float patternClock = 0.0f;      // play position in patterns, this frame
  float lastPatternClock = 0.0f;  // the previous frame's, 0 before the first frame
  int sceneIndex = 1;             // pipeline index of this frame's scene, 1..11
};

// Play position (sample frames) -> patterns: uint32 -> double -> nearest float, / framesPerPattern
// (61,520) in float.
float patternClockOf(std::uint32_t position);

// 2.5 * patternClock, in float.
float musicTimeOf(float patternClock);

// The sync update of one frame: e, e2, e3 from d = patternClock - lastPatternClock and the levels,
// then lastPatternClock = patternClock. The caller has stored patternClock in the state.
void updateSync(ShowState& state, const EnvelopeLevels& levels);

// Scene timeline: patterns [0,32) -> 1, [32,64) -> 2, [64,192) -> 3 + trunc((k - 64) / 16), else 11.
int sceneIndexOf(float patternClock);

// The run ends once the queried play position reaches the end of the song.
bool songEnded(std::uint32_t position);

// One whole frame update for play position p: patternClock, t, sync values, scene.
void advanceFrame(ShowState& state, std::uint32_t position, const EnvelopeLevels& levels);

// shaderParams: e, e2, e3, t, x, y, 0, 0.
void writePictureSize(float (&shaderParams)[8], int width, int height);  // once, before the loop
void writeFrameParams(float (&shaderParams)[8], const ShowState& state);  // every frame: 0..3

// The play position at which the music clock reads t (2.5 per pattern of 61,520 frames), rounded
// to the nearest frame and clamped to 0 .. 2^32 - 1.
std::uint32_t playPositionAt(double t);

// Play position of frame k of a fixed-rate loop: round(k * 44100 / framesPerSecond).
std::uint32_t framePosition(std::uint64_t frame, double framesPerSecond);

// Runs the loop's update as a steady framesPerSecond loop would up to targetPosition: one frame
// at each framePosition below targetPosition, then a last frame at targetPosition itself.
// levelsAt(position) gives the levels of the record that position reads.
template <class LevelsAt>
ShowState simulateShow(std::uint32_t targetPosition, double framesPerSecond, LevelsAt&& levelsAt) {
  ShowState state;
  for (std::uint64_t k = 0; framesPerSecond > 0.0; ++k) {
    const std::uint32_t position = framePosition(k, framesPerSecond);
    if (position >= targetPosition) break;
    advanceFrame(state, position, levelsAt(position));
  }
  advanceFrame(state, targetPosition, levelsAt(targetPosition));
  return state;
}

// e, e2, e3, t and scene as the intro's loop, running at framesPerSecond from the start of the
// song, has them at play position target (the last frame lands exactly on target), with the
// levels of the song rendered into memory.
ShowState songShowStateAt(const SynthMemory& memory, std::uint32_t target, double framesPerSecond);
