#include "player/play_log.h"

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
