// The intro's audio clock, shared by the audio callback and the frame loop, and the estimate of
// what a listener has heard that it shares with the preview player's sound.
#include "host/vulkan/sdl_audio_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <thread>

namespace {

constexpr std::int64_t ms = 1'000'000;
constexpr std::uint32_t songEnd = 12'057'920;

void configure(AudioClock& clock, std::uint32_t buffered) {
  clock.bufferedFrames = buffered;
  clock.endFrame = songEnd;
  clock.framesPerSecond = 44100;
}

TEST(AudioClock, StaysAtZeroBeforeTheFirstCallback) {
  AudioClock clock;
  configure(clock, 1024);
  EXPECT_EQ(clock.position(0), 0u);
  EXPECT_EQ(clock.position(5000 * ms), 0u);
}

TEST(AudioClock, SubtractsTheDeviceBufferAndAddsTheTimeSinceTheCallback) {
  AudioClock clock;
  configure(clock, 1024);
  clock.delivered(4096, 1000 * ms);
  EXPECT_EQ(clock.position(1000 * ms), 4096u - 1024u);
  // 10 ms later: 441 frames more.
  EXPECT_EQ(clock.position(1010 * ms), 4096u - 1024u + 441u);
  // 20 ms later: 882 frames more.
  EXPECT_EQ(clock.position(1020 * ms), 4096u - 1024u + 882u);
}

TEST(AudioClock, NeverPassesWhatWasDelivered) {
  AudioClock clock;
  configure(clock, 1024);
  clock.delivered(2048, 0);
  EXPECT_EQ(clock.position(10'000 * ms), 2048u);
}

TEST(AudioClock, NeverGoesBackwards) {
  // A device holding two callbacks' worth of frames; the second callback comes late.
  AudioClock clock;
  configure(clock, 2048);
  clock.delivered(3072, 0);
  const std::uint32_t early = clock.position(40 * ms);
  EXPECT_EQ(early, 1024u + 1764u);
  clock.delivered(4096, 40 * ms);  // its own estimate now is 2048, below what was returned
  EXPECT_EQ(clock.position(40 * ms), early);
  EXPECT_EQ(clock.position(60 * ms), 2048u + 882u);
  // A reading taken with a time earlier than the callback's does not go back either.
  EXPECT_EQ(clock.position(0), 2048u + 882u);
}

TEST(AudioClock, ShortStartBufferCountsFromZero) {
  // A first callback that delivers less than the device buffer: nothing has been heard yet.
  AudioClock clock;
  configure(clock, 1024);
  clock.delivered(512, 0);
  EXPECT_EQ(clock.position(0), 0u);
  EXPECT_EQ(clock.position(1 * ms), 44u);
}

TEST(AudioClock, StopsAtTheEndOfTheSong) {
  AudioClock clock;
  configure(clock, 1024);
  clock.delivered(songEnd + 4096, 0);
  EXPECT_EQ(clock.position(0), songEnd);
  EXPECT_EQ(clock.position(1000 * ms), songEnd);
  clock.delivered(songEnd - 8192, 0);  // cannot happen; still clamped and monotonic
  EXPECT_EQ(clock.position(0), songEnd);
}

TEST(AudioClock, ReachesTheEndWhileTheDeviceDeliversSilence) {
  // Callbacks keep coming after the song; the position must arrive at the end, not hover below it.
  AudioClock clock;
  configure(clock, 1024);
  std::uint64_t delivered = 0;
  std::int64_t now = 0;
  std::uint32_t position = 0;
  while (delivered < songEnd + 8192) {
    delivered += 1024;
    now += 1024 * 1'000'000'000LL / 44100;
    clock.delivered(delivered, now);
    position = clock.position(now);
  }
  EXPECT_EQ(position, songEnd);
}

TEST(AudioClock, LongGapsDoNotOverflow) {
  AudioClock clock;
  configure(clock, 0);
  clock.delivered(songEnd, 0);
  EXPECT_EQ(clock.position(INT64_MAX), songEnd);
}

TEST(AudioClock, HeardDeviceFramesOutlastThirtyTwoBitsAndLongGaps) {
  // A reading taken before the callback's own time counts no time since it.
  EXPECT_EQ(heardDeviceFrames(4096, 1000 * ms, 1024, 900 * ms), 3072u);
  // Past 2^32 frames (27 hours of sound) the count goes on.
  const std::uint64_t delivered = (std::uint64_t{1} << 33) + 4096;
  EXPECT_EQ(heardDeviceFrames(delivered, 0, 1024, 10 * ms), delivered - 1024 + 441);
  EXPECT_EQ(heardDeviceFrames(delivered, 0, 1024, INT64_MAX), delivered);
  EXPECT_EQ(heardDeviceFrames(delivered, INT64_MIN + 1, 1024, INT64_MAX), delivered);
}

TEST(AudioClock, ReaderNeverSeesHalfAnUpdate) {
  // Update k delivers B + 441 k frames at time -10 k ms. Read at time 0, a consistent pair gives
  // 441 k + 441 k frames, an even multiple of 441; a count and a time from different updates
  // give (k1 + k2) x 441, an odd multiple whenever k1 and k2 differ in parity.
  constexpr std::uint64_t deviceBuffer = 1'000'000'000;
  constexpr std::uint64_t updates = 200000;
  AudioClock clock;
  clock.bufferedFrames = static_cast<std::uint32_t>(deviceBuffer);
  clock.endFrame = UINT32_MAX;
  clock.framesPerSecond = 44100;
  std::atomic<bool> readerRunning{false};
  std::atomic<bool> done{false};
  std::thread writer([&] {
    while (!readerRunning.load()) std::this_thread::yield();
    for (std::uint64_t k = 1; k <= updates; ++k)
      clock.delivered(deviceBuffer + 441 * k, -static_cast<std::int64_t>(k) * 10 * ms);
    done = true;
  });
  std::uint64_t reads = 0;
  std::uint32_t last = 0;
  bool consistent = true;
  readerRunning = true;
  do {
    const std::uint32_t p = clock.position(0);
    consistent = consistent && p % (2 * 441) == 0 && p >= last;
    last = p;
    ++reads;
  } while (!done.load());
  writer.join();
  EXPECT_TRUE(consistent);
  std::printf("%llu reads during %llu updates\n", static_cast<unsigned long long>(reads),
              static_cast<unsigned long long>(updates));
  EXPECT_EQ(clock.position(0), 2 * 441 * updates);
}

}  // namespace
