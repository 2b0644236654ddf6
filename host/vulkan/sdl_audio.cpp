// startAudio and the play position over SDL2 audio: 44,100 Hz stereo float, fed by a callback that
// copies the rendered song as it becomes ready (silence beyond the render's progress and after the
// song's end). Without a working audio device the show runs on a steady clock, silently.
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "platform.h"
#include "sdl_play_clock.h"
#include "synth.h"
#include "timing.h"

namespace {

constexpr int deviceBufferFrames = 1024;  // about 23 ms

struct AudioState {
  const SynthMemory* memory = nullptr;
  SDL_AudioDeviceID device = 0;
  std::uint64_t deliveredFrames = 0;  // callback thread only
  PlayClock clock;
  bool playing = false;            // a device runs the callback
  std::int64_t steadyStartNs = 0;  // the clock without a device
};
AudioState audio;

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SDLCALL fillDeviceBuffer(void*, Uint8* stream, int length) {
  auto* out = reinterpret_cast<float*>(stream);
  const auto frames = static_cast<std::uint32_t>(length) / (2 * sizeof(float));
  const std::uint64_t first = audio.deliveredFrames;
  // Frames past the song are silence; the count keeps growing so that the clock reaches the end.
  const std::uint32_t start = first < songFrames ? static_cast<std::uint32_t>(first) : songFrames;
  copySoundFrames(*audio.memory, start, frames, out);
  audio.deliveredFrames = first + frames;
  audio.clock.delivered(audio.deliveredFrames, nowNs());
}

// Opens the default output device of the current driver; 0 if there is none.
SDL_AudioDeviceID openDevice() {
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(sampleRate);
  wanted.format = AUDIO_F32SYS;
  wanted.channels = 2;
  wanted.samples = deviceBufferFrames;
  wanted.callback = fillDeviceBuffer;
  SDL_AudioSpec obtained{};
  // No changes allowed: SDL converts to whatever the hardware wants behind the callback.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device != 0) audio.clock.bufferedFrames = obtained.samples;
  return device;
}

SDL_AudioDeviceID openAnyDevice() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // as for the window: signals end the process
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    if (const SDL_AudioDeviceID device = openDevice()) return device;
    std::fprintf(stderr, "intro: no audio device (%s); trying the dummy driver\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  } else {
    std::fprintf(stderr, "intro: no audio (%s); trying the dummy driver\n", SDL_GetError());
  }
  // The dummy driver plays nothing but consumes the sound at its pace, so the show keeps its clock.
  SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    if (const SDL_AudioDeviceID device = openDevice()) return device;
  }
  std::fprintf(stderr, "intro: no audio at all (%s); the show runs silently on a steady clock\n", SDL_GetError());
  return 0;
}

}  // namespace

namespace platform {

void startAudio(SynthMemory& memory, const Song& song) {
  // The render thread runs on its own from here on; nothing ever waits for it.
  startRenderThread(memory, song);
  audio.memory = &memory;
  audio.clock.endFrame = songFrames;
  audio.clock.framesPerSecond = sampleRate;
  audio.device = openAnyDevice();
  audio.steadyStartNs = nowNs();
  if (audio.device != 0) {
    audio.playing = true;
    SDL_PauseAudioDevice(audio.device, 0);
  }
}

std::uint32_t playPosition() {
  if (audio.playing) return audio.clock.position(nowNs());
  if (audio.memory == nullptr) return 0;  // before startAudio
  return steadyPosition(audio.steadyStartNs, nowNs(), sampleRate, songFrames);
}

}  // namespace platform
