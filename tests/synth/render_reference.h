#pragma once
// The straightforward render, the tests' oracle (not part of the synth library): the dispatcher
// reads every opcode and parameter byte of every instrument in every frame, `loadParams` fills
// `paramScratch`, and each unit derives its constants from it on the spot. Slow, and the
// yardstick the decoded render (renderSong) must match bit for bit.
#include <cstdint>

#include "synth/synth.h"

// As renderSongFrames, through the straightforward dispatcher.
bool renderSongFramesReference(SynthMemory& memory, const Song& song, std::uint32_t endFrame);
