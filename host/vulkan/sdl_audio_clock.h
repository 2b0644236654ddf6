#pragma once
// The play position of a callback-driven audio device, shared between the device's callback
// thread (writer) and the frame loop (reader) without locks.
//
// After each callback the writer records how many frames it has handed to the device so far and
// when. The reader estimates what has been heard (heardDeviceFrames). The position never goes
// backwards and never passes the end of the song.
#include <atomic>
#include <cstdint>

#include "synth/timing.h"

// Device frames heard at steady time nowNs: those delivered by the callbacks, less the frames the
// device's buffer still held after the last one, plus the time since it; never more than were
// delivered. The one estimate of what a listener hears: the intro's clock and the preview
// player's sound both take it.
std::uint64_t heardDeviceFrames(std::uint64_t deliveredFrames, std::int64_t deliveredAtNs, std::uint32_t bufferedFrames,
                                std::int64_t nowNs, std::uint32_t framesPerSecond = sampleRate);

struct AudioClock {
  // Frames the device holds after a callback has filled its buffer (the device's buffer size).
  std::uint32_t bufferedFrames = 0;
  // The estimate stops here (the song's length in frames).
  std::uint32_t endFrame = 0;
  std::uint32_t framesPerSecond = sampleRate;

  // Writer (the callback): frames delivered since playback began, at steady time nowNs.
  void delivered(std::uint64_t deliveredFrames, std::int64_t nowNs);

  // Reader (one thread): the play position at steady time nowNs.
  std::uint32_t position(std::int64_t nowNs);

 private:
  // A sequence lock: odd while the writer is between its two stores.
  std::atomic<std::uint32_t> sequence{0};
  std::atomic<std::uint64_t> deliveredTotal{0};
  std::atomic<std::int64_t> deliveredAtNs{0};
  std::uint32_t lastPosition = 0;  // reader only
};

// A clock without a device: frames of real time since startNs, up to endFrame (the shared
// steady clock, backend_rules::steadyFrames, in nanoseconds).
std::uint32_t steadyPosition(std::int64_t startNs, std::int64_t nowNs, std::uint32_t framesPerSecond,
                             std::uint32_t endFrame);
