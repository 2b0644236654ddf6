// The preview player's sound on SDL2 (player_backend.h): PlayMixer over the audio device the
// intro opens, or the steady clock without one. The device's callback runs on SDL's audio thread;
// every call here takes the device's lock for a few microseconds.
#include "player/player_backend.h"

#include <SDL.h>

#include <chrono>

#include "host/vulkan/sdl_audio_clock.h"
#include "host/vulkan/sdl_audio_device.h"
#include "player/play_mix.h"
#include "player/play_steady.h"

namespace {

struct PlayAudioState {
  SDL_AudioDeviceID device = 0;
  std::uint32_t bufferedFrames = 0;
  // Shared with the callback: only under the device's lock (SDL holds it around the callback).
  PlayMixer mixer;
  std::int64_t deliveredAtNs = 0;
  // Without a device.
  SteadyTransport steady;
  const SynthMemory* steadySource = nullptr;
};
PlayAudioState state;

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SDLCALL fillDeviceBuffer(void*, Uint8* stream, int length) {
  state.mixer.fill(reinterpret_cast<float*>(stream), static_cast<std::uint32_t>(length) / (2 * sizeof(float)));
  state.deliveredAtNs = nowNs();
}

// The device's lock for one call's duration.
class DeviceLock {
 public:
  DeviceLock() { SDL_LockAudioDevice(state.device); }
  ~DeviceLock() { SDL_UnlockAudioDevice(state.device); }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;
};

// Under the device's lock.
std::uint32_t heardNow() {
  const std::uint64_t heard =
      heardDeviceFrames(state.mixer.deliveredFrames(), state.deliveredAtNs, state.bufferedFrames, nowNs());
  return state.mixer.heardPosition(heard);
}

}  // namespace

namespace player_backend {

bool openSound(const SynthMemory* memory) {
  closeSound();
  state.mixer.reset(synthSoundSource(memory));
  state.deliveredAtNs = 0;
  state.steadySource = memory;
  const SdlAudioDevice device = openSdlAudioDevice(fillDeviceBuffer, nullptr, "intro-tool play");
  state.device = device.id;
  state.bufferedFrames = device.bufferedFrames;
  // Running from the start: while paused the mixer gives silence, and the device's count of
  // frames never stops, so that every command maps onto one continuous count.
  if (state.device != 0) SDL_PauseAudioDevice(state.device, 0);
  return hasSoundDevice();
}

void closeSound() {
  if (state.device != 0) {
    SDL_CloseAudioDevice(state.device);  // waits for the audio thread
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  state.device = 0;
  state.bufferedFrames = 0;
  state.mixer.reset(SoundSource{});
  state.steady = SteadyTransport();
  state.steadySource = nullptr;
}

void playSound(std::uint32_t position) {
  if (state.device == 0) {
    state.steady.play(position, nowNs());
    return;
  }
  DeviceLock lock;
  state.mixer.play(position);
}

void pauseSound() {
  if (state.device == 0) {
    state.steady.pause(nowNs());
    return;
  }
  DeviceLock lock;
  // Where the listener is, not where the device's buffers have got to: the picture stops there.
  state.mixer.pauseAt(heardNow());
}

void seekSound(std::uint32_t position) {
  if (state.device == 0) {
    state.steady.seek(position, nowNs());
    return;
  }
  DeviceLock lock;
  state.mixer.seek(position);
}

void setSoundSource(const SynthMemory* memory) {
  state.steadySource = memory;
  if (state.device == 0) return;
  DeviceLock lock;
  state.mixer.setSource(synthSoundSource(memory));
}

bool soundReads(const SynthMemory* memory) {
  if (state.device == 0) return memory != nullptr && memory == state.steadySource;
  DeviceLock lock;
  return state.mixer.reads(memory);
}

std::uint32_t heardPosition() {
  if (state.device == 0) return state.steady.position(nowNs());
  DeviceLock lock;
  return heardNow();
}

bool soundPlaying() {
  if (state.device == 0) return state.steady.playing();
  DeviceLock lock;
  return state.mixer.playing();
}

bool hasSoundDevice() { return state.device != 0; }

}  // namespace player_backend
