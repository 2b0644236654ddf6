// The Windows back end's portable rules (every platform), and, in the Windows build, the static
// records its start-up hands to DXGI, Direct3D 11 and the wave-out device.
#include "d3d11_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#ifdef INTRO_WINDOWS_RECORDS
#include "platform.h"
#include "timing.h"
#include "win_host.h"
#endif

namespace {

using namespace d3d11rules;

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

TEST(PositionReport, UnitsBecomeSampleFrames) {
  EXPECT_EQ(framesOfReport(2, 123456, 0), 123456u);              // samples
  EXPECT_EQ(framesOfReport(4, 8 * 1000 + 7, 0), 1000u);          // bytes, 8 per frame
  EXPECT_EQ(framesOfReport(1, 2000, 0), 88200u);                 // milliseconds
  EXPECT_EQ(framesOfReport(1, 273420, 0), 12057822u);
  EXPECT_EQ(framesOfReport(8, 99, 777), 777u);                   // SMPTE: keep the last position
  EXPECT_EQ(framesOfReport(16, 99, 777), 777u);                  // MIDI
  EXPECT_EQ(framesOfReport(32, 99, 777), 777u);                  // ticks
}

TEST(PlayPosition, NeverBackwardsNeverPastTheEnd) {
  EXPECT_EQ(nextPlayPosition(0, 0, 12057920), 0u);
  EXPECT_EQ(nextPlayPosition(100, 50, 12057920), 100u);
  EXPECT_EQ(nextPlayPosition(100, 150, 12057920), 150u);
  EXPECT_EQ(nextPlayPosition(12057000, 12058000, 12057920), 12057920u);
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

#ifdef INTRO_WINDOWS_RECORDS

TEST(WindowsRecords, SwapChainDescription) {
  EXPECT_EQ(swapChainDesc.BufferDesc.Width, 1280u);
  EXPECT_EQ(swapChainDesc.BufferDesc.Height, 720u);
  EXPECT_EQ(swapChainDesc.BufferDesc.RefreshRate.Numerator, 0u);
  EXPECT_EQ(swapChainDesc.BufferDesc.RefreshRate.Denominator, 0u);
  EXPECT_EQ(swapChainDesc.BufferDesc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
  EXPECT_EQ(static_cast<int>(swapChainDesc.BufferDesc.Format), 28);
  EXPECT_EQ(static_cast<int>(swapChainDesc.BufferDesc.ScanlineOrdering), 0);
  EXPECT_EQ(static_cast<int>(swapChainDesc.BufferDesc.Scaling), 0);
  EXPECT_EQ(swapChainDesc.SampleDesc.Count, 1u);
  EXPECT_EQ(swapChainDesc.SampleDesc.Quality, 0u);
  EXPECT_EQ(swapChainDesc.BufferUsage, 0x400u);
  EXPECT_EQ(swapChainDesc.BufferCount, 1u);
  EXPECT_EQ(swapChainDesc.OutputWindow, nullptr);
  EXPECT_EQ(swapChainDesc.Windowed, 1);
  EXPECT_EQ(static_cast<int>(swapChainDesc.SwapEffect), 0);
  EXPECT_EQ(swapChainDesc.Flags, 0u);
}

TEST(WindowsRecords, ConstantBufferDescription) {
  EXPECT_EQ(constantBufferDesc.ByteWidth, 32u);
  EXPECT_EQ(static_cast<int>(constantBufferDesc.Usage), 0);
  EXPECT_EQ(constantBufferDesc.BindFlags, 4u);
  EXPECT_EQ(constantBufferDesc.CPUAccessFlags, 0u);
  EXPECT_EQ(constantBufferDesc.MiscFlags, 0u);
  EXPECT_EQ(constantBufferDesc.StructureByteStride, 0u);
}

TEST(WindowsRecords, WaveFormatHeaderAndTime) {
  EXPECT_EQ(waveFormat.wFormatTag, 3);
  EXPECT_EQ(waveFormat.nChannels, 2);
  EXPECT_EQ(waveFormat.nSamplesPerSec, 44100u);
  EXPECT_EQ(waveFormat.nAvgBytesPerSec, 352800u);
  EXPECT_EQ(waveFormat.nBlockAlign, 8);
  EXPECT_EQ(waveFormat.wBitsPerSample, 32);
  EXPECT_EQ(waveFormat.cbSize, 0);

  EXPECT_EQ(waveHeader.dwBufferLength, 96463360u);
  EXPECT_EQ(waveHeader.dwBufferLength, songFrames * 8);
  EXPECT_EQ(waveHeader.dwBytesRecorded, 0u);
  EXPECT_EQ(waveHeader.dwUser, 0u);
  EXPECT_EQ(waveHeader.dwFlags, 0u);
  EXPECT_EQ(waveHeader.dwLoops, 0u);
  EXPECT_EQ(waveHeader.lpNext, nullptr);
  EXPECT_EQ(waveHeader.reserved, 0u);

  EXPECT_EQ(playTime.wType, static_cast<UINT>(TIME_SAMPLES));
  EXPECT_EQ(playTime.wType, 2u);
  EXPECT_EQ(playTime.u.sample, 0u);
  EXPECT_EQ(sizeof(MMTIME), 12u);
}

TEST(WindowsRecords, PlayPositionIsZeroBeforeTheMusicStarts) { EXPECT_EQ(platform::playPosition(), 0u); }

#endif

}  // namespace
