// The render driver: both render paths agree, determinism, note rules, the log, publication.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <bit>
#include <cstring>
#include <thread>
#include <vector>

#include "synth/song_check.h"
#include "synth/synth.h"
#include "tests/synth/render_reference.h"
#include "tests/synth/same_state.h"
#include "tests/synth/song_builder.h"

namespace {

// Frames to render in tests: enough for notes, releases, echoes and several log records, short
// enough for a sanitizer build.
constexpr std::uint32_t shortStretch = 3 * framesPerTick + 700;

TEST(MixSong, IsValid) {
  const SongBuilder mix = makeMixSong();
  for (const SongProblem& problem : checkSong(mix.song())) ADD_FAILURE() << describe(problem);
}

TEST(RenderPaths, DecodedRenderMatchesTheDispatcherBitForBit) {
  const SongBuilder mix = makeMixSong();
  SynthMemoryPtr fast = allocateSynthMemory(), reference = allocateSynthMemory();
  // In uneven pieces, so that resuming mid-tick and mid-block is covered too.
  for (std::uint32_t end : {1000u, 3845u, 5000u, shortStretch}) {
    ASSERT_TRUE(renderSongFrames(*fast, mix.song(), end));
    ASSERT_TRUE(renderSongFramesReference(*reference, mix.song(), end));
  }
  expectSameState(*fast, *reference, shortStretch);
  // The stretch is not silence, else the comparison proves little.
  float loudest = 0;
  for (std::uint32_t i = 0; i < 2 * shortStretch; ++i) loudest = std::max(loudest, std::fabs(fast->soundBuffer[i]));
  EXPECT_GT(loudest, 0.01f);
}

// Unmodulated banks (depth 0) step their modulation phase all the same: with a rate it keeps
// changing, without one it settles after a step; both end as the dispatcher leaves them.
TEST(RenderPaths, UnmodulatedBanksLeaveThePhaseAsTheDispatcherDoes) {
  SongBuilder s;
  s.play(0, s.pattern({60, 1, 1, 1, 0, 1, 1, 1, 62, 1, 1, 1, 1, 1, 1, 1}), 0, 1);
  s.envelope(0, 0, 128, 0, 128)
      .delayBank(64, 64, 64, 10, 9, 0, 1, 1)
      .delayBank(64, 64, 64, 10, 0, 0, 2, 1)
      .delayBank(40, 128, 100, 20, 50, 0, 1, 8)
      .delayBank(40, 128, 100, 20, 0, 0, 9, 8)
      .pan(64)
      .output(128, 0)
      .end();
  for (int track = 1; track < trackCount; ++track) s.end();
  s.accumulate(0).delayBank(64, 64, 64, 0, 120, 0, 3, 1).output(128, 0).end();
  for (const SongProblem& problem : checkSong(s.song())) ADD_FAILURE() << describe(problem);
  SynthMemoryPtr fast = allocateSynthMemory(), reference = allocateSynthMemory();
  for (std::uint32_t end : {1u, 2u, 777u, shortStretch}) {
    ASSERT_TRUE(renderSongFrames(*fast, s.song(), end));
    ASSERT_TRUE(renderSongFramesReference(*reference, s.song(), end));
    expectSameState(*fast, *reference, end);
  }
  EXPECT_NE(fast->delayPool[0].lfoPhase, 0.0f);
}

TEST(RenderPaths, SameSongTwiceGivesIdenticalBits) {
  const SongBuilder mix = makeMixSong();
  SynthMemoryPtr first = allocateSynthMemory(), second = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*first, mix.song(), shortStretch));
  ASSERT_TRUE(renderSongFrames(*second, mix.song(), shortStretch));
  expectSameState(*first, *second, shortStretch);
}

// Track 0 plays `rows` at position 0 (then the silent pattern) through an envelope, panned and
// sent to the mix; tracks 1..14 have empty instruments; the master passes the main sum on.
SongBuilder oneTrackSong(std::initializer_list<std::uint8_t> rows, int attack = 64, int release = 64,
                         int gain = 128, int panPosition = 64) {
  SongBuilder s;
  s.play(0, s.pattern(rows), 0, 1);
  s.envelope(attack, 0, 128, release, gain).pan(panPosition).output(128, 0).end();
  for (int track = 1; track < trackCount; ++track) s.end();
  s.accumulate(0).output(128, 0).end();
  return s;
}

