// startAudio and the play position over the wave-out device: the render thread fills the sound
// buffer while the default device plays it from the start, as one block of 44,100 Hz stereo
// 32-bit float frames. Without a device the show runs silently on a steady clock.
#include <cstdio>

#include "d3d11_rules.h"
#include "platform.h"
#include "synth.h"
#include "timing.h"
#include "win_host.h"

WAVEFORMATEX waveFormat = {
    WAVE_FORMAT_IEEE_FLOAT,  // wFormatTag
    2,                       // nChannels
    44100,                   // nSamplesPerSec
    44100 * 8,               // nAvgBytesPerSec
    8,                       // nBlockAlign: two 32-bit floats
    32,                      // wBitsPerSample
    0,                       // cbSize
};

// lpData is set to the sound buffer when the music starts.
WAVEHDR waveHeader = {nullptr, songFrames * 8, 0, 0, 0, 0, nullptr, 0};

MMTIME playTime = {TIME_SAMPLES, {0}};

namespace {

struct RenderJob {
  SynthMemory* memory = nullptr;
  const Song* song = nullptr;
};
RenderJob renderJob;

// The render thread: the whole song into the sound buffer and the envelope log, publishing its
// progress as it goes; nothing waits for it.
DWORD WINAPI renderThread(LPVOID job) {
  const auto* renderJobOfThread = static_cast<const RenderJob*>(job);
  renderSong(*renderJobOfThread->memory, *renderJobOfThread->song);
  return 0;
}

}  // namespace

namespace platform {

void startAudio(SynthMemory& memory, const Song& song) {
  renderJob = {&memory, &song};
  CreateThread(nullptr, 0, renderThread, &renderJob, 0, nullptr);

  waveHeader.lpData = reinterpret_cast<LPSTR>(memory.soundBuffer);
  const MMRESULT opened = waveOutOpen(&winHost.waveOut, WAVE_MAPPER, &waveFormat, 0, 0, CALLBACK_NULL);
  if (opened == MMSYSERR_NOERROR) {
    waveOutPrepareHeader(winHost.waveOut, &waveHeader, sizeof(WAVEHDR));
    winHost.audioPlaying = waveOutWrite(winHost.waveOut, &waveHeader, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
  }
  if (!winHost.audioPlaying)
    std::fprintf(stderr, "intro: no wave-out device (%u); the show runs silently on a steady clock\n", opened);
  QueryPerformanceCounter(&winHost.steadyStart);
  winHost.audioStarted = true;
}

std::uint32_t playPosition() {
  if (!winHost.audioStarted) return 0;
  std::uint32_t reported = winHost.lastPosition;
  if (winHost.audioPlaying) {
    // A device may answer in other units; it is asked for sample frames every time.
    playTime.wType = TIME_SAMPLES;
    if (waveOutGetPosition(winHost.waveOut, &playTime, sizeof(MMTIME)) == MMSYSERR_NOERROR) {
      const std::uint32_t value = playTime.wType == TIME_BYTES ? playTime.u.cb
                                  : playTime.wType == TIME_MS  ? playTime.u.ms
                                                               : playTime.u.sample;
      reported = d3d11rules::framesOfReport(playTime.wType, value, winHost.lastPosition);
    }
  } else {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    reported = d3d11rules::steadyFrames(now.QuadPart - winHost.steadyStart.QuadPart, frequency.QuadPart, songFrames);
  }
  winHost.lastPosition = d3d11rules::nextPlayPosition(winHost.lastPosition, reported, songFrames);
  return winHost.lastPosition;
}

}  // namespace platform
