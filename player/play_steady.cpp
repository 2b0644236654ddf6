#include "player/play_steady.h"

#include <algorithm>

#include "host/backend_rules.h"

SteadyTransport::SteadyTransport(std::uint32_t endFrame, std::uint32_t framesPerSecond)
    : endFrame_(endFrame), framesPerSecond_(framesPerSecond) {}

void SteadyTransport::play(std::uint32_t position, std::int64_t nowNs) {
  playing_ = true;
  position_ = std::min(position, endFrame_);
  startNs_ = nowNs;
}

void SteadyTransport::pause(std::int64_t nowNs) { pauseAt(position(nowNs)); }

void SteadyTransport::pauseAt(std::uint32_t position) {
  playing_ = false;
  position_ = std::min(position, endFrame_);
}

void SteadyTransport::seek(std::uint32_t position, std::int64_t nowNs) {
  if (playing_) {
    play(position, nowNs);
  } else {
    pauseAt(position);
  }
}

std::uint32_t SteadyTransport::position(std::int64_t nowNs) const {
  if (!playing_) return position_;
  return position_ + backend_rules::steadyFrames(nowNs - startNs_, 1'000'000'000, endFrame_ - position_, framesPerSecond_);
}
