#pragma once
// Comparing what two renders leave behind, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "synth/synth.h"

inline bool sameBytes(const void* a, const void* b, std::size_t size) {
  return std::memcmp(a, b, size) == 0;
}

// The first `frames` of sound and their log records, the workspaces, scratch, noise seed, the
// delay lines in use (at least 64) and the published count.
inline void expectSameState(const SynthMemory& a, const SynthMemory& b, std::uint32_t frames) {
  EXPECT_TRUE(sameBytes(a.soundBuffer, b.soundBuffer, sizeof(float) * 2 * frames));
  EXPECT_TRUE(sameBytes(a.envelopeLog, b.envelopeLog, sizeof(EnvelopeRecord) * (frames / 256 + 1)));
  EXPECT_TRUE(sameBytes(a.workspaces, b.workspaces, sizeof a.workspaces));
  EXPECT_TRUE(sameBytes(a.paramScratch, b.paramScratch, sizeof a.paramScratch));
  EXPECT_EQ(a.delayCursor, b.delayCursor);
  EXPECT_EQ(a.noiseSeed, b.noiseSeed);
  const std::uint32_t lines = std::max<std::uint32_t>(a.delayCursor, 64);
  for (std::uint32_t line = 0; line < lines; ++line) {
    EXPECT_TRUE(sameBytes(&a.delayPool[line], &b.delayPool[line], sizeof(DelayLine))) << line;
  }
  EXPECT_EQ(renderedFrames(a), renderedFrames(b));
}
