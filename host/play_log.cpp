#include "play_log.h"

#include <algorithm>

void PlayLog::clear() { *this = PlayLog(); }

void PlayLog::add(const PlayRecord& record) {
  records_[next_] = record;
  next_ = (next_ + 1) % capacity;
  count_ = std::min(count_ + 1, capacity);
}

const PlayRecord* PlayLog::recordAt(std::uint64_t deviceFrame) const {
  // Newest first: the frame being heard lies in one of the last few buffers.
  for (std::uint32_t back = 1; back <= count_; ++back) {
    const PlayRecord& record = records_[(next_ + capacity - back) % capacity];
    if (record.deviceStart <= deviceFrame) return &record;
  }
  return nullptr;
}

std::uint32_t PlayLog::heardPosition(std::uint64_t heardDeviceFrames, PlayTarget latest) {
  lastDeviceFrames_ = std::max(lastDeviceFrames_, heardDeviceFrames);
  const PlayRecord* record = recordAt(lastDeviceFrames_);
  std::uint32_t position = latest.position;
  if (record != nullptr && record->targetGeneration == latest.generation) {
    position = record->sourceStart;
    if (record->advancing) {
      // Past the newest buffer only by the estimate's rounding; stop at its end.
      const std::uint64_t offset = std::min<std::uint64_t>(lastDeviceFrames_ - record->deviceStart, record->frames);
      position = static_cast<std::uint32_t>(std::min<std::uint64_t>(position + offset, record->sourceEnd));
    }
    position = std::min(position, record->sourceEnd);
  }
  if (reported_ && lastGeneration_ == latest.generation) position = std::max(position, lastPosition_);
  reported_ = true;
  lastGeneration_ = latest.generation;
  lastPosition_ = position;
  return position;
}

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
