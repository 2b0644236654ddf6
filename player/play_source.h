#pragma once
// A song the preview player's mixer reads: any object that can copy stereo frames, so that the
// mixer plays a synthesizer's memory while its song is rendered and tests play a small signal.
#include <cstdint>

struct SynthMemory;

struct SoundSource {
  // Copies frameCount stereo frames (2 floats each) from firstFrame into out; frames it does not
  // hold yet read as zero. Called on the audio thread: no allocation, no waiting.
  using Reader = void (*)(const void* data, std::uint32_t firstFrame, std::uint32_t frameCount, float* out);

  const void* data = nullptr;  // what read reads; also the source's identity
  Reader read = nullptr;       // null: a silent source
  std::uint32_t frames = 0;    // the song's length: from here on silence, never read
};

// memory's rendered song (frames not rendered yet are silence), songFrames long; null memory
// gives a silent source of the same length.
SoundSource synthSoundSource(const SynthMemory* memory);
