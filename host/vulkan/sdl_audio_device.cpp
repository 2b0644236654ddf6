#include "host/vulkan/sdl_audio_device.h"

#include <cstdio>

#include "synth/timing.h"

namespace {

constexpr int deviceBufferFrames = 1024;  // about 23 ms

// The default output device of the current driver; id 0 if there is none.
SdlAudioDevice openDefault(SDL_AudioCallback callback, void* userdata) {
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(sampleRate);
  wanted.format = AUDIO_F32SYS;
  wanted.channels = 2;
  wanted.samples = deviceBufferFrames;
  wanted.callback = callback;
  wanted.userdata = userdata;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts to whatever the hardware wants behind the callback.
  SdlAudioDevice device;
  device.id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device.id != 0) device.bufferedFrames = obtained.samples;
  return device;
}

}  // namespace

SdlAudioDevice openSdlAudioDevice(SDL_AudioCallback callback, void* userdata, const char* program) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // as for the window: signals end the process
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    const SdlAudioDevice device = openDefault(callback, userdata);
    if (device.id != 0) return device;
    std::fprintf(stderr, "%s: no audio device (%s); trying the dummy driver\n", program, SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  } else {
    std::fprintf(stderr, "%s: no audio (%s); trying the dummy driver\n", program, SDL_GetError());
  }
  // The dummy driver plays nothing but consumes the sound at its pace, so the show keeps its clock.
  SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    const SdlAudioDevice device = openDefault(callback, userdata);
    if (device.id != 0) return device;
  }
  std::fprintf(stderr, "%s: no audio at all (%s); the show runs silently on a steady clock\n", program,
               SDL_GetError());
  return SdlAudioDevice{};
}
