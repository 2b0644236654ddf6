#pragma once
// A small song for the mixer's tests, computed per frame instead of rendered: the left channel
// names its frame (frame / 2^20, exact in a float), the right is a sine, so that a test can tell
// which song frame an output frame came from and measure how smooth the output is.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "player/play_source.h"

struct TestSong {
  std::uint32_t frames = 0;  // the song's length
  double hertz = 220.0;
  float amplitude = 0.5f;
  float leftSign = 1.0f;     // -1: a second song whose left channel differs from the first's
  mutable int reads = 0;            // reads so far
  mutable std::uint32_t readEnd = 0;  // the end of the furthest read

  float left(std::uint32_t frame) const { return leftSign * static_cast<float>(frame) / 1048576.0f; }
  float right(std::uint32_t frame) const {
    return amplitude * static_cast<float>(std::sin(2.0 * 3.141592653589793 * hertz * frame / 44100.0));
  }
  // The largest step of either channel from one frame to the next.
  float maxStep() const {
    return std::max(1.0f / 1048576.0f, amplitude * static_cast<float>(2.0 * 3.141592653589793 * hertz / 44100.0));
  }

  SoundSource source() const {
    SoundSource source;
    source.data = this;
    source.frames = frames;
    source.read = [](const void* data, std::uint32_t first, std::uint32_t count, float* out) {
      const auto* song = static_cast<const TestSong*>(data);
      ++song->reads;
      song->readEnd = std::max(song->readEnd, first + count);
      for (std::uint32_t i = 0; i < count; ++i) {
        out[2 * i] = song->left(first + i);
        out[2 * i + 1] = song->right(first + i);
      }
    };
    return source;
  }
};
