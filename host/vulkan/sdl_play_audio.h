#pragma once
// The preview player's sound on SDL2: plays a rendered song from any position, pauses, seeks and
// swaps in a newly rendered song at the current position, without clicks (PlayMixer's short
// crossfades), and reports the song position the listener hears, the player's only clock.
//
// Main thread only (one caller); the device's callback runs on SDL's audio thread, and every call
// here takes the device's lock for a few microseconds. Commands are heard from the device's next
// buffer on (about 23 ms); position() reports a new position at once. Without any audio device
// (not even SDL's dummy driver) the same calls run on a steady clock, silently.
#include <cstdint>

struct SynthMemory;

namespace play_audio {

// Opens the audio device (the intro's choice of driver, with its dummy fallback) and starts it,
// paused at position 0 on memory's song (null: silence). Returns hasDevice(). The memory is read
// while its song renders (frames not rendered yet play as silence). A second open closes the
// first.
bool open(const SynthMemory* memory);

// Stops and closes the device; from its return on nothing is read from any source. Everything is
// then as before open: paused at 0, no device, no source.
void close();

// Plays from position (song frames, clamped to the song's length), fading in from what was heard.
void play(std::uint32_t position);
// Fades out; the position holds where the listener is now.
void pause();
// Moves to position: plays on from there if playing, holds there if paused.
void seek(std::uint32_t position);

// Plays memory's song instead of the current one, from the current position (a crossfade while
// playing; null: silence). The old memory is still read until reads(old) returns false, at the
// latest when the device's next buffer has been filled (the fade is shorter than a buffer):
// keep it alive until then.
void setSource(const SynthMemory* memory);
// Whether memory may still be read: it is the current source, or one still fading out.
bool reads(const SynthMemory* memory);

// The song frame the listener hears now: a new command's target until its sound is heard, the
// held position while paused, never past the song's end; never backwards except by a command.
std::uint32_t position();
// Whether the last command asked to play (still true after the song's end).
bool playing();
// Whether a device (a real one or SDL's dummy driver) consumes the sound.
bool hasDevice();

}  // namespace play_audio
