// The song position heard through the log of filled buffers, where its records leave gaps or run
// out.
#include "player/play_log.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

PlayRecord record(std::uint64_t deviceStart, std::uint32_t frames, std::uint32_t sourceStart, bool advancing,
                  std::uint32_t targetGeneration) {
  PlayRecord r;
  r.deviceStart = deviceStart;
  r.frames = frames;
  r.sourceStart = sourceStart;
  r.sourceEnd = 1'000'000;
  r.generation = targetGeneration;
  r.targetGeneration = targetGeneration;
  r.advancing = advancing;
  return r;
}

TEST(PlayLog, MapsDeviceFramesThroughTheBufferThatHoldsThem) {
  PlayLog log;
  const PlayTarget target{1, 500};
  // Nothing recorded: the target.
  EXPECT_EQ(log.heardPosition(0, target), 500u);
  log.add(record(0, 1024, 500, true, 1));
  log.add(record(1024, 1024, 1524, true, 1));
  EXPECT_EQ(log.heardPosition(10, target), 510u);
  EXPECT_EQ(log.heardPosition(1030, target), 1530u);
  // Beyond the newest buffer (only by the estimate's rounding): its end.
  EXPECT_EQ(log.heardPosition(9000, target), 2548u);
}

TEST(PlayLog, KeepsTheLatestBuffersWhenFull) {
  PlayLog log;
  const PlayTarget target{3, 0};
  for (std::uint32_t i = 0; i < 3 * PlayLog::capacity; ++i) log.add(record(100 * i, 100, 7 * i, false, 3));
  const std::uint32_t newest = 3 * PlayLog::capacity - 1;
  EXPECT_EQ(log.heardPosition(100 * newest + 50, target), 7 * newest);
  PlayLog fresh;
  for (std::uint32_t i = 0; i < 3 * PlayLog::capacity; ++i) fresh.add(record(100 * i, 100, 7 * i, false, 3));
  // Older than anything kept: the target, for want of a record.
  EXPECT_EQ(fresh.heardPosition(50, target), 0u);
  const std::uint32_t oldestKept = 2 * PlayLog::capacity;
  EXPECT_EQ(fresh.heardPosition(100 * oldestKept + 1, target), 7 * oldestKept);
}

TEST(PlayLog, StopsAtTheSongsEnd) {
  PlayLog log;
  PlayRecord r = record(0, 4096, 998'000, true, 1);
  log.add(r);
  EXPECT_EQ(log.heardPosition(1000, PlayTarget{1, 998'000}), 999'000u);
  EXPECT_EQ(log.heardPosition(4000, PlayTarget{1, 998'000}), 1'000'000u);
  PlayLog held;
  r.advancing = false;
  r.sourceStart = 2'000'000;  // a record never holds this; the end caps it all the same
  held.add(r);
  EXPECT_EQ(held.heardPosition(10, PlayTarget{1, 2'000'000}), 1'000'000u);
}

}  // namespace
