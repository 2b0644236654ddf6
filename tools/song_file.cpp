#include "tools/song_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

constexpr const char* tableNames[] = {"songPatterns", "songOrder", "instrumentCommands",
                                      "instrumentParams", "delayLengths"};
constexpr std::size_t tableCount = std::size(tableNames);
constexpr std::int64_t tableMaximum[tableCount] = {255, 255, 255, 255, 65535};

constexpr const char* expectedKeys =
    "songPatterns, songOrder, instrumentCommands, instrumentParams, delayLengths";

// What a message quotes of a value or a key: enough to find it in the file, never the whole of
// a long one.
constexpr std::size_t quotedLength = 40;

std::string shortPiece(const std::string& text, std::size_t length = quotedLength) {
  if (text.size() <= length) return text;
  return text.substr(0, length) + "... (" + std::to_string(text.size()) + " characters)";
}

// A string as JSON writes it, cut short.
std::string jsonQuoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text.substr(0, quotedLength)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
  if (text.size() > quotedLength) out += "... (" + std::to_string(text.size()) + " characters)";
  return out;
}

// Builds the five tables straight from the parser's events: no document tree, so a value of any
// size or depth costs no more than its bytes, and a message never has to print a tree back.
// Levels: 0 outside everything, 1 inside the root object, 2 inside a table's array; anything
// deeper (a value where an integer belongs, or under an unknown key) is skipped by counting.
class SongReader final : public nlohmann::json_sax<Json> {
 public:
  SongReader(SongData& data, std::vector<SongProblem>& problems) : data_(data), problems_(problems) {}

  bool null() override { return scalar("null"); }
  bool boolean(bool value) override { return scalar(value ? "true" : "false"); }
  bool number_integer(number_integer_t value) override {
    if (skipping()) return true;
    if (level_ == 2) return entry(value < 0 ? -1 : static_cast<std::int64_t>(value), std::to_string(value));
    return scalar("a number");
  }
  bool number_unsigned(number_unsigned_t value) override {
    if (skipping()) return true;
    if (level_ == 2) {
      const std::int64_t capped = value > 65535u ? 65536 : static_cast<std::int64_t>(value);
      return entry(capped, std::to_string(value));
    }
    return scalar("a number");
  }
  bool number_float(number_float_t, const string_t& text) override {
    return level_ == 2 && !skipping() ? badEntry("is " + shortPiece(text)) : scalar("a number");
  }
  bool string(string_t& value) override {
    return level_ == 2 && !skipping() ? badEntry("is " + jsonQuoted(value)) : scalar("a string");
  }
  bool binary(binary_t&) override { return scalar("binary data"); }

  bool start_object(std::size_t) override { return open("an object"); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open("an array"); }
  bool end_array() override { return close(); }

  bool key(string_t& name) override {
    if (skipping()) return true;
    table_ = tableCount;
    for (std::size_t t = 0; t < tableCount; ++t) {
      if (name == tableNames[t]) table_ = t;
    }
    if (table_ == tableCount) {
      fileProblem("has the key " + jsonQuoted(name) + ", expected only " + expectedKeys);
    } else if (seen_[table_]) {
      fileProblem("has the key " + jsonQuoted(name) + " twice, expected each table once");
      table_ = tableCount;
    } else {
      seen_[table_] = true;
    }
    return true;
  }

  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override {
    // A number beyond the range of a double, where an integer belongs, is a bad entry.
    if (error.id == 406 && level_ == 2 && skip_ == 0) {
      badEntry("is a number beyond the range of numbers");
      return false;
    }
    std::string what = error.what();
    const std::size_t start = what.find("] ");
    if (start != std::string::npos) what.erase(0, start + 2);
    fileProblem("is not valid JSON at byte " + std::to_string(position) + " (" + shortPiece(what, 160) + ")");
    return false;
  }

  // After a parse that got to the end: the tables that never came.
  void finish() {
    for (std::size_t t = 0; t < tableCount; ++t) {
      if (!seen_[t]) problems_.push_back({tableNames[t], SongProblem::wholeTable, "is missing, expected an array of integers"});
    }
  }

 private:
  bool skipping() const { return skip_ > 0; }

  void fileProblem(std::string message) {
    problems_.push_back({"file", SongProblem::wholeTable, std::move(message)});
  }

  std::string expected() const { return "expected an integer 0.." + std::to_string(tableMaximum[table_]); }

  bool badEntry(const std::string& found) {
    problems_.push_back({tableNames[table_], index_++, found + ", " + expected()});
    return true;
  }

  bool entry(std::int64_t value, const std::string& text) {
    if (value < 0 || value > tableMaximum[table_]) return badEntry("is " + shortPiece(text));
    ++index_;
    switch (table_) {
      case 0: data_.songPatterns.push_back(static_cast<std::uint8_t>(value)); break;
      case 1: data_.songOrder.push_back(static_cast<std::uint8_t>(value)); break;
      case 2: data_.instrumentCommands.push_back(static_cast<std::uint8_t>(value)); break;
      case 3: data_.instrumentParams.push_back(static_cast<std::uint8_t>(value)); break;
      default: data_.delayLengths.push_back(static_cast<std::uint16_t>(value)); break;
    }
    return true;
  }

