// The compiled song: it runs where it fits, gives the interpreter's bits,
// and reads the song's constants as it renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "synth/render_paths.h"
#include "synth/synth.h"
#include "synth/units.h"
#include "tests/synth/render_reference.h"
#include "tests/synth/same_state.h"
#include "tests/synth/song_builder.h"

namespace {

// The built-in song's tables, to be changed by a test.
struct SongCopy {
  std::vector<std::uint8_t> patterns, order, commands, params;
  std::vector<std::uint16_t> delays;

  explicit SongCopy(const Song& song)
      : patterns(song.songPatterns.begin(), song.songPatterns.end()),
        order(song.songOrder.begin(), song.songOrder.end()),
        commands(song.instrumentCommands.begin(), song.instrumentCommands.end()),
        params(song.instrumentParams.begin(), song.instrumentParams.end()),
        delays(song.delayLengths.begin(), song.delayLengths.end()) {}

  Song song() const { return {patterns, order, commands, params, delays}; }
};

// The built-in song with each track's order turned so that it starts where the track first
// starts a note: every instrument plays within the first seconds (in the song, the last track
// comes in after 90 seconds).
SongCopy busyBuiltinSong() {
  SongCopy copy(builtinSong());
  for (int track = 0; track < trackCount; ++track) {
    const auto begin = copy.order.begin() + track * songPositions;
    const auto first = std::find_if(begin, begin + songPositions, [&](std::uint8_t pattern) {
      const auto rows = copy.patterns.begin() + 16 * pattern;
      return std::any_of(rows, rows + 16, [](std::uint8_t note) { return note >= 2 && note < 128; });
    });
    std::rotate(begin, first == begin + songPositions ? begin : first, begin + songPositions);
  }
  return copy;
}

// Renders `song` to each end in turn through both runners and compares all that they leave.
void expectRunnersAgree(const Song& song, std::initializer_list<std::uint32_t> ends) {
  SynthMemoryPtr compiled = allocateSynthMemory(), interpreted = allocateSynthMemory();
  for (const std::uint32_t end : ends) {
    ASSERT_TRUE(renderSongFramesWith(*compiled, song, end, FrameRunner::automatic));
    ASSERT_TRUE(renderSongFramesWith(*interpreted, song, end, FrameRunner::interpreter));
  }
  expectSameState(*compiled, *interpreted, *(ends.end() - 1));
}

// How many tracks have a first envelope above zero in some log record of the first `frames`.
int tracksHeard(const SynthMemory& memory, std::uint32_t frames) {
  int heard = 0;
  for (int track = 0; track < trackCount; ++track) {
    for (std::uint32_t record = 0; record < frames / envelopeLogPeriod; ++record) {
      if (memory.envelopeLog[record].level[2 * track] > 0.0f) {
        ++heard;
        break;
      }
    }
  }
  return heard;
}

TEST(CompiledSong, RunsForTheBuiltinSongAndNotForOthers) {
  SynthMemoryPtr memory = allocateSynthMemory();
  EXPECT_TRUE(compiledSongRuns(builtinSong(), *memory));
  // Patterns and order do not change the programs.
  EXPECT_TRUE(compiledSongRuns(busyBuiltinSong().song(), *memory));
  const SongBuilder mix = makeMixSong();
  EXPECT_FALSE(compiledSongRuns(mix.song(), *memory));
  // A unit more in one instrument moves every program after it.
  SongCopy longer(builtinSong());
  longer.commands.insert(longer.commands.begin(), synth::opNop);
  EXPECT_FALSE(compiledSongRuns(longer.song(), *memory));
  // An invalid song renders nothing either way.
  SongCopy broken(builtinSong());
  broken.commands[0] = 99;
  EXPECT_FALSE(compiledSongRuns(broken.song(), *memory));
}

// Every instrument sounding, starting and ending notes, over uneven pieces (so that renders
// resume mid-tick, mid-record and with the programs decoded from a song under way).
TEST(CompiledSong, GivesTheInterpretersBits) {
  const SongCopy busy = busyBuiltinSong();
  const std::uint32_t whole = 2 * framesPerPattern + 7;
  expectRunnersAgree(busy.song(), {1u, 3845u, 70001u, whole});
  SynthMemoryPtr memory = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*memory, busy.song(), whole));
  EXPECT_EQ(tracksHeard(*memory, whole), trackCount);
}

TEST(CompiledSong, MatchesTheDispatcherOnTheBuiltinSong) {
  const SongCopy busy = busyBuiltinSong();
  SynthMemoryPtr compiled = allocateSynthMemory(), reference = allocateSynthMemory();
  const std::uint32_t frames = 3 * framesPerTick + 100;
  ASSERT_TRUE(compiledSongRuns(busy.song(), *compiled));
  ASSERT_TRUE(renderSongFrames(*compiled, busy.song(), frames));
  ASSERT_TRUE(renderSongFramesReference(*reference, busy.song(), frames));
  expectSameState(*compiled, *reference, frames);
}

// Constants come from the decoded programs as the compiled song runs, not from the song it was written
// for: changed parameter bytes (the first envelope's attack and every delay's input gain) still
// fit, and give what the interpreter gives.
TEST(CompiledSong, ReadsTheSongsConstants) {
  SongCopy changed = busyBuiltinSong();
  changed.params[0] = static_cast<std::uint8_t>(changed.params[0] ^ 5);
  std::size_t param = 0;
  for (const std::uint8_t opcode : changed.commands) {
    if (opcode == synth::opDelayBank) changed.params[param] = static_cast<std::uint8_t>(changed.params[param] / 2 + 1);
    if (opcode < synth::opcodeCount) param += static_cast<std::size_t>(synth::parameterBytes[opcode]);
  }
  SynthMemoryPtr memory = allocateSynthMemory();
  ASSERT_TRUE(compiledSongRuns(changed.song(), *memory));
  expectRunnersAgree(changed.song(), {5000u, framesPerPattern});
  // And the change is heard: the output differs from the unchanged song's.
  SynthMemoryPtr unchanged = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*memory, changed.song(), framesPerPattern));
  ASSERT_TRUE(renderSongFrames(*unchanged, busyBuiltinSong().song(), framesPerPattern));
  EXPECT_FALSE(sameBytes(memory->soundBuffer, unchanged->soundBuffer, sizeof(float) * 2 * framesPerPattern));
}

}  // namespace