struct Rendered {
  SongBuilder builder;
  SynthMemoryPtr memory = allocateSynthMemory();
  explicit Rendered(SongBuilder b) : builder(std::move(b)) {}
  // Renders up to frame `end` and returns track 0's workspace.
  const InstrumentWorkspace& to(std::uint32_t end) {
    EXPECT_TRUE(renderSongFrames(*memory, builder.song(), end));
    return memory->workspaces[0];
  }
  int stage() const { return static_cast<int>(memory->workspaces[0].slots[0].field[0]); }
  float level() const { return std::bit_cast<float>(memory->workspaces[0].slots[0].field[1]); }
};

constexpr std::uint32_t tick = framesPerTick;

TEST(NoteRules, HoldAtTheFirstRowLeavesTheTrackSilent) {
  Rendered r(oneTrackSong({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  const InstrumentWorkspace& w = r.to(2 * tick);
  EXPECT_EQ(w.note, 0);
  EXPECT_EQ(w.releaseCount, 0);
  EXPECT_EQ(r.level(), 0.0f);
  for (std::uint32_t i = 0; i < 4 * tick; ++i) ASSERT_EQ(r.memory->soundBuffer[i], 0.0f);
}

TEST(NoteRules, NewNoteReleaseAndRepeatedRelease) {
  Rendered r(oneTrackSong({60, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 96, 128));
  const InstrumentWorkspace& w = r.to(1);
  EXPECT_EQ(w.note, 60);
  EXPECT_EQ(w.releaseCount, 0);
  EXPECT_EQ(r.level(), std::ldexp(1.0f, -18));  // attack byte 96: 2^-18 from 0, first frame
  r.to(2 * tick);
  EXPECT_EQ(w.releaseCount, 0);  // a hold row changes nothing
  EXPECT_EQ(r.stage(), 0);
  EXPECT_EQ(r.level(), std::ldexp(static_cast<float>(2 * tick), -18));
  r.to(2 * tick + 1);
  EXPECT_EQ(w.releaseCount, 1);  // the release row
  EXPECT_EQ(r.stage(), 3);
  r.to(3 * tick + 1);
  EXPECT_EQ(w.releaseCount, 2);  // a second 0 row: counted, nothing else changes
  EXPECT_EQ(r.stage(), 3);
  EXPECT_EQ(w.note, 60);
  r.to(5 * tick);
  EXPECT_EQ(w.releaseCount, 2);  // hold rows are not counted
}

TEST(NoteRules, ANoteRunsOnIntoTheNextPatternThroughHoldRows) {
  SongBuilder s;
  const std::uint8_t start = s.pattern({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 60});
  const std::uint8_t carry = s.pattern({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0});
  s.play(0, 0, 0, 2);  // silent at its first positions
  s.play(0, start, 2, 3);
  s.play(0, carry, 3, 4);
  s.envelope(96, 0, 128, 64, 128).pan(64).output(128, 0).end();
  for (int track = 1; track < trackCount; ++track) s.end();
  s.accumulate(0).output(128, 0).end();
  Rendered r(std::move(s));
  const InstrumentWorkspace& w = r.to(32 * tick);
  EXPECT_EQ(w.note, 0);  // pattern 0 is all releases of a note never started
  EXPECT_EQ(w.releaseCount, 32);
  EXPECT_EQ(r.level(), 0.0f);
  r.to(48 * tick + 10);  // the note starts at the last row of pattern `start`
  EXPECT_EQ(w.note, 60);
  EXPECT_EQ(w.releaseCount, 0);
  r.to(59 * tick);  // eleven rows of 1 into `carry`: still held, still rising
  EXPECT_EQ(w.note, 60);
  EXPECT_EQ(w.releaseCount, 0);
  EXPECT_EQ(r.level(), std::ldexp(static_cast<float>(12 * tick), -18));
  r.to(59 * tick + 1);  // then released
  EXPECT_EQ(w.releaseCount, 1);
  EXPECT_EQ(r.stage(), 3);
}

TEST(NoteRules, BytesFrom128ReleaseAndNeverStartANote) {
  for (std::uint8_t byte : {128, 200, 255}) {
    Rendered r(oneTrackSong({byte, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    const InstrumentWorkspace& w = r.to(tick + 10);
    EXPECT_EQ(w.note, 0) << int{byte};
    EXPECT_EQ(w.releaseCount, 1) << int{byte};
  }
  // And while a note sounds, such a byte releases it.
  Rendered r(oneTrackSong({60, 130, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 64, 128));
  const InstrumentWorkspace& w = r.to(tick + 1);
  EXPECT_EQ(w.note, 60);
  EXPECT_EQ(w.releaseCount, 1);
  EXPECT_EQ(r.stage(), 3);
}

TEST(NoteRules, NewNoteCutsAReleaseAndClearsTheSlots) {
  Rendered r(oneTrackSong({60, 0, 62, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 64, 128));
  r.to(2 * tick);
  EXPECT_EQ(r.stage(), 3);
  EXPECT_GT(r.level(), 0.5f);
  const InstrumentWorkspace& w = r.to(2 * tick + 1);
  EXPECT_EQ(w.note, 62);
  EXPECT_EQ(w.releaseCount, 0);
  EXPECT_EQ(r.stage(), 0);
  EXPECT_EQ(r.level(), 1.0f / 4096);  // restarted at attack from 0: no crossfade
  // The slots are cleared, the outputs are not (they are rewritten in the same frame).
  for (int slot = 3; slot < unitSlotsPerInstrument; ++slot) {
    for (std::uint32_t field : w.slots[slot].field) ASSERT_EQ(field, 0u);
  }
}

TEST(NoteRules, EndOfNoteSilencesTheTrackDespiteHoldRows) {
  // Release byte 0: from any level to 0 in one frame.
  Rendered r(oneTrackSong({60, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 0));
  const InstrumentWorkspace& w = r.to(tick);
  EXPECT_EQ(w.note, 60);
  r.to(tick + 1);  // release row: stage 4 in this frame, note 0 after it
  EXPECT_EQ(r.stage(), 4);
  EXPECT_EQ(w.note, 0);
  r.to(4 * tick);
  EXPECT_EQ(w.note, 0);
  EXPECT_EQ(r.memory->soundBuffer[2 * (4 * tick - 1)], 0.0f);
}

TEST(NoteRules, DelayLinesRingOnAcrossNotes) {
  SongBuilder s;
  s.play(0, s.pattern({60, 1, 1, 1, 0, 1, 1, 1, 62, 1, 1, 1, 1, 1, 1, 1}), 0, 1);
  s.envelope(0, 0, 128, 0, 128).delayBank(128, 0, 100, 0, 0, 0, 19, 1).pan(64).output(128, 0).end();
  for (int track = 1; track < trackCount; ++track) s.end();
  s.accumulate(0).output(128, 0).end();
  Rendered r(std::move(s));
  r.to(8 * tick + 5);
  const DelayLine& line = r.memory->delayPool[0];
  EXPECT_EQ(line.writeIndex, static_cast<std::int32_t>((8 * tick + 5) % 480));
  // The echo of the first note is still in the line after the new note started.
  float loudest = 0;
  for (float sample : line.samples) loudest = std::max(loudest, std::fabs(sample));
  EXPECT_GT(loudest, 0.1f);
  // And it still sounds in the silent stretch between the notes.
  EXPECT_NE(r.memory->soundBuffer[2 * (6 * tick)], 0.0f);
}

TEST(MasterInstrument, RunsWithNote15AndItsOutputIsClipped) {
  SongBuilder s;
  for (int track = 0; track < trackCount; ++track) s.end();
  s.stackOp(9).pan(0).output(128, 0).end();  // pushes 15 / 128, all to the left
  Rendered r(std::move(s));
  r.to(10);
  EXPECT_EQ(r.memory->soundBuffer[0], 15.0f / 128);
  EXPECT_EQ(r.memory->soundBuffer[1], 0.0f);
  EXPECT_EQ(r.memory->workspaces[trackCount].note, 15);

  // Track levels far above 1 reach the buffer as 1 (gain 1.99, full left).
  Rendered loud(oneTrackSong({60, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 0, 64, 255, 0));
  loud.to(100);
  EXPECT_GT(loud.memory->workspaces[trackCount].mainOut[0], 1.5f);
  for (std::uint32_t n = 0; n < 100; ++n) {
    ASSERT_EQ(loud.memory->soundBuffer[2 * n], 1.0f);
    ASSERT_EQ(loud.memory->soundBuffer[2 * n + 1], 0.0f);
  }
}

TEST(EnvelopeLog, EachRecordHoldsTheLastFrameOfItsBlock) {
  Rendered r(oneTrackSong({60, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 64));
  r.to(10 * 256 + 100);
  for (int record = 0; record < 10; ++record) {
    const EnvelopeRecord& log = r.memory->envelopeLog[record];
    // Attack 1/4096 per frame from frame 0: the block's last frame gives 256 (r + 1) / 4096.
    EXPECT_EQ(log.level[0], static_cast<float>(256 * (record + 1)) / 4096) << record;
    for (int i = 1; i < 32; ++i) {
      if (i % 2 == 1 || i >= 30) {
        ASSERT_EQ(log.level[i], 0.0f) << record << " " << i;
      }
    }
  }
  // The block being rendered holds its latest frame; the record after it is untouched.
  EXPECT_EQ(r.memory->envelopeLog[10].level[0], static_cast<float>(10 * 256 + 100) / 4096);
  EXPECT_EQ(r.memory->envelopeLog[11].level[0], 0.0f);
}

TEST(EnvelopeLog, TheLastRecordCoversSixtyFourFramesAndTheSongEnds) {
  Rendered r(oneTrackSong({60, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  // Start near the end: the driver goes on from the frame counter in memory.
  r.memory->renderPosition = songFrames - 600;
  r.memory->workspaces[0].note = 60;
  r.memory->workspaces[0].slots[0].field[0] = 2;  // a held note at level 0.5
  r.memory->workspaces[0].slots[0].field[1] = std::bit_cast<std::uint32_t>(0.5f);
  r.to(songFrames + 1000);
  EXPECT_EQ(renderedFrames(*r.memory), songFrames);
  EXPECT_EQ(r.memory->renderPosition, songFrames);
  EXPECT_EQ(envelopeRecordsInSong, 47102u);
  EXPECT_EQ(songFrames - 256 * (envelopeRecordsInSong - 1), 64u);
  EXPECT_EQ(r.memory->envelopeLog[47101].level[0], 0.5f);
  EXPECT_EQ(r.memory->envelopeLog[47102].level[0], 0.0f);
  // The last frame is at byte offset 96,463,352.
  const auto* bytes = reinterpret_cast<const unsigned char*>(r.memory->soundBuffer);
  float last[2];
  std::memcpy(last, bytes + 96463352, sizeof last);
  EXPECT_EQ(last[0], 0.25f);
  EXPECT_EQ(last[1], 0.25f);
  ASSERT_NE(envelopeRecordAt(*r.memory, songFrames - 1), nullptr);
  EXPECT_EQ(envelopeRecordAt(*r.memory, songFrames - 1)->level[0], 0.5f);
  EXPECT_EQ(envelopeRecordAt(*r.memory, songFrames), nullptr);  // beyond the song
}

TEST(Readers, SeeOnlyWhatIsPublished) {
  Rendered r(oneTrackSong({60, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 64));
  EXPECT_EQ(renderedFrames(*r.memory), 0u);
  EXPECT_EQ(envelopeRecordAt(*r.memory, 0), nullptr);
  r.to(1000);
  EXPECT_EQ(renderedFrames(*r.memory), 1000u);
  // Records 0..2 are complete; record 3 (frames 768..1023) is not yet.
  EXPECT_EQ(envelopeRecordOf(255), 0u);
  EXPECT_EQ(envelopeRecordOf(256), 1u);
  EXPECT_EQ(envelopeRecordOf(600), 2u);
  EXPECT_EQ(envelopeRecordOf(songFrames - 1), envelopeRecordsInSong - 1);
  EXPECT_EQ(envelopeRecordAt(*r.memory, 600), &r.memory->envelopeLog[2]);
  EXPECT_EQ(envelopeRecordAt(*r.memory, 600)->level[0], static_cast<float>(768) / 4096);
  EXPECT_EQ(envelopeRecordAt(*r.memory, 767), &r.memory->envelopeLog[2]);
  EXPECT_EQ(envelopeRecordAt(*r.memory, 768), nullptr);
  std::vector<float> frames(2 * 100, -5.0f);
  EXPECT_EQ(copySoundFrames(*r.memory, 950, 100, frames.data()), 50u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(frames[i], r.memory->soundBuffer[2 * 950 + i]);
    EXPECT_EQ(frames[100 + i], 0.0f);  // beyond what is rendered
  }
  EXPECT_NE(frames[99], 0.0f);
  EXPECT_EQ(copySoundFrames(*r.memory, songFrames - 10, 100, frames.data()), 0u);
  EXPECT_EQ(frames[199], 0.0f);
}

TEST(Readers, RenderThreadPublishesWhileOthersRead) {
  SongBuilder song = oneTrackSong({60, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
  SynthMemoryPtr memory = allocateSynthMemory();
  memory->renderPosition = songFrames - 3000;  // a short stretch within the song's last tick
  memory->workspaces[0].note = 60;
  memory->workspaces[0].slots[0].field[0] = 2;
  memory->workspaces[0].slots[0].field[1] = std::bit_cast<std::uint32_t>(0.5f);
  const Song view = song.song();
  // Whatever happens below, the memory outlives the thread: wait for the end of the song.
  struct WaitForEnd {
    const SynthMemory& memory;
    ~WaitForEnd() {
      while (renderedFrames(memory) < songFrames) std::this_thread::yield();
    }
  } waitForEnd{*memory};
  EXPECT_TRUE(startRenderThread(*memory, view));
  EXPECT_TRUE(startRenderThread(*memory, view));  // a second start does nothing
  std::uint32_t seen = 0;
  float frame[2];
  while (seen < songFrames) {
    const std::uint32_t now = renderedFrames(*memory);
    ASSERT_GE(now, seen);  // never goes backwards
    seen = now;
    if (now > songFrames - 3000) {
      ASSERT_EQ(copySoundFrames(*memory, now - 1, 1, frame), 1u);
      ASSERT_EQ(frame[0], 0.25f);
    }
  }
  ASSERT_NE(envelopeRecordAt(*memory, songFrames - 1), nullptr);
  EXPECT_EQ(envelopeRecordAt(*memory, songFrames - 1)->level[0], 0.5f);
}

TEST(RenderPaths, InvalidSongRendersNothing) {
  SongBuilder s = oneTrackSong({60, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
  s.instrumentCommands[0] = 12;  // no such unit
  SynthMemoryPtr memory = allocateSynthMemory();
  EXPECT_FALSE(renderSongFrames(*memory, s.song(), 1000));
  EXPECT_FALSE(renderSongFramesReference(*memory, s.song(), 1000));
  EXPECT_EQ(renderedFrames(*memory), 0u);
  EXPECT_EQ(memory->renderPosition, 0u);
}

TEST(BuiltinSong, IsValidAndRenders) {
  for (const SongProblem& problem : checkSong(builtinSong())) ADD_FAILURE() << describe(problem);
  SynthMemoryPtr fast = allocateSynthMemory(), reference = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*fast, builtinSong(), 3000));
  ASSERT_TRUE(renderSongFramesReference(*reference, builtinSong(), 3000));
  expectSameState(*fast, *reference, 3000);
}

}  // namespace
