// Work memory and its readers: the frame count the render thread publishes, the sound frames
// and envelope records below it.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include "synth/synth.h"

void SynthMemoryDeleter::operator()(SynthMemory* memory) const noexcept { std::free(memory); }

SynthMemoryPtr allocateSynthMemory() {
  void* block = std::calloc(1, sizeof(SynthMemory));
  if (block == nullptr) throw std::bad_alloc();
  return SynthMemoryPtr(static_cast<SynthMemory*>(block));
}

std::uint32_t renderedFrames(const SynthMemory& memory) {
  // atomic_ref needs a non-const object; the load does not modify it.
  auto& count = const_cast<std::uint32_t&>(memory.publishedFrames);
  return std::atomic_ref<std::uint32_t>(count).load(std::memory_order_acquire);
}

const EnvelopeRecord* envelopeRecordAt(const SynthMemory& memory, std::uint32_t playPosition) {
  if (playPosition >= songFrames) return nullptr;
  const std::uint32_t record = envelopeRecordOf(playPosition);
  const std::uint32_t blockEnd = std::min((record + 1) * envelopeLogPeriod, songFrames);
  if (renderedFrames(memory) < blockEnd) return nullptr;
  return &memory.envelopeLog[record];
}

std::uint32_t copySoundFrames(const SynthMemory& memory, std::uint32_t firstFrame,
                              std::uint32_t frameCount, float* out) {
  const std::uint32_t ready = renderedFrames(memory);
  std::uint32_t available = 0;
  if (firstFrame < ready) available = std::min(frameCount, ready - firstFrame);
  if (available > 0) {
    std::memcpy(out, memory.soundBuffer + std::size_t{2} * firstFrame,
                sizeof(float) * 2 * std::size_t{available});
  }
  std::fill(out + std::size_t{2} * available, out + std::size_t{2} * frameCount, 0.0f);
  return available;
}

bool startRenderThread(SynthMemory& memory, const Song& song) {
  std::atomic_ref<std::uint32_t> started(memory.renderThreadStarted);
  if (started.exchange(1, std::memory_order_acq_rel) != 0) return true;
  try {
    std::thread([&memory, &song] { renderSong(memory, song); }).detach();
  } catch (const std::system_error&) {
    started.store(0, std::memory_order_release);
    return false;
  }
  return true;
}
