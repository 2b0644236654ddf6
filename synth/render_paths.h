#pragma once
// The two ways the render driver runs frames, for the tests: the compiled song, where it fits
// the song's programs, and the interpreter, which runs any song.
#include <cstdint>

#include "synth/synth.h"

enum class FrameRunner {
  automatic,    // the compiled song where it fits, else the interpreter (what renderSong does)
  interpreter,  // the interpreter always
};

// As renderSongFrames, with frames run as `runner` says.
bool renderSongFramesWith(SynthMemory& memory, const Song& song, std::uint32_t endFrame,
                          FrameRunner runner);

// Whether a render of `song` from `memory` as it is now would run the compiled song (false for
// an invalid song). Decodes the song; leaves `memory` as it is.
bool compiledSongRuns(const Song& song, SynthMemory& memory);
