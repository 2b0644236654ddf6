#pragma once
// Music time: where the show is in the song. A play position counts sample frames, the pattern
// clock patterns (61,520 frames each), the music clock t 2.5 per pattern; the scene timeline and
// its inverse, the end of the song (t 490), and the constants of the sync rule (updateSync in
// show.h). Written here once: synth/song/measure.py and stems.py keep copies of what they use,
// which tests/host/music_time_test.cpp compares with these. Portable, pure.
#include <cstdint>

#include "synth/timing.h"

inline constexpr float musicTimePerPattern = 2.5f;

// The end of the song: play position songFrames, music time 490.
inline constexpr std::uint32_t lastPlayPosition = songFrames;
inline constexpr double lastMusicTime = songPositions * double{musicTimePerPattern};
static_assert(lastMusicTime == 490.0);

// Scene timeline, in patterns: scene 1 from 0, scene 2 from 32, scenes 3..10 16 patterns each
// from 64, the end scene (11) from 192. Scenes are pipeline indices.
inline constexpr int lastScene = 11;
inline constexpr int secondScenePattern = 32;
inline constexpr int thirdScenePattern = 64;
inline constexpr int middleScenePatterns = 16;
inline constexpr int lastScenePattern = thirdScenePattern + middleScenePatterns * (lastScene - 3);
static_assert(lastScenePattern == 192);

// The sync rule: e grows by d x level x gain of tracks 6, 7 and 8 (d: patterns since the last
// frame); e2 and e3 fall by 22 per pattern and are 1 while a level of their tracks is above 0.7.
struct SyncGain {
  int track;
  float gain;
};
inline constexpr SyncGain phaseGains[] = {{6, 0.7f}, {7, 0.4f}, {8, 0.4f}};
inline constexpr float flashFallPerPattern = 22.0f;
inline constexpr float flashLevel = 0.7f;
inline constexpr int flashTracks2[] = {13, 0};
inline constexpr int flashTracks3[] = {2, 3, 9, 10, 11, 12};

// Play position (sample frames) -> patterns: uint32 -> double -> nearest float, / framesPerPattern
// (61,520) in float.
float patternClockOf(std::uint32_t position);

// 2.5 * patternClock, in float.
float musicTimeOf(float patternClock);

// Music time of a play position in double, for what people read (progress lines, notes).
double musicTimeAt(std::uint32_t position);

// Scene timeline: patterns [0,32) -> 1, [32,64) -> 2, [64,192) -> 3 + trunc((k - 64) / 16), else 11.
int sceneIndexOf(float patternClock);

// Its inverse: the pattern at which scene (1..11; below 1 the first, above 11 the last) starts.
int sceneStartPattern(int sceneIndex);

// The run ends once the queried play position reaches the end of the song.
bool songEnded(std::uint32_t position);

// A count of frames as a play position: clamped to 0 .. 2^32 - 1 (NaN: 0).
std::uint32_t clampedPosition(double frames);

// The play position at which the music clock reads t (2.5 per pattern of 61,520 frames), rounded
// to the nearest frame and clamped to 0 .. 2^32 - 1.
std::uint32_t playPositionAt(double t);

// The same within the song: clamped to 0 .. lastPlayPosition.
std::uint32_t songPositionAt(double t);
