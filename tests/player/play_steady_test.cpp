// The preview player's position without an audio device: play, pause and seek on a steady clock.
#include "player/play_steady.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::int64_t ms = 1'000'000;

TEST(SteadyTransport, PlaysPausesAndSeeksOnTheSteadyClock) {
  SteadyTransport transport(1'000'000, 44100);
  EXPECT_FALSE(transport.playing());
  EXPECT_EQ(transport.position(0), 0u);
  EXPECT_EQ(transport.position(10'000 * ms), 0u);  // paused at 0 until played

  transport.play(20000, 1000 * ms);
  EXPECT_TRUE(transport.playing());
  EXPECT_EQ(transport.position(1000 * ms), 20000u);
  EXPECT_EQ(transport.position(2000 * ms), 20000u + 44100u);
  EXPECT_EQ(transport.position(900 * ms), 20000u);  // a clock read before the play: its start

  transport.pause(2000 * ms);
  EXPECT_FALSE(transport.playing());
  EXPECT_EQ(transport.position(9000 * ms), 64100u);
  transport.play(transport.position(9000 * ms), 9000 * ms);
  EXPECT_EQ(transport.position(9500 * ms), 64100u + 22050u);

  // A seek while playing plays on from there; while paused it holds there.
  transport.seek(100, 10'000 * ms);
  EXPECT_TRUE(transport.playing());
  EXPECT_EQ(transport.position(10'010 * ms), 100u + 441u);
  transport.pauseAt(5000);
  transport.seek(7000, 11'000 * ms);
  EXPECT_FALSE(transport.playing());
  EXPECT_EQ(transport.position(20'000 * ms), 7000u);
}

TEST(SteadyTransport, StopsAtTheEnd) {
  SteadyTransport transport(100'000, 44100);
  transport.play(90'000, 0);
  EXPECT_EQ(transport.position(100 * ms), 90'000u + 4410u);
  EXPECT_EQ(transport.position(1000 * ms), 100'000u);
  EXPECT_EQ(transport.position(INT64_MAX), 100'000u);
  transport.play(250'000, 0);
  EXPECT_EQ(transport.position(0), 100'000u);
  transport.pauseAt(250'000);
  EXPECT_EQ(transport.position(0), 100'000u);
}

}  // namespace
