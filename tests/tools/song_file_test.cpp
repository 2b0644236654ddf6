// Song files: JSON in and out, every malformed input refused with table and index.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/synth/song_builder.h"
#include "tools/song_file.h"

namespace {

using Json = nlohmann::json;

Json songJson(const Song& song) { return Json::parse(songToJson(song)); }

std::vector<SongProblem> parse(const Json& json) {
  SongData data;
  return parseSongJson(json.dump(), data);
}

bool mentions(const std::vector<SongProblem>& problems, const std::string& table, std::size_t index,
              const std::string& words) {
  for (const SongProblem& p : problems) {
    if (p.table == table && p.index == index && p.message.find(words) != std::string::npos) return true;
  }
  return false;
}

std::string listed(const std::vector<SongProblem>& problems) {
  std::string out;
  for (const SongProblem& p : problems) out += describe(p) + "\n";
  return out;
}

TEST(SongFile, ExportAndReadBackGiveTheSameTables) {
  for (const SongBuilder& song : {makeMixSong()}) {
    SongData data;
    const std::vector<SongProblem> problems = parseSongJson(songToJson(song.song()), data);
    ASSERT_TRUE(problems.empty()) << listed(problems);
    EXPECT_EQ(data.songPatterns, song.songPatterns);
    EXPECT_EQ(data.songOrder, song.songOrder);
    EXPECT_EQ(data.instrumentCommands, song.instrumentCommands);
    EXPECT_EQ(data.instrumentParams, song.instrumentParams);
    EXPECT_EQ(data.delayLengths, song.delayLengths);
  }
  SongData builtin;
  EXPECT_TRUE(parseSongJson(songToJson(builtinSong()), builtin).empty());
  EXPECT_TRUE(std::equal(builtin.instrumentCommands.begin(), builtin.instrumentCommands.end(),
                         builtinSong().instrumentCommands.begin(), builtinSong().instrumentCommands.end()));
}

TEST(SongFile, NotJsonOrNotAnObject) {
  SongData data;
  EXPECT_TRUE(mentions(parseSongJson("{\"songPatterns\": [0, 1", data), "file", SongProblem::wholeTable,
                       "is not valid JSON"));
  EXPECT_TRUE(mentions(parse(Json::array({1, 2})), "file", SongProblem::wholeTable, "expected an object"));
}

TEST(SongFile, KeysAreExactlyTheFiveTables) {
  const SongBuilder song = makeMixSong();
  Json missing = songJson(song.song());
  missing.erase("delayLengths");
  EXPECT_TRUE(mentions(parse(missing), "delayLengths", SongProblem::wholeTable, "is missing"));
  Json extra = songJson(song.song());
  extra["tempo"] = 172;
  EXPECT_TRUE(mentions(parse(extra), "file", SongProblem::wholeTable, "has the key \"tempo\""));
  Json notArray = songJson(song.song());
  notArray["songOrder"] = "0,0,0";
  EXPECT_TRUE(mentions(parse(notArray), "songOrder", SongProblem::wholeTable, "expected an array of integers"));
}

TEST(SongFile, ValuesOutsideTheirRange) {
  const SongBuilder song = makeMixSong();
  const struct {
    const char* table;
    std::size_t index;
    Json value;
    const char* words;
  } cases[] = {
      {"songPatterns", 20, 256, "is 256, expected an integer 0..255"},
      {"songOrder", 7, -1, "is -1, expected an integer 0..255"},
      {"instrumentCommands", 3, 1.5, "is 1.5, expected an integer 0..255"},
      {"instrumentParams", 10, "7", "is \"7\", expected an integer 0..255"},
      {"instrumentParams", 11, true, "is true"},
      {"instrumentParams", 12, nullptr, "is null"},
      {"delayLengths", 5, 65536, "is 65536, expected an integer 0..65535"},
      {"delayLengths", 6, 18446744073709551615ull, "expected an integer 0..65535"},
  };
  for (const auto& c : cases) {
    Json json = songJson(song.song());
    json[c.table][c.index] = c.value;
    const std::vector<SongProblem> problems = parse(json);
    EXPECT_TRUE(mentions(problems, c.table, c.index, c.words)) << c.table << "\n" << listed(problems);
  }
}

TEST(SongFile, TablesThatParseAreCheckedAsASong) {
  Json json = songJson(makeMixSong().song());
  json["instrumentCommands"][0] = 13;
  EXPECT_TRUE(mentions(parse(json), "instrumentCommands", 0, "is opcode 13"));
  SongData data;
  const std::vector<SongProblem> unreadable = readSongFile("/nonexistent/song.json", data);
  ASSERT_EQ(unreadable.size(), 1u);
  EXPECT_EQ(unreadable[0].table, "file");
}

// The song's JSON text with the entry at table[index] replaced by `value` (raw text).
std::string withEntry(const char* table, std::size_t index, const std::string& value) {
  Json json = songJson(makeMixSong().song());
  json[table][index] = "@@";
  std::string text = json.dump();
  text.replace(text.find("\"@@\""), 4, value);
  return text;
}

// Inputs that once ended the tool with a crash: each is a problem at table[index].
TEST(SongFile, NumbersBeyondAnyRangeAndDeepNestingAreBadEntries) {
  const struct {
    std::string value;
    const char* words;
  } cases[] = {
      {"1e999", "is a number beyond the range of numbers"},
      {"-1e999", "is a number beyond the range of numbers"},
      {std::string(100000, '7'), "is a number beyond the range of numbers"},
      {"123456789012345678901234567890", "expected an integer 0..255"},
      {std::string(75000, '[') + std::string(75000, ']'), "is an array, expected an integer 0..255"},
      {std::string(75000, '[') + "{\"a\":1}" + std::string(75000, ']'), "is an array"},
      {"{\"deep\": " + std::string(5000, '[') + std::string(5000, ']') + "}", "is an object"},
  };
  for (const auto& c : cases) {
    SongData data;
    const std::vector<SongProblem> problems = parseSongJson(withEntry("instrumentParams", 4, c.value), data);
    EXPECT_TRUE(mentions(problems, "instrumentParams", 4, c.words)) << c.value.substr(0, 20) << "\n" << listed(problems);
    for (const SongProblem& p : problems) EXPECT_LT(describe(p).size(), 300u) << describe(p).substr(0, 300);
  }
}

TEST(SongFile, ABadValueIsQuotedOnlyInPart) {
  const std::string huge(10'000'000, 'x');
  SongData data;
  std::vector<SongProblem> problems = parseSongJson(withEntry("songOrder", 2, "\"" + huge + "\""), data);
  // Over the size limit: refused before anything else is looked at.
  EXPECT_TRUE(mentions(problems, "file", SongProblem::wholeTable, "has more than")) << listed(problems).substr(0, 300);
  const std::string big(200'000, 'y');
  problems = parseSongJson(withEntry("songOrder", 2, "\"" + big + "\""), data);
  ASSERT_TRUE(mentions(problems, "songOrder", 2, "is \"yyyy")) << listed(problems).substr(0, 300);
  EXPECT_TRUE(mentions(problems, "songOrder", 2, "(200000 characters)"));
  EXPECT_LT(listed(problems).size(), 300u);
  // A long key and an unterminated long string: short messages too.
  Json json = songJson(makeMixSong().song());
  json[std::string(100'000, 'k')] = 1;
  problems = parse(json);
  EXPECT_TRUE(mentions(problems, "file", SongProblem::wholeTable, "has the key \"kkk"));
  EXPECT_LT(listed(problems).size(), 300u);
  problems = parseSongJson("{\"songOrder\": [\"" + big, data);
  EXPECT_TRUE(mentions(problems, "file", SongProblem::wholeTable, "is not valid JSON"));
  EXPECT_LT(listed(problems).size(), 400u) << listed(problems).substr(0, 400);
}

TEST(SongFile, NothingButJsonAndWithinTheLimit) {
  const std::string valid = songToJson(makeMixSong().song());
  SongData data;
  ASSERT_TRUE(parseSongJson(valid, data).empty());
  // The JSON reader alone would stop at the NUL and take the song.
  EXPECT_TRUE(mentions(parseSongJson(valid + std::string(1, '\0') + "garbage", data), "file",
                       SongProblem::wholeTable, "NUL byte at byte " + std::to_string(valid.size())));
  EXPECT_TRUE(mentions(parseSongJson(valid + "garbage", data), "file", SongProblem::wholeTable, "is not valid JSON"));
  EXPECT_TRUE(mentions(parseSongJson(valid + "{}", data), "file", SongProblem::wholeTable, "is not valid JSON"));
  EXPECT_TRUE(parseSongJson(valid + " \n\t", data).empty());
  // Padding up to the limit is still a song; one byte more is refused.
  const std::string padded = valid + std::string(songFileLimit - valid.size(), ' ');
  EXPECT_TRUE(parseSongJson(padded, data).empty());
  EXPECT_TRUE(mentions(parseSongJson(padded + " ", data), "file", SongProblem::wholeTable,
                       "has more than " + std::to_string(songFileLimit) + " bytes"));
  // Each table once.
  std::string twice = valid;
  twice.insert(1, "\"songOrder\": [1],");
  EXPECT_TRUE(mentions(parseSongJson(twice, data), "file", SongProblem::wholeTable, "\"songOrder\" twice"));
}

TEST(SongFile, FilesThatAreNotSongFiles) {
  SongData data;
  const std::vector<SongProblem> folder = readSongFile("/", data);
  ASSERT_EQ(folder.size(), 1u);
  EXPECT_EQ(describe(folder[0]), "file: cannot be read: /: it is a folder, expected a song file");
  // An endless device is read only up to the limit.
  const std::vector<SongProblem> endless = readSongFile("/dev/zero", data);
  ASSERT_EQ(endless.size(), 1u);
  EXPECT_NE(endless[0].message.find("has more than"), std::string::npos) << endless[0].message;
}

}  // namespace
