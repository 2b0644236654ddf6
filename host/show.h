#pragma once
// The frame loop's portable arithmetic: the frame update (music clock, sync values, scene) over
// music_time.h, the envelope levels it reads and the shader parameters. Pure functions over plain
// state; no platform calls, no allocation.
#include <cmath>
#include <cstdint>

#include "host/music_time.h"
#include "host/shader_params.h"

struct SynthMemory;

inline constexpr int syncTrackCount = 16;

// Envelope levels of one EnvelopeRecord: level[i] is float 2i of the record (track i's first
// envelope). A record not yet rendered reads as all zeros.
struct EnvelopeLevels {
  float level[syncTrackCount] = {};
};

// The levels that the frame loop reads at play position p from the synthesizer's memory: the
// record p reads (envelopeRecordAt, one acquire), zeros where it is not rendered yet.
EnvelopeLevels songLevelsAt(const SynthMemory& memory, std::uint32_t position);

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

// The sync update of one frame (the rule in music_time.h): e, e2, e3 from
// d = patternClock - lastPatternClock and the levels, then lastPatternClock = patternClock. The
// caller has stored patternClock in the state.
void updateSync(ShowState& state, const EnvelopeLevels& levels);

// One whole frame update for play position p: patternClock, t, sync values, scene.
void advanceFrame(ShowState& state, std::uint32_t position, const EnvelopeLevels& levels);

void writePictureSize(ShaderParams& shaderParams, int width, int height);  // once, before the loop
void writeFrameParams(ShaderParams& shaderParams, const ShowState& state);  // every frame: 0..3

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
