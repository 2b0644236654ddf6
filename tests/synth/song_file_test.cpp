// Song files: JSON in and out, every malformed input refused with table and index.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "song_builder.h"
#include "song_file.h"

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

}  // namespace
