// Song files mutated at random, with a fixed seed: every input, however broken, is a song or a
// list of short problems, never a crash, a hang or an exception. Most cases run through the
// reader in this process; a smaller number, and the inputs that once crashed the tool, run
// through intro-tool itself, which must exit 0 or 2 in time and leave nothing behind on 2.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "tests/synth/song_builder.h"
#include "tools/song_file.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr std::uint64_t seed = 0x5eed'2026'1209;
constexpr int inProcessCases = 3000;
constexpr int toolCases = 40;

constexpr const char* tables[] = {"songPatterns", "songOrder", "instrumentCommands", "instrumentParams",
                                  "delayLengths"};

// A mutator that knows the shape of a song file: it breaks values, lengths, types and nesting
// through the document, and bytes through the text.
class SongMutator {
 public:
  explicit SongMutator(std::uint64_t caseSeed) : random_(caseSeed) {}

  std::string mutate(const Json& song) {
    Json json = song;
    std::vector<std::string> rawValues;  // text spliced in where the document holds a marker
    const int changes = 1 + below(3);
    for (int c = 0; c < changes; ++c) structural(json, rawValues);
    std::string text = json.dump(below(2) == 0 ? -1 : 1);
    for (const std::string& raw : rawValues) {
      const std::size_t at = text.find("\"@raw@\"");
      if (at != std::string::npos) text.replace(at, 7, raw);
    }
    if (below(4) == 0) textual(text);
    return text;
  }

 private:
  int below(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }
  const char* anyTable() { return tables[below(5)]; }

  // One of the values that break an entry.
  Json badValue(std::vector<std::string>& rawValues) {
    switch (below(12)) {
      case 0: return -1;
      case 1: return 256 + below(100000);
      case 2: return 65536;
      case 3: return std::numeric_limits<std::int64_t>::min();
      case 4: return std::numeric_limits<std::uint64_t>::max();
      case 5: return 0.5 + below(300);
      case 6: return std::string(below(3) == 0 ? 100000u : 3u, static_cast<char>('a' + below(26)));
      case 7: return below(2) == 0;
      case 8: return nullptr;
      case 9: return Json::object({{"k", below(5)}});
      case 10: {
        // Nested arrays, sometimes very deep.
        const std::size_t depth = below(3) == 0 ? 50000 + static_cast<std::size_t>(below(50000)) : 1 + below(20);
        rawValues.push_back(std::string(depth, '[') + std::string(depth, ']'));
        return "@raw@";
      }
      default: {
        const char* huge[] = {"1e999", "-1e999", "1e-999", "-0", "0.0", "1e2", "4e9"};
        if (below(3) == 0) {
          rawValues.push_back(std::string(1 + static_cast<std::size_t>(below(3000)), '9'));
        } else {
          rawValues.push_back(huge[below(7)]);
        }
        return "@raw@";
      }
    }
  }

  void structural(Json& json, std::vector<std::string>& rawValues) {
    const char* table = anyTable();
    if (!json.is_object()) return;
    Json* entries = json.contains(table) && json[table].is_array() ? &json[table] : nullptr;
    switch (below(9)) {
      case 0:
      case 1:
        if (entries != nullptr && !entries->empty()) (*entries)[below(static_cast<int>(entries->size()))] = badValue(rawValues);
        break;
      case 2:  // a value in range that may still break the song
        if (entries != nullptr && !entries->empty()) (*entries)[below(static_cast<int>(entries->size()))] = below(256);
        break;
      case 3:  // shorter
        if (entries != nullptr && !entries->empty()) {
          const auto keep = static_cast<std::size_t>(below(static_cast<int>(entries->size())));
          entries->erase(entries->begin() + static_cast<std::ptrdiff_t>(keep), entries->end());
        }
        break;
      case 4:  // longer
        if (entries != nullptr) {
          for (int i = below(40); i >= 0; --i) entries->push_back(below(300));
        }
        break;
      case 5:  // the table of the wrong type
        json[table] = below(2) == 0 ? Json(7) : below(2) == 0 ? Json("songOrder") : Json::object({{"0", 1}});
        break;
      case 6:
        json.erase(table);
        break;
      case 7:
        json["tempo" + std::to_string(below(3))] = below(200);
        break;
      default:  // the whole document replaced by a value of another kind
        if (below(4) == 0) json = Json::array({1, 2, 3});
        break;
    }
  }

  void textual(std::string& text) {
    switch (below(4)) {
      case 0:  // truncated
        text.resize(static_cast<std::size_t>(below(static_cast<int>(text.size()) + 1)));
        break;
      case 1:  // trailing bytes, a NUL among them
        text += std::string(1, '\0') + "garbage";
        break;
      case 2:
        text += below(2) == 0 ? "]" : "{}";
        break;
      default:  // bytes flipped
        for (int i = below(5); i >= 0 && !text.empty(); --i) {
          text[static_cast<std::size_t>(below(static_cast<int>(text.size())))] = static_cast<char>(below(256));
        }
        break;
    }
  }

  std::mt19937_64 random_;
};

bool knownTable(const std::string& name) {
  if (name == "file") return true;
  for (const char* table : tables) {
    if (name == table) return true;
  }
  return false;
}

