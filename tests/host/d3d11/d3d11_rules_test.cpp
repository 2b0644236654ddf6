// The Windows back end's own portable rules (every platform), and, in the Windows build, the
// static records its start-up hands to DXGI, Direct3D 11 and the wave-out device.
#include "host/d3d11/d3d11_rules.h"

#include <gtest/gtest.h>

#include <cstdint>

#ifdef INTRO_WINDOWS_RECORDS
#include "host/d3d11/win_host.h"
#include "host/platform.h"
#include "synth/timing.h"
#endif

namespace {

using namespace d3d11rules;

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

TEST(FailedCall, OnlyANegativeResultEndsTheRun) {
  EXPECT_FALSE(failed(0));                                       // S_OK
  EXPECT_FALSE(failed(0x087A0001));                              // DXGI_STATUS_OCCLUDED from Present
  EXPECT_TRUE(failed(static_cast<std::int32_t>(0x80070057u)));   // E_INVALIDARG
}

TEST(FailedCall, MessageNamesTheCallItsSubjectAndTheResult) {
  char message[128];
  failureMessage(message, sizeof message, static_cast<std::int32_t>(0x80070057u), "CreateTexture2D",
                 "the render texture (320 x 180)");
  EXPECT_STREQ(message, "intro: CreateTexture2D of the render texture (320 x 180) failed (0x80070057)");
  failureMessage(message, sizeof message, static_cast<std::int32_t>(deviceRemoved), "Present", nullptr,
                 static_cast<std::int32_t>(0x887A0006u));
  EXPECT_STREQ(message, "intro: Present failed (0x887A0005): the device was removed (reason 0x887A0006)");
  failureMessage(message, sizeof message, static_cast<std::int32_t>(deviceReset), "Present", nullptr);
  EXPECT_STREQ(message, "intro: Present failed (0x887A0007): the device was reset");
}

#ifdef INTRO_WINDOWS_RECORDS

TEST(WindowsRecords, SwapChainDescription) {
  EXPECT_EQ(winHost.swapChainDesc.BufferDesc.Width, 1280u);
  EXPECT_EQ(winHost.swapChainDesc.BufferDesc.Height, 720u);
  EXPECT_EQ(winHost.swapChainDesc.BufferDesc.RefreshRate.Numerator, 0u);
  EXPECT_EQ(winHost.swapChainDesc.BufferDesc.RefreshRate.Denominator, 0u);
  EXPECT_EQ(winHost.swapChainDesc.BufferDesc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
  EXPECT_EQ(static_cast<int>(winHost.swapChainDesc.BufferDesc.Format), 28);
  EXPECT_EQ(static_cast<int>(winHost.swapChainDesc.BufferDesc.ScanlineOrdering), 0);
  EXPECT_EQ(static_cast<int>(winHost.swapChainDesc.BufferDesc.Scaling), 0);
  EXPECT_EQ(winHost.swapChainDesc.SampleDesc.Count, 1u);
  EXPECT_EQ(winHost.swapChainDesc.SampleDesc.Quality, 0u);
  EXPECT_EQ(winHost.swapChainDesc.BufferUsage, 0x400u);
  EXPECT_EQ(winHost.swapChainDesc.BufferCount, 1u);
  EXPECT_EQ(winHost.swapChainDesc.OutputWindow, nullptr);
  EXPECT_EQ(winHost.swapChainDesc.Windowed, 1);
  EXPECT_EQ(static_cast<int>(winHost.swapChainDesc.SwapEffect), 0);
  EXPECT_EQ(winHost.swapChainDesc.Flags, 0u);
}

TEST(WindowsRecords, ConstantBufferDescription) {
  EXPECT_EQ(winHost.constantBufferDesc.ByteWidth, 32u);
  EXPECT_EQ(static_cast<int>(winHost.constantBufferDesc.Usage), 0);
  EXPECT_EQ(winHost.constantBufferDesc.BindFlags, 4u);
  EXPECT_EQ(winHost.constantBufferDesc.CPUAccessFlags, 0u);
  EXPECT_EQ(winHost.constantBufferDesc.MiscFlags, 0u);
  EXPECT_EQ(winHost.constantBufferDesc.StructureByteStride, 0u);
}

TEST(WindowsRecords, WaveFormatHeaderAndTime) {
  EXPECT_EQ(winHost.waveFormat.wFormatTag, 3);
  EXPECT_EQ(winHost.waveFormat.nChannels, 2);
  EXPECT_EQ(winHost.waveFormat.nSamplesPerSec, 44100u);
  EXPECT_EQ(winHost.waveFormat.nAvgBytesPerSec, 352800u);
  EXPECT_EQ(winHost.waveFormat.nBlockAlign, 8);
  EXPECT_EQ(winHost.waveFormat.wBitsPerSample, 32);
  EXPECT_EQ(winHost.waveFormat.cbSize, 0);

  EXPECT_EQ(winHost.waveHeader.dwBufferLength, 96463360u);
  EXPECT_EQ(winHost.waveHeader.dwBufferLength, songFrames * 8);
  EXPECT_EQ(winHost.waveHeader.dwBytesRecorded, 0u);
  EXPECT_EQ(winHost.waveHeader.dwUser, 0u);
  EXPECT_EQ(winHost.waveHeader.dwFlags, 0u);
  EXPECT_EQ(winHost.waveHeader.dwLoops, 0u);
  EXPECT_EQ(winHost.waveHeader.lpNext, nullptr);
  EXPECT_EQ(winHost.waveHeader.reserved, 0u);

  EXPECT_EQ(winHost.playTime.wType, static_cast<UINT>(TIME_SAMPLES));
  EXPECT_EQ(winHost.playTime.wType, 2u);
  EXPECT_EQ(winHost.playTime.u.sample, 0u);
  EXPECT_EQ(sizeof(MMTIME), 12u);
}

TEST(WindowsRecords, PlayPositionIsZeroBeforeTheMusicStarts) { EXPECT_EQ(platform::playPosition(), 0u); }

#endif

}  // namespace
