#pragma once
// The audio device the intro and the preview player open alike: 44,100 Hz stereo float, a
// 1,024-frame buffer, fed by a callback on SDL's audio thread. The current driver's default
// output; without one SDL's dummy driver, which plays nothing but consumes the sound at its
// pace so that the clock runs; without even that, none.
#include <SDL.h>

#include <cstdint>

struct SdlAudioDevice {
  SDL_AudioDeviceID id = 0;          // 0: no audio at all
  std::uint32_t bufferedFrames = 0;  // frames the device holds after a callback
};

// Initialises SDL's audio and opens the device, paused (SDL_PauseAudioDevice starts it). Each
// fallback is said on stderr after `program: `.
SdlAudioDevice openSdlAudioDevice(SDL_AudioCallback callback, void* userdata, const char* program);
