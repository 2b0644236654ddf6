#include "player/play_source.h"

#include "synth/synth.h"
#include "synth/timing.h"

namespace {

void readSynthMemory(const void* data, std::uint32_t firstFrame, std::uint32_t frameCount, float* out) {
  copySoundFrames(*static_cast<const SynthMemory*>(data), firstFrame, frameCount, out);
}

}  // namespace

SoundSource synthSoundSource(const SynthMemory* memory) {
  SoundSource source;
  source.data = memory;
  source.read = memory != nullptr ? readSynthMemory : nullptr;
  source.frames = songFrames;
  return source;
}
