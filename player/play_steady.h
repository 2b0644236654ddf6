#pragma once
// The preview player's position without an audio device: a steady clock from the last play
// command (backend_rules::steadyFrames), held while paused, stopping at the song's end.
#include <cstdint>

#include "synth/timing.h"

class SteadyTransport {
 public:
  explicit SteadyTransport(std::uint32_t endFrame = songFrames, std::uint32_t framesPerSecond = sampleRate);

  // Plays from position (clamped to the end) as of steady time nowNs.
  void play(std::uint32_t position, std::int64_t nowNs);
  // Holds the position reached at nowNs.
  void pause(std::int64_t nowNs);
  // Holds at position (clamped to the end).
  void pauseAt(std::uint32_t position);
  // Moves to position, playing on from there if playing.
  void seek(std::uint32_t position, std::int64_t nowNs);

  std::uint32_t position(std::int64_t nowNs) const;
  bool playing() const { return playing_; }

 private:
  std::uint32_t endFrame_;
  std::uint32_t framesPerSecond_;
  bool playing_ = false;
  std::uint32_t position_ = 0;  // the held position, or where the play began
  std::int64_t startNs_ = 0;    // when the play began
};
