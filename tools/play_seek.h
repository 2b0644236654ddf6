#pragma once
// Where the preview player's keys move the show: pattern steps, scene jumps, home and single
// frames, on play positions (sample frames) from 0 to the end of the song (music time 0 to 490).
// Pure arithmetic over the frame loop's timeline; no platform calls.
#include <cstdint>

#include "timing.h"

enum class PlayKey {
  none,
  pause,          // Space: pause or resume
  patternBack,    // Left: one pattern (2.5 in t) back
  patternAhead,   // Right: one pattern ahead
  previousScene,  // Page Up: the start of the scene before this one
  nextScene,      // Page Down: the start of the next scene
  home,           // Home: back to 0
  frameBack,      // comma: one frame back (while paused)
  frameAhead,     // period: one frame ahead (while paused)
  quit,           // Escape, or the window closed
};

// The last play position the player shows: the end of the song, music time 490.
inline constexpr std::uint32_t lastPlayPosition = songFrames;

// Music time t as a play position, clamped to 0 .. lastPlayPosition.
std::uint32_t playPositionOfTime(double t);

// The scene windows of the timeline, in patterns: scene s (pipeline 1..11) starts at
// sceneStartPattern(s).
int sceneStartPattern(int sceneIndex);

// Where key moves the show from position (a frame at framesPerSecond: steps land on that rate's
// frame grid, framePosition(k)). Keys that do not move it (pause, quit, frame steps while playing)
// give position back unchanged.
std::uint32_t seekTarget(PlayKey key, std::uint32_t position, bool paused, double framesPerSecond);

// The frame grid's step next to position: the first frame position above it (ahead) or the last
// below it (back), clamped to 0 .. lastPlayPosition.
std::uint32_t frameStep(std::uint32_t position, double framesPerSecond, bool ahead);
