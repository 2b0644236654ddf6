// The built-in song: the fixed tables, the instruments' unit lists and telling bytes, the signal
// stack, the delay lines, and the musical structure the pictures depend on (flash counts per
// bar, sustained parts in every scene, a silent end).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "synth/format.h"
#include "synth/song.h"
#include "synth/song/notation.h"
#include "synth/song_check.h"

namespace {

const Song& song() { return builtinSong(); }

constexpr int positions = 196;
constexpr int trackCount = 15;

std::uint8_t order(int track, int position) { return song().songOrder[positions * track + position]; }
std::uint8_t row(int pattern, int r) { return song().songPatterns[16 * pattern + r]; }
bool isNote(std::uint8_t b) { return static_cast<std::int8_t>(b) >= 2; }

// One instrument as it lies in the streams.
struct Unit {
  std::uint8_t opcode;
  std::vector<std::uint8_t> params;
};
using Instrument = std::vector<Unit>;

int paramCount(std::uint8_t opcode) { return synth::parameterBytes[opcode]; }

std::vector<Instrument> instruments() {
  std::vector<Instrument> all(1);
  std::size_t p = 0;
  for (std::uint8_t op : song().instrumentCommands) {
    if (op == synth::opEnd) {
      all.emplace_back();
      continue;
    }
    const int n = paramCount(op);
    Unit u{op, {}};
    for (int i = 0; i < n; ++i) u.params.push_back(song().instrumentParams[p++]);
    all.back().push_back(u);
  }
  all.pop_back();  // nothing after the last terminator
  return all;
}

std::string unitLetters(const Instrument& instrument) {
  // E envelope, O oscillator, F filter, H hold shaper, D delay bank, S stack op, P param store,
  // N pan, U output, A accumulate
  const char* letters = "-EOFHDSPNUA.";
  std::string s;
  for (const auto& u : instrument) s += letters[u.opcode];
  return s;
}

TEST(BuiltinSong, PassesTheSongChecks) {
  const auto problems = checkSong(song());
  for (const auto& p : problems) ADD_FAILURE() << describe(p);
  EXPECT_TRUE(songIsValid(song()));
}

TEST(BuiltinSong, HasNinetyEightPatternsAndTheFixedOnes) {
  ASSERT_EQ(song().songPatterns.size(), 98u * 16u);
  for (int r = 0; r < 16; ++r) EXPECT_EQ(row(0, r), 0) << "row " << r;
  const std::array<std::uint8_t, 16> two{57, 1, 1, 1, 1, 0, 55, 1, 1, 1, 1, 1, 53, 1, 1, 1};
  const std::array<std::uint8_t, 16> twentyFive{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
  for (int r = 0; r < 16; ++r) {
    EXPECT_EQ(row(2, r), two[r]) << "pattern 2 row " << r;
    EXPECT_EQ(row(25, r), twentyFive[r]) << "pattern 25 row " << r;
  }
}

TEST(BuiltinSong, NotesLieBetween47And73) {
  for (std::size_t i = 0; i < song().songPatterns.size(); ++i) {
    const std::uint8_t b = song().songPatterns[i];
    EXPECT_TRUE(b <= 1 || (b >= 47 && b <= 73)) << "pattern " << i / 16 << " row " << i % 16 << ": " << int(b);
  }
}

TEST(BuiltinSong, OrderHasFifteenTracksOfKnownPatterns) {
  ASSERT_EQ(song().songOrder.size(), 15u * 196u);
  std::set<int> used;
  for (std::uint8_t p : song().songOrder) {
    EXPECT_LT(p, 98);
    used.insert(p);
  }
  EXPECT_EQ(used.size(), 98u) << "every pattern is played somewhere";
}

TEST(BuiltinSong, TrackFourOpensTheSongAndStopsAt26) {
  const std::array<std::uint8_t, 8> start{24, 25, 26, 25, 27, 12, 12, 28};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(order(4, k), start[k]) << "position " << k;
  for (int k = 26; k < positions; ++k) EXPECT_EQ(order(4, k), 0) << "position " << k;
  EXPECT_NE(order(4, 25), 0);
}

TEST(BuiltinSong, InstrumentsHaveTheirUnitLists) {
  ASSERT_EQ(song().instrumentCommands.size(), 279u);
  ASSERT_EQ(song().instrumentParams.size(), 946u);
  const auto all = instruments();
  ASSERT_EQ(all.size(), 16u);
  const std::array<const char*, 16> expected{
      "EOOSSHDFFEOSFSEHPPSNU",
      "EEPSOOSOSOSOSSFFFDNDU",
      "EPESSPSOOSSFFFFOPSDDNDU",
      "EPESOSFFFFNU",
      "EOOOPPSSFFHSNDSDSU",
      "EPOOSFSOPSOPSDNSDSU",
      "EPEHPSOSFFFFNU",
      "EPEPSOOFSSFFFNDU",
      "EPEPSOOFSSFFFNSDSU",
      "EPESOSFFFFNU",
      "EPEPSOOFSSFDFNU",
      "EOOOSSSFHDFFFHNU",
      "EPOSFHFOSDNDU",
      "EOFFSESDNU",
      "EEPSOOOSSSFHDFFFHNDU",
      "ADSDSASOSSHSHSU",
  };
  for (int i = 0; i < 16; ++i) EXPECT_EQ(unitLetters(all[i]), expected[i]) << "instrument " << i;
}

TEST(BuiltinSong, MasterInstrumentIsExactlyTheBus) {
  const auto all = instruments();
  const std::vector<std::uint8_t> bytes{8, 48, 128, 123, 32, 0, 0, 1, 8, 5,  48, 128, 123, 16, 0,  0, 9, 8, 5,
                                        0, 8, 64, 64, 0, 0, 255, 64, 48, 4, 4, 10, 80, 128, 5, 80, 128, 5, 104, 0};
  std::vector<std::uint8_t> got;
  for (const auto& u : all[15]) got.insert(got.end(), u.params.begin(), u.params.end());
  EXPECT_EQ(got, bytes);
}

TEST(BuiltinSong, TellingBytes) {
  const auto all = instruments();
  EXPECT_EQ(all[0][1].params, (std::vector<std::uint8_t>{64, 58, 0, 0, 128, 127, 128, 1}));
  EXPECT_EQ(all[12][7].params, (std::vector<std::uint8_t>{80, 64, 0, 253, 255, 64, 128, 48}));
  EXPECT_EQ(all[12][8].opcode, synth::opStackOp);
  EXPECT_EQ(all[12][8].params, (std::vector<std::uint8_t>{3}));
  ASSERT_EQ(all[1][2].opcode, synth::opParamStore);
  EXPECT_EQ(all[1][2].params, (std::vector<std::uint8_t>{1, 0xE4, 0x00}));
}

TEST(BuiltinSong, ParamStoresWriteOnlyKnownTargetsOfTheRightUnit) {
  struct Target {
    std::uint16_t word;
    std::uint8_t opcode;  // the unit that must sit in the target slot
  };
  const std::array<Target, 13> allowed{{{0x0002, 1}, {0x0011, 2}, {0x0012, 2}, {0x0021, 2}, {0x0022, 2},
                                        {0x0025, 2}, {0x0051, 2}, {0x0061, 2}, {0x0054, 3}, {0x00B4, 3},
                                        {0x00D4, 3}, {0x00E4, 3}, {0x0140, 8}}};
  const auto all = instruments();
  int stores = 0;
  for (int i = 0; i < 16; ++i)
    for (const auto& u : all[i]) {
      if (u.opcode != synth::opParamStore) continue;
      ++stores;
      const std::uint16_t word = static_cast<std::uint16_t>(u.params[1] | (u.params[2] << 8));
      const auto it = std::find_if(allowed.begin(), allowed.end(), [&](const Target& t) { return t.word == word; });
      ASSERT_NE(it, allowed.end()) << "instrument " << i << " word " << std::hex << word;
      const std::size_t slot = word >> 4;
      ASSERT_LT(slot, all[i].size()) << "instrument " << i;
      EXPECT_EQ(all[i][slot].opcode, it->opcode) << "instrument " << i << " word " << std::hex << word;
    }
  EXPECT_GT(stores, 0);
}

TEST(BuiltinSong, StackStaysWithinFourAndEndsEmpty) {
  const auto all = instruments();
  for (int i = 0; i < 16; ++i) {
    int depth = 0;
    for (std::size_t k = 0; k < all[i].size(); ++k) {
      song::Unit u{all[i][k].opcode, static_cast<std::uint8_t>(all[i][k].params.size()), {}};
      std::copy(all[i][k].params.begin(), all[i][k].params.end(), u.bytes.begin());
      ASSERT_GE(depth, song::stackPops(u)) << "instrument " << i << " slot " << k;
      depth += song::stackPushes(u) - song::stackPops(u);
      EXPECT_LE(depth, 4) << "instrument " << i << " slot " << k;
    }
    EXPECT_EQ(depth, 0) << "instrument " << i;
    if (i < 15) {
      EXPECT_EQ(all[i][0].opcode, synth::opEnvelope) << "track " << i << " starts with an envelope";
    }
  }
}

TEST(BuiltinSong, DelayLinesAreTheReverberatorsAndSingleLines) {
  const std::vector<std::uint16_t> lengths{0,    1116, 1188, 1276, 1356,  1422,  1492, 1556, 1618, 1140, 1212,
                                           1300, 1380, 1446, 1516, 1580, 1642, 15383, 23075, 480, 11537, 544};
  EXPECT_EQ(std::vector<std::uint16_t>(song().delayLengths.begin(), song().delayLengths.end()), lengths);
  const auto all = instruments();
  int lines = 0;
  for (int i = 0; i < 16; ++i) {
    int eightLine = 0;
    for (const auto& u : all[i]) {
      if (u.opcode != synth::opDelayBank) continue;
      const int first = u.params[6], count = u.params[7];
      lines += count;
      ASSERT_GE(first, 1);
      ASSERT_LE(first + count, 22);
      if (count == 8) {
        ++eightLine;
        if (i < 15) {
          EXPECT_EQ(first, 9) << "track " << i;
        }
      } else {
        EXPECT_EQ(count, 1) << "instrument " << i;
      }
    }
    const bool reverberated = i == 10 || i == 12 || i == 13;
    if (i < 15) {
      EXPECT_EQ(eightLine, reverberated ? 1 : 0) << "track " << i;
    } else {
      EXPECT_EQ(eightLine, 2);
    }
  }
  EXPECT_EQ(lines, 56);
}

// The first envelope of a flashing track jumps to 1 and stays above 0.7 long enough for a frame
// at 60 per second (735 frames apart, levels logged every 256) to see it, then falls below 0.7
// until the next hit; a sustained part's first envelope stays high while the note is held.
TEST(BuiltinSong, FirstEnvelopesSuitThePictures) {
  const auto all = instruments();
  const auto rate = [](std::uint8_t b) { return std::exp2(-0.1875 * b); };
  for (int t : {0, 13, 2, 3, 9, 10, 11, 12}) {
    const auto& env = all[t][0].params;
    EXPECT_LE(1.0 / rate(env[0]), 64.0) << "track " << t << " attack";
    EXPECT_GE(0.3 / rate(env[1]), 1000.0) << "track " << t << " decay";
    EXPECT_LT(env[2] / 128.0, 0.7) << "track " << t << " sustain";
  }
  for (int t : {6, 7, 8}) EXPECT_GE(all[t][0].params[2] / 128.0, 0.3) << "track " << t << " sustain";
}

// Rows at which a track starts a note in a bar (new notes are what make a first envelope jump).
std::set<int> onsets(int track, int bar) {
  std::set<int> rows;
  for (int r = 0; r < 16; ++r)
    if (isNote(row(order(track, bar), r))) rows.insert(r);
  return rows;
}

TEST(BuiltinSong, EveryTrackPlays) {
  for (int t = 0; t < trackCount; ++t) {
    int notes = 0;
    for (int k = 0; k < positions; ++k) notes += static_cast<int>(onsets(t, k).size());
    EXPECT_GT(notes, 0) << "track " << t;
  }
}

// Flashes are accents: no more distinct hit rows per bar than the pictures can take. A hit on
// the first row of the next bar counts too: the frame loop reads the level logged at the end of
// a 256-frame block, which can see it a few milliseconds before the bar ends.
TEST(BuiltinSong, FlashHitsPerBarStayWithinLimits) {
  for (int k = 0; k < positions; ++k) {
    std::set<int> kicks, snares;
    for (int t : {0, 13}) {
      for (int r : onsets(t, k)) kicks.insert(r);
      if (k + 1 < positions && onsets(t, k + 1).count(0)) kicks.insert(16);
    }
    for (int t : {2, 3, 9, 10, 11, 12}) {
      for (int r : onsets(t, k)) snares.insert(r);
      if (k + 1 < positions && onsets(t, k + 1).count(0)) snares.insert(16);
    }
    EXPECT_LE(kicks.size(), 4u) << "bar " << k;
    EXPECT_LE(snares.size(), 8u) << "bar " << k;
  }
}

// Whether a track holds a note at each row of the song (note until release; hold keeps state).
std::vector<bool> sounding(int track) {
  std::vector<bool> on(positions * 16, false);
  bool playing = false;
  for (int k = 0; k < positions; ++k)
    for (int r = 0; r < 16; ++r) {
      const std::uint8_t b = row(order(track, k), r);
      if (b != 1) playing = isNote(b);
      on[16 * k + r] = playing;
    }
  return on;
}

TEST(BuiltinSong, SustainedPartsPlayThroughEveryScene) {
  std::array<std::vector<bool>, 3> parts{sounding(6), sounding(7), sounding(8)};
  for (int k = 32; k < 192; ++k) {
    int rows = 0;
    for (int r = 0; r < 16; ++r)
      rows += (parts[0][16 * k + r] || parts[1][16 * k + r] || parts[2][16 * k + r]) ? 1 : 0;
    EXPECT_GE(rows, 14) << "bar " << k;
  }
}

// A new note clears the voice within a sample; the lead, the opening line, the stab, the bass and
// the pads, held, would click. Every note of theirs starts after a row with nothing held.
TEST(BuiltinSong, HeldPartsRestARowBeforeEveryNewNote) {
  for (int t : {1, 4, 5, 6, 7, 8}) {
    const auto on = sounding(t);
    int notes = 0;
    for (int k = 0; k < positions; ++k)
      for (int r = 0; r < 16; ++r) {
        if (!isNote(row(order(t, k), r))) continue;
        ++notes;
        const int i = 16 * k + r;
        EXPECT_TRUE(i == 0 || !on[i - 1]) << "track " << t << " bar " << k << " row " << r << " (pattern "
                                          << int(order(t, k)) << ") follows a held note";
      }
    EXPECT_GT(notes, 0) << "track " << t;
  }
}

// The arpeggio does not rest before its notes: its first envelope falls to nothing within two
// rows, so a note two rows after the one before starts on silence; one a row after would cut it.
TEST(BuiltinSong, ArpeggioNotesStartOnSilence) {
  const auto all = instruments();
  const auto& env = all[14][0].params;
  const auto frames = [](std::uint8_t b) { return 1.0 / std::exp2(-0.1875 * b); };
  EXPECT_EQ(env[2], 0) << "sustain";
  EXPECT_LE(frames(env[0]) + frames(env[1]), 2 * 3845.0) << "attack and decay";
  int last = -2, notes = 0;
  for (int i = 0; i < positions * 16; ++i) {
    if (!isNote(row(order(14, i / 16), i % 16))) continue;
    ++notes;
    EXPECT_GE(i - last, 2) << "bar " << i / 16 << " row " << i % 16 << " (pattern " << int(order(14, i / 16))
                           << ") a row after the note before";
    last = i;
  }
  EXPECT_GT(notes, 0);
}

TEST(BuiltinSong, ACrashMarksEverySceneChange) {
  for (int k : {32, 64, 80, 96, 112, 128, 144, 160, 176, 192}) EXPECT_TRUE(onsets(13, k).count(0)) << "bar " << k;
}

TEST(BuiltinSong, EverythingIsReleasedForTheLastBars) {
  for (int t = 0; t < trackCount; ++t) {
    const auto on = sounding(t);
    for (int i = 16 * 193; i < positions * 16; ++i) ASSERT_FALSE(on[i]) << "track " << t << " row " << i;
    for (int k = 193; k < positions; ++k) EXPECT_TRUE(onsets(t, k).empty()) << "track " << t << " bar " << k;
  }
}

// The notation: names to note numbers, rows and arrangements, and its refusals.
TEST(SongNotation, NamesNotesAndRows) {
  static_assert(song::noteNumber("A3") == 69);
  static_assert(song::noteNumber("A2") == 57);
  static_assert(song::noteNumber("C#4") == 73);
  static_assert(song::noteNumber("Bb1") == 46);
  static_assert(song::noteNumber("B1") == 47);
  constexpr auto p = song::pattern("A2 . . . . - G2 . . . . . F2 . . .");
  static_assert(p == song::Pattern{57, 1, 1, 1, 1, 0, 55, 1, 1, 1, 1, 1, 53, 1, 1, 1});
  constexpr std::array<song::NamedPattern, 3> table{{{"rest", ""}, {"a", ""}, {"b", ""}}};
  constexpr auto a = song::arrangement(table, "2*[ a b ] | 190*rest a b");
  static_assert(a[0] == 1 && a[1] == 2 && a[2] == 1 && a[3] == 2 && a[4] == 0 && a[194] == 1 && a[195] == 2);
  EXPECT_THROW(song::noteNumber("H2"), const char*);
  EXPECT_THROW(song::pattern("A2 . ."), const char*);
  EXPECT_THROW(song::arrangement(table, "195*rest"), const char*);
  EXPECT_THROW(song::arrangement(table, "196*rest c"), const char*);
}

}  // namespace
