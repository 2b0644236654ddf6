// The render driver: both render paths agree, determinism, note rules, the log, publication.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render_reference.h"
#include "song_builder.h"
#include "song_check.h"
#include "synth.h"

namespace {

// Frames to render in tests: enough for notes, releases, echoes and several log records, short
// enough for a sanitizer build.
constexpr std::uint32_t shortStretch = 3 * framesPerTick + 700;

bool sameBytes(const void* a, const void* b, std::size_t size) { return std::memcmp(a, b, size) == 0; }

void expectSameState(const SynthMemory& a, const SynthMemory& b, std::uint32_t frames) {
  EXPECT_TRUE(sameBytes(a.soundBuffer, b.soundBuffer, sizeof(float) * 2 * frames));
  EXPECT_TRUE(sameBytes(a.envelopeLog, b.envelopeLog, sizeof(EnvelopeRecord) * (frames / 256 + 1)));
  EXPECT_TRUE(sameBytes(a.workspaces, b.workspaces, sizeof a.workspaces));
  EXPECT_TRUE(sameBytes(a.paramScratch, b.paramScratch, sizeof a.paramScratch));
  EXPECT_EQ(a.delayCursor, b.delayCursor);
  EXPECT_EQ(a.noiseSeed, b.noiseSeed);
  for (int line = 0; line < 64; ++line) {
    EXPECT_TRUE(sameBytes(&a.delayPool[line], &b.delayPool[line], sizeof(DelayLine))) << line;
  }
  EXPECT_EQ(renderedFrames(a), renderedFrames(b));
}

TEST(MixSong, IsValid) {
  const SongBuilder mix = makeMixSong();
  for (const SongProblem& problem : checkSong(mix.song())) ADD_FAILURE() << describe(problem);
}

TEST(RenderPaths, DecodedRenderMatchesTheDispatcherBitForBit) {
  const SongBuilder mix = makeMixSong();
  SynthMemoryPtr fast = allocateSynthMemory(), reference = allocateSynthMemory();
  // In uneven pieces, so that resuming mid-tick and mid-block is covered too.
  for (std::uint32_t end : {1000u, 3845u, 5000u, shortStretch}) {
    ASSERT_TRUE(renderSongFrames(*fast, mix.song(), end));
    ASSERT_TRUE(renderSongFramesReference(*reference, mix.song(), end));
  }
  expectSameState(*fast, *reference, shortStretch);
  // The stretch is not silence, else the comparison proves little.
  float loudest = 0;
  for (std::uint32_t i = 0; i < 2 * shortStretch; ++i) loudest = std::max(loudest, std::fabs(fast->soundBuffer[i]));
  EXPECT_GT(loudest, 0.01f);
}

TEST(RenderPaths, SameSongTwiceGivesIdenticalBits) {
  const SongBuilder mix = makeMixSong();
  SynthMemoryPtr first = allocateSynthMemory(), second = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*first, mix.song(), shortStretch));
  ASSERT_TRUE(renderSongFrames(*second, mix.song(), shortStretch));
  expectSameState(*first, *second, shortStretch);
}

}  // namespace