// The reader's verdict on one input must be a song or short problems that name a table.
void expectSongOrProblems(const std::string& text, std::uint64_t caseSeed) {
  SongData data;
  std::vector<SongProblem> problems;
  try {
    problems = parseSongJson(text, data);
  } catch (const std::exception& error) {
    FAIL() << "case seed " << caseSeed << ": " << error.what();
  }
  if (problems.empty()) {
    EXPECT_TRUE(songIsValid(data.song())) << "case seed " << caseSeed << " accepted an invalid song";
    return;
  }
  for (const SongProblem& problem : problems) {
    EXPECT_TRUE(knownTable(problem.table)) << "case seed " << caseSeed << ": " << problem.table.substr(0, 80);
    EXPECT_LT(describe(problem).size(), 400u) << "case seed " << caseSeed << ": " << describe(problem).substr(0, 400);
  }
}

std::vector<Json> baseSongs() {
  return {Json::parse(songToJson(makeMixSong().song())), Json::parse(songToJson(builtinSong()))};
}

TEST(SongFileFuzz, EveryMutatedFileIsASongOrProblems) {
  const std::vector<Json> songs = baseSongs();
  std::mt19937_64 seeds(seed);
  int accepted = 0;
  for (int i = 0; i < inProcessCases && !HasFatalFailure(); ++i) {
    const std::uint64_t caseSeed = seeds();
    SongMutator mutator(caseSeed);
    const std::string text = mutator.mutate(songs[caseSeed % songs.size()]);
    SongData data;
    expectSongOrProblems(text, caseSeed);
    if (::testing::Test::HasFailure()) break;  // one case's report is enough
    accepted += parseSongJson(text, data).empty() ? 1 : 0;
  }
  // The mutator must break most files, and leave a few good (a value in range, a wider layout).
  EXPECT_GT(accepted, 0);
  EXPECT_LT(accepted, inProcessCases / 2);
}

class SongFileFuzzTool : public ::testing::Test {
 protected:
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() / ("intro-song-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
  }
  void TearDown() override { fs::remove_all(dir); }

  // intro-tool song on the file; the exit code (124: it ran out of time), with stderr.
  int run(const std::string& text, std::string& errors) {
    const fs::path song = dir / "song.json";
    std::ofstream(song, std::ios::binary) << text;
    const fs::path err = dir / "stderr.txt";
    const std::string command = "timeout -s KILL 60 " + std::string(INTRO_TOOL_PATH) + " song --song " + song.string() +
                                " --frames 200 --out " + (dir / "out" / "o.wav").string() + " --envelope-log " +
                                (dir / "out" / "o.csv").string() + " >/dev/null 2>" + err.string();
    const int status = std::system(command.c_str());
    std::ifstream in(err);
    errors.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
  }
  std::size_t outputs() const {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir / "out")) ++count;
    return count;
  }
  void clearOutputs() const {
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
  }
};

// The inputs that once ended the tool with an abort or a segmentation fault, or were accepted.
TEST_F(SongFileFuzzTool, InputsThatOnceCrashedAreRefused) {
  const std::string valid = songToJson(makeMixSong().song());
  const auto withEntry = [&](const std::string& value) {
    Json json = Json::parse(valid);
    json["instrumentParams"][4] = "@@";
    std::string text = json.dump();
    text.replace(text.find("\"@@\""), 4, value);
    return text;
  };
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {withEntry("1e999"), "instrumentParams[4]: is a number beyond the range"},
      {withEntry("-1e999"), "instrumentParams[4]: is a number beyond the range"},
      {withEntry(std::string(100000, '7')), "instrumentParams[4]: is a number beyond the range"},
      {withEntry(std::string(75000, '[') + std::string(75000, ']')), "instrumentParams[4]: is an array"},
      {valid + std::string(1, '\0') + "garbage", "file: holds a NUL byte"},
      {withEntry("\"" + std::string(10'000'000, 's') + "\""), "file: has more than 1048576 bytes"},
  };
  for (const auto& c : cases) {
    std::string errors;
    EXPECT_EQ(run(c.text, errors), 2) << c.message << "\n" << errors.substr(0, 500);
    EXPECT_NE(errors.find(c.message), std::string::npos) << errors.substr(0, 500);
    EXPECT_LT(errors.size(), 2000u) << "a bad value is quoted only in part";
    EXPECT_EQ(outputs(), 0u) << c.message;
    clearOutputs();
  }
}

TEST_F(SongFileFuzzTool, MutatedFilesExitWithZeroOrTwo) {
  const std::vector<Json> songs = baseSongs();
  std::mt19937_64 seeds(seed ^ 0x700u);
  for (int i = 0; i < toolCases; ++i) {
    const std::uint64_t caseSeed = seeds();
    SongMutator mutator(caseSeed);
    std::string errors;
    const int code = run(mutator.mutate(songs[caseSeed % songs.size()]), errors);
    ASSERT_TRUE(code == 0 || code == 2) << "case seed " << caseSeed << " exit " << code << "\n" << errors.substr(0, 500);
    EXPECT_EQ(outputs(), code == 0 ? 2u : 0u) << "case seed " << caseSeed;
    clearOutputs();
  }
}

}  // namespace
