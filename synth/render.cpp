// Render driver (placeholder until the units land: publishes silence).
#include <algorithm>
#include <atomic>

#include "synth.h"

bool renderSongFrames(SynthMemory& memory, const Song&, std::uint32_t endFrame) {
  endFrame = std::min(endFrame, songFrames);
  if (memory.renderPosition < endFrame) memory.renderPosition = endFrame;
  std::atomic_ref<std::uint32_t>(memory.publishedFrames)
      .store(memory.renderPosition, std::memory_order_release);
  return true;
}

bool renderSong(SynthMemory& memory, const Song& song) {
  return renderSongFrames(memory, song, songFrames);
}
