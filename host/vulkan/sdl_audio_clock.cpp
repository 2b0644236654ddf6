#include "host/vulkan/sdl_audio_clock.h"

#include <algorithm>

#include "host/backend_rules.h"

std::uint64_t heardDeviceFrames(std::uint64_t deliveredFrames, std::int64_t deliveredAtNs, std::uint32_t bufferedFrames,
                                std::int64_t nowNs, std::uint32_t framesPerSecond) {
  if (deliveredFrames == 0) return 0;
  // The gap in unsigned arithmetic (no overflow whatever the clock says), capped at an hour so
  // that the product stays below 64 bits; the estimate is capped by what was delivered anyway.
  const std::uint64_t sinceNs =
      nowNs > deliveredAtNs
          ? std::min<std::uint64_t>(static_cast<std::uint64_t>(nowNs) - static_cast<std::uint64_t>(deliveredAtNs),
                                    3'600'000'000'000u)
          : 0;
  const std::uint64_t sinceFrames = sinceNs * framesPerSecond / 1'000'000'000u;
  const std::uint64_t heard = deliveredFrames > bufferedFrames ? deliveredFrames - bufferedFrames : 0;
  return std::min(heard + sinceFrames, deliveredFrames);
}

void AudioClock::delivered(std::uint64_t deliveredFrames, std::int64_t nowNs) {
  // Sequentially consistent throughout: a reader that sees either new value also sees the odd
  // sequence number stored before it. Two updates per callback cost nothing worth saving.
  const std::uint32_t s = sequence.load();
  sequence.store(s + 1);
  deliveredTotal.store(deliveredFrames);
  deliveredAtNs.store(nowNs);
  sequence.store(s + 2);
}

std::uint32_t AudioClock::position(std::int64_t nowNs) {
  std::uint64_t total = 0;
  std::int64_t atNs = 0;
  for (;;) {
    const std::uint32_t before = sequence.load();
    if (before & 1u) continue;  // the writer is between its stores: a few instructions
    total = deliveredTotal.load();
    atNs = deliveredAtNs.load();
    if (sequence.load() == before) break;
  }
  const std::uint64_t estimate =
      std::min<std::uint64_t>(heardDeviceFrames(total, atNs, bufferedFrames, nowNs, framesPerSecond), endFrame);
  lastPosition = std::max(lastPosition, static_cast<std::uint32_t>(estimate));
  return lastPosition;
}

std::uint32_t steadyPosition(std::int64_t startNs, std::int64_t nowNs, std::uint32_t framesPerSecond,
                             std::uint32_t endFrame) {
  return backend_rules::steadyFrames(nowNs - startNs, 1'000'000'000, endFrame, framesPerSecond);
}
