// startAudio and the play position over SDL2 audio: 44,100 Hz stereo float, fed by a callback that
// copies the rendered song as it becomes ready (silence beyond the render's progress and after the
// song's end). Without a working audio device the show runs on a steady clock, silently.
#include <SDL.h>

#include <chrono>
#include <cstdint>

#include "host/platform.h"
#include "host/vulkan/sdl_audio_clock.h"
#include "host/vulkan/sdl_audio_device.h"
#include "synth/synth.h"
#include "synth/timing.h"

namespace {

struct AudioState {
  const SynthMemory* memory = nullptr;
  SDL_AudioDeviceID device = 0;
  std::uint64_t deliveredFrames = 0;  // callback thread only
  AudioClock clock;
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

}  // namespace

namespace platform {

void startAudio(SynthMemory& memory, const Song& song) {
  // The render thread runs on its own from here on; nothing ever waits for it.
  startRenderThread(memory, song);
  audio.memory = &memory;
  audio.clock.endFrame = songFrames;
  audio.clock.framesPerSecond = sampleRate;
  const SdlAudioDevice device = openSdlAudioDevice(fillDeviceBuffer, nullptr, "intro");
  audio.device = device.id;
  audio.clock.bufferedFrames = device.bufferedFrames;
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
