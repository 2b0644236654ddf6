#pragma once
// The synthesizer: work memory, the render driver and what its readers (audio device, frame
// loop, tools) use. The render thread writes `soundBuffer` and `envelopeLog` from the start of
// the song onward and publishes how many frames are finished; readers acquire that count and
// treat everything beyond it as not yet rendered (zero).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "synth/song.h"
#include "synth/timing.h"

// Sixteen four-byte fields holding one unit's state and modulation inputs. A field is an integer
// or a float depending on the unit (an envelope's stage is an integer, its level a float), and a
// `ParamStore` may write a float into any of them, so fields are kept as raw words.
struct UnitSlot {
  std::uint32_t field[16];
};

struct InstrumentWorkspace {
  std::int32_t releaseCount;  // 0 while the note is held; nonzero means released
  std::int32_t note;          // current note number; 0 means the track is silent
  UnitSlot slots[unitSlotsPerInstrument];
  float auxOut[2];   // left, right: send level written by the instrument's Output
  float mainOut[2];  // left, right: main level written by the instrument's Output
};

struct DelayLine {
  std::int32_t writeIndex;
  float dampState;
  float dcIn;      // DC blocker state, last line of a DelayBank only
  float dcOut;
  float lfoPhase;  // modulation phase, first line of a DelayBank only
  float samples[delayLineLength];
};

// Levels of the tracks' first envelopes after the last frame of one 256-frame block:
// level[2 i] for track i; the odd floats and floats 30 and 31 stay 0.
struct EnvelopeRecord {
  float level[32];
};

// The synthesizer's whole work memory. Must start zero (a static instance, or calloc through
// allocateSynthMemory: delay lines that are never touched cost no memory).
struct SynthMemory {
  float paramScratch[16];
  InstrumentWorkspace workspaces[instrumentCount];  // tracks 0..14, then the master instrument
  std::uint32_t delayCursor;                        // index of the next DelayBank's first line
  DelayLine delayPool[delayLineCount];
  EnvelopeRecord envelopeLog[envelopeLogCapacity];
  float soundBuffer[songFrames * 2];  // interleaved left, right; each value in [-1, 1]
  std::uint32_t noiseSeed;            // 0 stands for the initial value 1 (memory starts zero)

  // Render-thread private: frames completed so far (the song frame counter).
  std::uint32_t renderPosition;
  // Frames finished and visible to readers; accessed only atomically (renderedFrames()).
  alignas(8) std::uint32_t publishedFrames;
  alignas(8) std::uint32_t renderThreadStarted;
};

struct SynthMemoryDeleter {
  void operator()(SynthMemory* memory) const noexcept;
};
using SynthMemoryPtr = std::unique_ptr<SynthMemory, SynthMemoryDeleter>;

// A zeroed SynthMemory on the heap (calloc); throws std::bad_alloc when there is no room.
SynthMemoryPtr allocateSynthMemory();

// Renders the whole song (from wherever an earlier call stopped) into memory.soundBuffer and
// memory.envelopeLog, publishing progress with release order every 256 frames and at the end.
// The song is checked first (checkSong); an invalid song renders nothing and returns false.
bool renderSong(SynthMemory& memory, const Song& song);

// Renders up to frame `endFrame` (exclusive, at most songFrames) and stops; a later call goes on
// from there. Returns false, rendering nothing, when the song is invalid.
bool renderSongFrames(SynthMemory& memory, const Song& song, std::uint32_t endFrame);

// Frames finished so far (acquire): every frame below it, and every envelope record whose
// block lies below it, is complete and no longer written.
std::uint32_t renderedFrames(const SynthMemory& memory);

// The envelope record that play position `playPosition` (frames) reads.
inline constexpr std::uint32_t envelopeRecordOf(std::uint32_t playPosition) { return playPosition / envelopeLogPeriod; }

// That record, read after one acquire of the progress: null when it is not yet complete or lies
// beyond the song.
const EnvelopeRecord* envelopeRecordAt(const SynthMemory& memory, std::uint32_t playPosition);

// Copies `frameCount` stereo frames starting at `firstFrame` into `out` (2 floats per frame).
// Frames not yet rendered, or beyond the song, read as zero. Returns the rendered frames copied.
std::uint32_t copySoundFrames(const SynthMemory& memory, std::uint32_t firstFrame,
                              std::uint32_t frameCount, float* out);

// Starts renderSong(memory, song) on a detached thread; a second call on the same memory does
// nothing. `song` and `memory` must outlive the thread (a static song and memory do). Returns
// false when no thread could be started (nothing renders then: the song plays as silence).
bool startRenderThread(SynthMemory& memory, const Song& song);
