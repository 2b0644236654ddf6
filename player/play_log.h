#pragma once
// What the preview player's listener hears now. The mixer records every buffer it fills: the
// device frames the buffer covers and the song position its first frame plays. From the device
// frames heard so far (the back end's estimate), the log finds the buffer being heard and the
// song position in it.
#include <cstdint>

// One filled buffer.
struct PlayRecord {
  std::uint64_t deviceStart = 0;       // device frames delivered before this buffer
  std::uint32_t frames = 0;            // frames in the buffer
  std::uint32_t sourceStart = 0;       // the song position of its first frame (the stream that
                                       // plays on, not one fading out)
  std::uint32_t sourceEnd = 0;         // the song's length: positions stop there
  std::uint32_t generation = 0;        // the last command applied before the buffer
  std::uint32_t targetGeneration = 0;  // the last command that set the position (play, seek, pause at)
  bool advancing = false;              // playing: the position moves with the device; paused: it holds
};

// The latest command that set the position, applied to a buffer or still waiting for the next.
struct PlayTarget {
  std::uint32_t generation = 0;
  std::uint32_t position = 0;
};

class PlayLog {
 public:
  // A device holds a few buffers; the log keeps far more than it can be behind.
  static constexpr std::uint32_t capacity = 64;

  void clear();
  void add(const PlayRecord& record);

  // The song position heard once the device has played heardDeviceFrames frames. Until the first
  // frame that latest's command produced is heard, latest.position: a seek shows its target at
  // once, never the stream it left. While paused the held position; never past the song's end;
  // never backwards while the latest target stays the same (the device estimate may wobble).
  std::uint32_t heardPosition(std::uint64_t heardDeviceFrames, PlayTarget latest);

 private:
  const PlayRecord* recordAt(std::uint64_t deviceFrame) const;

  PlayRecord records_[capacity];
  std::uint32_t count_ = 0;  // records held
  std::uint32_t next_ = 0;   // where the next one goes
  std::uint64_t lastDeviceFrames_ = 0;
  bool reported_ = false;
  std::uint32_t lastGeneration_ = 0;
  std::uint32_t lastPosition_ = 0;
};
