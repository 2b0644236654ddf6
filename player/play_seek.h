#pragma once
// Where the preview player's keys move the show: pattern steps, scene jumps, home and single
// frames, on play positions (sample frames) from 0 to the end of the song (music time 0 to 490).
// Pure arithmetic over music time's timeline; no platform calls.
#include <cstdint>

#include "host/music_time.h"
#include "player/play_keys.h"

// Where key moves the show from position (a frame at framesPerSecond: steps land on that rate's
// frame grid, framePosition(k)). Keys that do not move it (pause, quit, frame steps while playing)
// give position back unchanged.
std::uint32_t seekTarget(PlayKey key, std::uint32_t position, bool paused, double framesPerSecond);

// The frame grid's step next to position: the first frame position above it (ahead) or the last
// below it (back), clamped to 0 .. lastPlayPosition.
std::uint32_t frameStep(std::uint32_t position, double framesPerSecond, bool ahead);
