#include "sdl_play_clock.h"

#include <algorithm>

#include "backend_rules.h"

void PlayClock::delivered(std::uint64_t deliveredFrames, std::int64_t nowNs) {
  // Sequentially consistent throughout: a reader that sees either new value also sees the odd
  // sequence number stored before it. Two updates per callback cost nothing worth saving.
  const std::uint32_t s = sequence.load();
  sequence.store(s + 1);
  deliveredTotal.store(deliveredFrames);
  deliveredAtNs.store(nowNs);
  sequence.store(s + 2);
}

std::uint32_t PlayClock::position(std::int64_t nowNs) {
  std::uint64_t total = 0;
  std::int64_t atNs = 0;
  for (;;) {
    const std::uint32_t before = sequence.load();
    if (before & 1u) continue;  // the writer is between its stores: a few instructions
    total = deliveredTotal.load();
    atNs = deliveredAtNs.load();
    if (sequence.load() == before) break;
  }
  if (total == 0) return lastPosition;

  // A callback is due every few milliseconds; capping the gap at an hour keeps the product
  // below 64 bits whatever the clock says, and the estimate is capped by what was delivered.
  const std::int64_t sinceNs = std::clamp<std::int64_t>(nowNs - atNs, 0, 3'600'000'000'000);
  const std::uint64_t sinceFrames =
      static_cast<std::uint64_t>(sinceNs) * framesPerSecond / 1'000'000'000u;
  const std::uint64_t heard = total > bufferedFrames ? total - bufferedFrames : 0;
  std::uint64_t estimate = std::min(heard + sinceFrames, total);
  estimate = std::min<std::uint64_t>(estimate, endFrame);
  lastPosition = std::max(lastPosition, static_cast<std::uint32_t>(estimate));
  return lastPosition;
}

std::uint32_t steadyPosition(std::int64_t startNs, std::int64_t nowNs, std::uint32_t framesPerSecond,
                             std::uint32_t endFrame) {
  return backend_rules::steadyFrames(nowNs - startNs, 1'000'000'000, endFrame, framesPerSecond);
}