  // A value that is not a container. `what` names its kind for the messages.
  bool scalar(const char* what) {
    if (skipping()) return true;
    if (level_ == 0) return rootIsNotAnObject(what);
    if (level_ == 1) {
      if (table_ < tableCount) {
        problems_.push_back({tableNames[table_], SongProblem::wholeTable,
                             std::string("is ") + what + ", expected an array of integers"});
      }
      return true;
    }
    return badEntry(std::string("is ") + what);
  }

  bool open(const char* what) {
    if (skipping()) {
      ++skip_;
      return true;
    }
    if (level_ == 0) {
      if (std::strcmp(what, "an object") != 0) return rootIsNotAnObject(what);
      level_ = 1;
      return true;
    }
    if (level_ == 1) {
      if (table_ == tableCount) {
        skip_ = 1;  // under an unknown key (already reported)
      } else if (std::strcmp(what, "an array") != 0) {
        problems_.push_back({tableNames[table_], SongProblem::wholeTable,
                             std::string("is ") + what + ", expected an array of integers"});
        skip_ = 1;
      } else {
        clearTable();
        index_ = 0;
        level_ = 2;
      }
      return true;
    }
    badEntry(std::string("is ") + what);
    skip_ = 1;
    return true;
  }

  bool close() {
    if (skipping()) {
      --skip_;
    } else {
      --level_;
      if (level_ == 1) table_ = tableCount;
    }
    return true;
  }

  bool rootIsNotAnObject(const char* what) {
    fileProblem(std::string("holds ") + what + ", expected an object with the keys " + expectedKeys);
    return false;  // nothing more to learn from the rest
  }

  void clearTable() {
    switch (table_) {
      case 0: data_.songPatterns.clear(); break;
      case 1: data_.songOrder.clear(); break;
      case 2: data_.instrumentCommands.clear(); break;
      case 3: data_.instrumentParams.clear(); break;
      default: data_.delayLengths.clear(); break;
    }
  }

  SongData& data_;
  std::vector<SongProblem>& problems_;
  int level_ = 0;
  std::size_t skip_ = 0;          // depth inside a skipped value
  std::size_t table_ = tableCount;  // the table being read, tableCount for none
  std::size_t index_ = 0;         // next entry's index in that table
  bool seen_[tableCount] = {};
};

template <typename T>
void writeTable(std::ostringstream& out, const char* name, std::span<const T> table, bool last) {
  out << "  \"" << name << "\": [";
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (i > 0) out << ",";
    out << static_cast<unsigned>(table[i]);
  }
  out << "]" << (last ? "\n" : ",\n");
}

std::vector<SongProblem> unreadable(const std::string& path, const std::string& why) {
  return {{"file", SongProblem::wholeTable, "cannot be read: " + path + ": " + why}};
}

}  // namespace

std::vector<SongProblem> parseSongJson(const std::string& text, SongData& data) {
  std::vector<SongProblem> problems;
  if (text.size() > songFileLimit) {
    problems.push_back({"file", SongProblem::wholeTable,
                        "has more than " + std::to_string(songFileLimit) +
                            " bytes, the most a song file may have (the built-in song has about 14,000)"});
    return problems;
  }
  // The JSON reader takes a NUL byte for the end of the text and would ignore what follows.
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
    problems.push_back({"file", SongProblem::wholeTable,
                        "holds a NUL byte at byte " + std::to_string(nul) + ", expected JSON text only"});
    return problems;
  }
  data = SongData{};
  SongReader reader(data, problems);
  try {
    if (Json::sax_parse(text, &reader)) reader.finish();
  } catch (const std::exception& error) {  // the reader throws nothing of its own; out of memory
    problems.push_back({"file", SongProblem::wholeTable, std::string("cannot be read (") + error.what() + ")"});
  }
  if (!problems.empty()) return problems;
  return checkSong(data.song());
}

std::vector<SongProblem> readSongFile(const std::string& path, SongData& data, bool (*stopRequested)()) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return unreadable(path, std::strerror(errno));
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return unreadable(path, "it is a folder, expected a song file");
  }
  // At most one byte past the limit: enough to refuse a larger file (or /dev/zero) at once.
  std::string text;
  char buffer[65536];
  while (text.size() <= songFileLimit) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR && (stopRequested == nullptr || !stopRequested())) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return unreadable(path, std::strerror(error));
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return parseSongJson(text, data);
}

std::string songToJson(const Song& song) {
  std::ostringstream out;
  out << "{\n";
  writeTable(out, "songPatterns", song.songPatterns, false);
  writeTable(out, "songOrder", song.songOrder, false);
  writeTable(out, "instrumentCommands", song.instrumentCommands, false);
  writeTable(out, "instrumentParams", song.instrumentParams, false);
  writeTable(out, "delayLengths", song.delayLengths, true);
  out << "}\n";
  return out.str();
}

std::string songFileProblemsText(const std::string& path, const std::vector<SongProblem>& problems) {
  std::string text = path + " is not a valid song file:\n";
  const std::size_t shown = std::min<std::size_t>(problems.size(), 50);
  for (std::size_t i = 0; i < shown; ++i) text += "  " + describe(problems[i]) + "\n";
  if (shown < problems.size()) text += "  ... and " + std::to_string(problems.size() - shown) + " more\n";
  return text;
}
