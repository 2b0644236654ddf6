// startAudio and the play position over the wave-out device: the render thread fills the sound
// buffer while the default device plays it from the start, as one block of 44,100 Hz stereo
// 32-bit float frames. Without a device the show runs silently on a steady clock.
#include <cstdio>

#include "host/backend_rules.h"
#include "host/d3d11/d3d11_rules.h"
#include "host/d3d11/win_host.h"
#include "host/platform.h"
#include "synth/synth.h"
#include "synth/timing.h"

namespace {

// The render thread: the whole song into the sound buffer and the envelope log, publishing its
// progress as it goes; nothing waits for it.
DWORD WINAPI renderThread(LPVOID) {
  renderSong(*winHost.renderMemory, *winHost.renderSong);
  return 0;
}

}  // namespace

namespace platform {

void startAudio(SynthMemory& memory, const Song& song) {
  winHost.renderMemory = &memory;
  winHost.renderSong = &song;
  CreateThread(nullptr, 0, renderThread, nullptr, 0, nullptr);

  winHost.waveHeader.lpData = reinterpret_cast<LPSTR>(memory.soundBuffer);
  const MMRESULT opened = waveOutOpen(&winHost.waveOut, WAVE_MAPPER, &winHost.waveFormat, 0, 0, CALLBACK_NULL);
  if (opened == MMSYSERR_NOERROR) {
    waveOutPrepareHeader(winHost.waveOut, &winHost.waveHeader, sizeof(WAVEHDR));
    winHost.audioPlaying = waveOutWrite(winHost.waveOut, &winHost.waveHeader, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
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
    MMTIME& time = winHost.playTime;
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(winHost.waveOut, &time, sizeof(MMTIME)) == MMSYSERR_NOERROR) {
      const std::uint32_t value = time.wType == TIME_BYTES ? time.u.cb
                                  : time.wType == TIME_MS  ? time.u.ms
                                                           : time.u.sample;
      reported = d3d11rules::framesOfReport(time.wType, value, winHost.lastPosition);
    }
  } else {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    reported = backend_rules::steadyFrames(now.QuadPart - winHost.steadyStart.QuadPart, frequency.QuadPart, songFrames);
  }
  winHost.lastPosition = d3d11rules::nextPlayPosition(winHost.lastPosition, reported, songFrames);
  return winHost.lastPosition;
}

}  // namespace platform
