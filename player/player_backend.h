#pragma once
// What the preview player needs of a back end beyond platform.h (whose window, device, shaders
// and frames it uses as the intro does): the window as a tool window, its keys, pipelines rebuilt
// beside the frames, and a sound that plays from any position. Plain functions, on the frame
// thread unless said otherwise; Linux implements them beside the intro's back end (host/vulkan/,
// target player_backend).
#include <cstddef>
#include <cstdint>
#include <string>

#include "player/play_keys.h"

struct SynthMemory;

namespace player_backend {

// Window, after platform::createWindow.

// Makes the window a tool window (a frame with its title, centred on its screen, the cursor
// shown) and starts taking its keys. False when there is no window (no display).
bool takeWindow();
// The window's title (the player's status line).
void setWindowTitle(const char* title);
// The refresh rate of the window's screen in frames per second; 60 when the screen does not say.
int windowRefreshRate();
// Keys pressed (auto-repeats included) since the last call, oldest first, at most max; the
// window's close button counts as Escape.
int takeKeys(Key* keys, int max);
// Whether the window was uncovered (its picture may be lost) since the last call.
bool takeWindowExposed();

// Pipelines, after platform::createDevice.

// On any one thread at a time, beside the frames: builds the twelve entry points of text (length
// bytes) into a set held for installPipelines. The pipelines in use stay as they are; on failure
// nothing is held and message says why (the compiler's message, "intro.hlsl:LINE: error: ...",
// or the call that failed).
bool buildPipelines(const char* text, std::size_t length, std::string& message);
// Between frames, after a build succeeded: its pipelines draw from the next frame on, the ones
// they replace are destroyed. Nothing held does nothing. A failure of the device ends the run as
// a failed frame does.
void installPipelines();

// Sound: a rendered song played from any position, paused, sought and swapped for a newly
// rendered one at the current position, without clicks. Commands are heard from the device's next
// buffer on; heardPosition() reports a new position at once. Without any audio device the same
// calls run on a steady clock, silently.

// Opens the audio device (the intro's choice of driver, with its fallbacks) and starts it,
// paused at position 0 on memory's song (null: silence). Returns hasSoundDevice(). The memory is
// read while its song renders (frames not rendered yet play as silence). A second open closes the
// first.
bool openSound(const SynthMemory* memory);
// Stops and closes the device; from its return on nothing is read from any source. Everything is
// then as before openSound: paused at 0, no device, no source.
void closeSound();

// Plays from position (song frames, clamped to the song's length), fading in from what was heard.
void playSound(std::uint32_t position);
// Fades out; the position holds where the listener is now.
void pauseSound();
// Moves to position: plays on from there if playing, holds there if paused.
void seekSound(std::uint32_t position);

// Plays memory's song instead of the current one, from the current position (a crossfade while
// playing; null: silence). The old memory is still read until soundReads(old) returns false, at
// the latest when the device's next buffer has been filled: keep it alive until then.
void setSoundSource(const SynthMemory* memory);
// Whether memory may still be read: it is the current source, or one still fading out.
bool soundReads(const SynthMemory* memory);

// The song frame the listener hears now: a new command's target until its sound is heard, the
// held position while paused, never past the song's end; never backwards except by a command.
std::uint32_t heardPosition();
// Whether the last command asked to play (still true after the song's end).
bool soundPlaying();
// Whether a device (a real one or SDL's dummy driver) consumes the sound.
bool hasSoundDevice();

}  // namespace player_backend
