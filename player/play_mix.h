#pragma once
// The preview player's mixer: fills the device's buffers from a song at a cursor and carries out
// the player's commands without clicks. Every change of what is heard is a short linear
// crossfade: a seek fades the old stream out while the new one fades in, a pause fades out to
// silence, a resume fades in from it, a new song takes over at the same position. Past the song's
// end it plays silence.
//
// Not thread-safe on its own: the caller serialises commands, fills and position queries (the
// audio device's lock). Commands take effect at the start of the next fill; those issued between
// two fills take effect together, as their sum (play then pause: paused at the play's position).
// The fill allocates nothing and never waits.
#include <cstdint>

#include "player/play_log.h"
#include "player/play_source.h"

class PlayMixer {
 public:
  // About 6 ms: short enough to follow a key at once, long enough that a jump does not click.
  static constexpr std::uint32_t fadeFrames = 256;

  // Paused at 0 on source.
  explicit PlayMixer(SoundSource source = {});

  // Back to the state of a new mixer on source: nothing fading, nothing recorded, no device
  // frames delivered.
  void reset(SoundSource source);

  // Plays from position (clamped to the song's length), fading in from what was heard.
  void play(std::uint32_t position);
  // Fades out to silence; the position holds where the fade begins.
  void pause();
  // Fades out what plays to silence; the position holds at position (clamped to the song).
  void pauseAt(std::uint32_t position);
  // Moves to position, playing on if it was playing, holding there if paused.
  void seek(std::uint32_t position);
  // Plays source instead of the current one from the current position (a crossfade while
  // playing); the old source is read until its fade has finished (reads says when).
  void setSource(SoundSource source);

  // The state after every command so far, applied or not.
  bool playing() const { return wanted_.playing; }
  const SoundSource& source() const { return wanted_.source; }
  // Whether a later fill may still read data: it is the current source, or one still fading out.
  bool reads(const void* data) const;

  // Fills out with frames stereo frames (2 floats each) and records them as the device frames
  // that follow the previous fill's.
  void fill(float* out, std::uint32_t frames);

  // Device frames filled since the start (or the last reset).
  std::uint64_t deliveredFrames() const { return delivered_; }
  // The song position heard once the device has played heardDeviceFrames frames (PlayLog's rules).
  std::uint32_t heardPosition(std::uint64_t heardDeviceFrames);
  // Counts every command since the start.
  std::uint32_t generation() const { return generation_; }

 private:
  // One stream: a source read from a cursor at a gain of level / fadeFrames that rises to full
  // or falls to silence by one step a frame.
  struct Voice {
    SoundSource source;
    std::uint32_t cursor = 0;
    std::uint32_t level = 0;
    bool rising = true;
  };
  // What the commands so far ask for.
  struct State {
    SoundSource source;
    bool playing = false;
    std::uint32_t position = 0;  // while paused, the held position
  };

  // Old streams fading out at once: one per fill while commands arrive, for buffers shorter than
  // a fade more of them; the quietest gives way if they run out.
  static constexpr int maxFading = 7;
  // Frames mixed at a time (the scratch buffer).
  static constexpr std::uint32_t chunkFrames = 512;

  void command();
  void setPosition(std::uint32_t position);
  void applyCommands();
  void retire(const Voice& voice);
  void mixVoice(Voice& voice, float* out, std::uint32_t frames);

  State wanted_;                      // after every command
  State applied_;                     // as the last fill began
  bool sourceChanged_ = false;        // a pending command changed the source
  bool positionChanged_ = false;      // a pending command set the position
  std::uint32_t generation_ = 0;      // commands so far
  std::uint32_t appliedGeneration_ = 0;
  PlayTarget target_;                 // the latest command that set the position
  std::uint32_t appliedTargetGeneration_ = 0;

  Voice main_;  // the stream that plays on; silent while paused
  Voice fading_[maxFading];
  int fadingCount_ = 0;

  std::uint64_t delivered_ = 0;
  PlayLog log_;
  float scratch_[2 * chunkFrames] = {};
};
