// Song checks: every kind of bad song is refused with its table, index and expectation.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "synth/song_check.h"
#include "tests/synth/song_builder.h"

namespace {

// A valid song whose track 0 instrument is written by `track0` (default: envelope to the mix).
SongBuilder songWith(const std::function<void(SongBuilder&)>& track0 = {}) {
  SongBuilder s;
  s.play(0, s.pattern({60, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1}));
  if (track0) {
    track0(s);
  } else {
    s.envelope(0, 40, 64, 40, 128).pan(64).output(128, 0);
  }
  s.end();
  for (int track = 1; track < trackCount; ++track) s.end();
  s.standardMaster();
  return s;
}

// Checks a song, expects exactly the problems named (table, index, words of the message), and
// that the quick check agrees.
void expectProblem(const SongBuilder& song, const std::string& table, std::size_t index,
                   const std::string& words) {
  const std::vector<SongProblem> problems = checkSong(song.song());
  EXPECT_FALSE(songIsValid(song.song()));
  ASSERT_FALSE(problems.empty()) << "no problem found; expected " << table << ": " << words;
  bool found = false;
  for (const SongProblem& problem : problems) {
    if (problem.table == table && problem.index == index &&
        problem.message.find(words) != std::string::npos) {
      found = true;
    }
  }
  std::string all;
  for (const SongProblem& problem : problems) all += describe(problem) + "\n";
  EXPECT_TRUE(found) << "expected " << table << "[" << index << "] with '" << words << "', got:\n"
                     << all;
}

constexpr std::size_t whole = SongProblem::wholeTable;

TEST(SongCheck, ValidSongsPass) {
  for (const SongBuilder& song : {songWith(), makeMixSong()}) {
    for (const SongProblem& problem : checkSong(song.song())) ADD_FAILURE() << describe(problem);
    EXPECT_TRUE(songIsValid(song.song()));
  }
  // The limits themselves are fine: 64 units, shapes 1 and 127, selector 8, field 1023.
  SongBuilder limits = songWith([](SongBuilder& s) {
    s.envelope(0, 0, 0, 0, 0).holdShaper(1, 0).holdShaper(127, 0).paramStore(64, 0x03FF);
    s.oscillator(64, 64, 0, 0, 64, 1, 128, 0x30).oscillator(64, 64, 0, 0, 64, 127, 128, 0x18);
    s.stackOp(2).stackOp(2).pan(64).output(64, 0);
    for (int i = 0; i < 54; ++i) s.nop();
  });
  for (const SongProblem& problem : checkSong(limits.song())) ADD_FAILURE() << describe(problem);
}

TEST(SongCheck, TableLengths) {
  SongBuilder order = songWith();
  order.songOrder.pop_back();
  expectProblem(order, "songOrder", whole, "expected 2940");
  SongBuilder patterns = songWith();
  patterns.songPatterns.push_back(0);
  expectProblem(patterns, "songPatterns", whole, "expected 16 bytes per pattern");
  SongBuilder none = songWith();
  none.songPatterns.clear();
  expectProblem(none, "songPatterns", whole, "1 to 128 patterns");
  SongBuilder many = songWith();
  many.songPatterns.resize(129 * 16);
  expectProblem(many, "songPatterns", whole, "1 to 128 patterns");
  SongBuilder extra = songWith();
  extra.instrumentParams.push_back(0);
  expectProblem(extra, "instrumentParams", extra.instrumentParams.size() - 1, "expected the table to end here");
  SongBuilder shortParams = songWith();
  shortParams.instrumentParams.pop_back();
  expectProblem(shortParams, "instrumentParams", whole, "needs bytes");
}

TEST(SongCheck, InstrumentCountAndUnits) {
  SongBuilder fewer = songWith();
  fewer.instrumentCommands.resize(fewer.instrumentCommands.size() - 9);  // the master's 8 units and end
  fewer.instrumentParams.resize(fewer.instrumentParams.size() - 25);
  expectProblem(fewer, "instrumentCommands", whole, "holds 15 instruments, expected 16");
  SongBuilder unended = songWith();
  unended.instrumentCommands.pop_back();
  expectProblem(unended, "instrumentCommands", whole, "ends inside instrument 15");
  SongBuilder more = songWith();
  more.instrumentCommands.push_back(0);
  expectProblem(more, "instrumentCommands", more.instrumentCommands.size() - 1, "follows the 16th");
  SongBuilder unknown = songWith();
  unknown.instrumentCommands[1] = 12;
  expectProblem(unknown, "instrumentCommands", 1, "is opcode 12, expected 0..11");
  SongBuilder crowded = songWith([](SongBuilder& s) {
    for (int i = 0; i < 65; ++i) s.nop();
  });
  expectProblem(crowded, "instrumentCommands", 64, "expected at most 64 units");
}

TEST(SongCheck, UnitParameters) {
  expectProblem(songWith([](SongBuilder& s) { s.envelope(0, 0, 0, 0, 0).paramStore(64, 0x0400).stackOp(1); }),
                "instrumentParams", 6, "expected a field index 0..1023");
  for (int shape : {0, 128, 200}) {
    expectProblem(songWith([shape](SongBuilder& s) { s.envelope(0, 0, 0, 0, 0).holdShaper(shape, 64).stackOp(1); }),
                  "instrumentParams", 5, "HoldShaper shape byte " + std::to_string(shape));
    expectProblem(songWith([shape](SongBuilder& s) { s.oscillator(64, 64, 0, 0, 64, shape, 128, 1).stackOp(1); }),
                  "instrumentParams", 5, "Oscillator shape byte " + std::to_string(shape));
  }
  for (int flags : {0x00, 0x03, 0x10, 0x41, 0x81, 0x28}) {
    expectProblem(songWith([flags](SongBuilder& s) { s.oscillator(64, 64, 0, 0, 64, 64, 128, flags).stackOp(1); }),
                  "instrumentParams", 7, "expected exactly one shape bit");
  }
  expectProblem(songWith([](SongBuilder& s) { s.accumulate(4).output(64, 0); }), "instrumentParams", 0,
                "Accumulate selector 4, expected 0 (main) or 8 (aux)");
}

TEST(SongCheck, DelayBanks) {
  const auto bank = [](int depth, int first, int lines) {
    return songWith([=](SongBuilder& s) {
      s.envelope(0, 0, 0, 0, 0).delayBank(64, 64, 64, 0, 0, depth, first, lines).pan(64).output(64, 0);
    });
  };
  expectProblem(bank(0, 1, 0), "instrumentParams", 12, "DelayBank line count 0");
  expectProblem(bank(0, 14, 9), "instrumentParams", 11, "expected entries below 22");
  expectProblem(bank(0, 0, 1), "delayLengths", 0, "expected a length of 1..65535");
  // Depth byte 128: m up to 2 x 1 x 1024 = 2048, beyond the 480 of entry 19; byte 40 gives 20.
  expectProblem(bank(128, 19, 1), "instrumentParams", 10, "up to 2048 samples");
  EXPECT_TRUE(songIsValid(bank(40, 19, 1).song()));
  SongBuilder shortLine = bank(40, 19, 1);
  shortLine.delayLengths[19] = 20;
  expectProblem(shortLine, "instrumentParams", 10, "up to 20 samples, expected less than the line length 20");
  shortLine.delayLengths[19] = 21;
  EXPECT_TRUE(songIsValid(shortLine.song()));
  // More lines than the pool: 7 banks of 150 lines, then the master's 16.
  SongBuilder greedy = songWith([](SongBuilder& s) {
    s.envelope(0, 0, 0, 0, 0);
    for (int i = 0; i < 7; ++i) s.delayBank(64, 64, 64, 0, 0, 0, 1, 150);
    s.pan(64).output(64, 0);
  });
  greedy.delayLengths.resize(200, 100);
  expectProblem(greedy, "instrumentParams", 5 + 6 * 8 + 7, "expected lines within the pool of 1024");
}

TEST(SongCheck, PatternNumbers) {
  SongBuilder s = songWith();
  s.songOrder[196 * 3 + 17] = 2;  // patterns 0 and 1 exist
  expectProblem(s, "songOrder", 196 * 3 + 17, "is pattern 2, expected a pattern number below 2");
}

TEST(SongCheck, SignalStack) {
  expectProblem(songWith([](SongBuilder& s) { s.filter(10, 10, 1).stackOp(1); }), "instrumentCommands", 0,
                "Filter needs 1 value");
  expectProblem(songWith([](SongBuilder& s) { s.paramStore(64, 0x0002); }), "instrumentCommands", 0,
                "ParamStore needs 1 value");
  expectProblem(songWith([](SongBuilder& s) { s.envelope(0, 0, 0, 0, 0).stackOp(8); }), "instrumentCommands", 1,
                "StackOp needs 4 values");
  expectProblem(songWith([](SongBuilder& s) { s.envelope(0, 0, 0, 0, 0).output(64, 0); }), "instrumentCommands", 1,
                "Output needs 2 values");
  // Nine values; and an Oscillator needs four free entries for its work.
  expectProblem(songWith([](SongBuilder& s) {
                  for (int i = 0; i < 9; ++i) s.envelope(0, 0, 0, 0, 0);
                }),
                "instrumentCommands", 8, "to 9 entries, expected at most 8");
  expectProblem(songWith([](SongBuilder& s) {
                  for (int i = 0; i < 5; ++i) s.envelope(0, 0, 0, 0, 0);
                  s.oscillator(64, 64, 0, 0, 64, 64, 128, 1);
                }),
                "instrumentCommands", 5, "expected at most 8");
  expectProblem(songWith([](SongBuilder& s) { s.envelope(0, 0, 0, 0, 0); }), "instrumentCommands", 1,
                "ends instrument 0 with 1 value on the signal stack, expected none");
  // A pop through the ParamStore's pop bit balances the stack.
  EXPECT_TRUE(songIsValid(songWith([](SongBuilder& s) { s.envelope(0, 0, 0, 0, 0).paramStore(64, 0x8002); }).song()));
}

TEST(SongCheck, DescribeNamesTableAndIndex) {
  EXPECT_EQ(describe({"songOrder", 12, "is pattern 9"}), "songOrder[12]: is pattern 9");
  EXPECT_EQ(describe({"songPatterns", whole, "has 3 bytes"}), "songPatterns: has 3 bytes");
}

}  // namespace
