// The rules both back ends share (backend_rules.h): the compute grid, the pipeline order,
// compiler messages cut to their buffer and the steady clock without an audio device.
#include "host/backend_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using namespace backend_rules;

TEST(DispatchGroups, CoverEveryPixel) {
  EXPECT_EQ(dispatchGroups(1280), 80u);
  EXPECT_EQ(dispatchGroups(720), 45u);
  EXPECT_EQ(dispatchGroups(1920), 120u);
  // 1080 = 67 * 16 + 8: a 68th row of groups covers the last 8 rows.
  EXPECT_EQ(dispatchGroups(1080), 68u);
  EXPECT_EQ(dispatchGroups(1), 1u);
  EXPECT_EQ(dispatchGroups(16), 1u);
  EXPECT_EQ(dispatchGroups(17), 2u);
  for (int pixels = 1; pixels <= 4096; ++pixels) {
    const std::uint32_t groups = dispatchGroups(pixels);
    ASSERT_GE(groups * groupSide, static_cast<std::uint32_t>(pixels)) << pixels;
    ASSERT_LT((groups - 1) * groupSide, static_cast<std::uint32_t>(pixels)) << pixels;
  }
}

TEST(DispatchGroups, NoPictureNoGroups) {
  EXPECT_EQ(dispatchGroups(0), 0u);
  EXPECT_EQ(dispatchGroups(-16), 0u);
  // The largest int does not wrap around.
  EXPECT_EQ(dispatchGroups(2147483647), 134217728u);
}

TEST(PipelineIndex, ScenesFollowTheTimelineAndTheFinalPassIsZero) {
  for (int order = 0; order < 11; ++order) EXPECT_EQ(pipelineIndexOf(order), order + 1);
  EXPECT_EQ(pipelineIndexOf(11), 0);
  // Every pipeline slot is filled exactly once.
  int filled[12] = {};
  for (int order = 0; order < 12; ++order) ++filled[pipelineIndexOf(order)];
  for (int slot = 0; slot < 12; ++slot) EXPECT_EQ(filled[slot], 1) << slot;
}

TEST(CompilerMessage, ShortMessageCopiedWhole) {
  char message[4096];
  const char text[] = "intro.hlsl(12,3): error X3004: undeclared identifier 'q'";
  EXPECT_EQ(copyCompilerMessage(message, sizeof message, text, sizeof text), sizeof text - 1);
  EXPECT_STREQ(message, text);
}

TEST(CompilerMessage, WithoutTextSaysUnknown) {
  char message[4096];
  std::memset(message, 'x', sizeof message);
  copyCompilerMessage(message, sizeof message, nullptr, 0);
  EXPECT_STREQ(message, "unknown compiler error");
}

TEST(CompilerMessage, LongMessageIsCutToTheBuffer) {
  // A 10,000-byte message into a 4,096-byte buffer with guard bytes behind it.
  std::string text(10000, 'e');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  char buffer[4096 + 16];
  std::memset(buffer, '#', sizeof buffer);
  const std::size_t length = copyCompilerMessage(buffer, 4096, text.c_str(), text.size() + 1);
  EXPECT_EQ(length, 4095u);
  EXPECT_EQ(buffer[4095], '\0');
  EXPECT_EQ(std::string(buffer, 4095), text.substr(0, 4095));
  for (std::size_t i = 4096; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;
}

TEST(CompilerMessage, BlobWithoutTerminatorStopsAtItsSize) {
  const char bytes[] = {'a', 'b', 'c', 'd'};
  char message[16];
  std::memset(message, 'x', sizeof message);
  EXPECT_EQ(copyCompilerMessage(message, sizeof message, bytes, 3), 3u);
  EXPECT_STREQ(message, "abc");
}

TEST(CompilerMessage, StopsAtTheFirstZeroByte) {
  const char bytes[] = {'o', 'k', '\0', 'n', 'o'};
  char message[16];
  EXPECT_EQ(copyCompilerMessage(message, sizeof message, bytes, sizeof bytes), 2u);
  EXPECT_STREQ(message, "ok");
}

TEST(CompilerMessage, TinyBuffers) {
  char one[1] = {'x'};
  EXPECT_EQ(copyCompilerMessage(one, 1, "abc", 4), 0u);
  EXPECT_EQ(one[0], '\0');
  char none[1] = {'x'};
  EXPECT_EQ(copyCompilerMessage(none, 0, "abc", 4), 0u);
  EXPECT_EQ(none[0], 'x');
}

TEST(SteadyClock, CountsFramesFromItsStart) {
  const std::int64_t ticksPerSecond = 10000000;  // 100 ns ticks
  EXPECT_EQ(steadyFrames(0, ticksPerSecond, 12057920), 0u);
  EXPECT_EQ(steadyFrames(-5, ticksPerSecond, 12057920), 0u);
  EXPECT_EQ(steadyFrames(ticksPerSecond, ticksPerSecond, 12057920), 44100u);
  EXPECT_EQ(steadyFrames(ticksPerSecond / 2, ticksPerSecond, 12057920), 22050u);
  EXPECT_EQ(steadyFrames(ticksPerSecond * 3 + ticksPerSecond / 10, ticksPerSecond, 12057920), 136710u);
  // The end of the song holds, also after days of ticks at a high frequency.
  EXPECT_EQ(steadyFrames(ticksPerSecond * 274, ticksPerSecond, 12057920), 12057920u);
  EXPECT_EQ(steadyFrames(INT64_MAX, 3000000000, 12057920), 12057920u);
  EXPECT_EQ(steadyFrames(100, 0, 12057920), 0u);
}

TEST(SteadyClock, NanosecondTicksAtAnyRate) {
  // The Linux back end counts nanoseconds of the steady clock.
  const std::int64_t ms = 1'000'000;
  const std::int64_t ns = 1'000'000'000;
  EXPECT_EQ(steadyFrames(1000 * ms, ns, songFrames), sampleRate);
  EXPECT_EQ(steadyFrames(10 * ms, ns, songFrames), 441u);
  EXPECT_EQ(steadyFrames(273'000 * ms, ns, songFrames), 273u * sampleRate);
  EXPECT_EQ(steadyFrames(300'000 * ms, ns, songFrames), songFrames);
  EXPECT_EQ(steadyFrames(500 * ms, ns, songFrames, 48000), 24000u);
  // Hours of run time against an end far away neither overflow nor wrap.
  EXPECT_EQ(steadyFrames(400'000'000 * ms, ns, UINT32_MAX), UINT32_MAX);
  EXPECT_EQ(steadyFrames(INT64_MAX, 1, UINT32_MAX), UINT32_MAX);
  EXPECT_EQ(steadyFrames(ns, ns, songFrames, 0), songFrames);
  // A clock faster than 2^31 Hz: the fraction of a second still counts.
  const std::int64_t fast = std::int64_t{1} << 40;
  EXPECT_EQ(steadyFrames(fast + fast / 2, fast, songFrames), sampleRate + sampleRate / 2);
}

}  // namespace
