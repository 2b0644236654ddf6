#include "song_file.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

using Json = nlohmann::json;

constexpr const char* tableNames[] = {"songPatterns", "songOrder", "instrumentCommands",
                                      "instrumentParams", "delayLengths"};

template <typename T>
void readTable(const Json& root, const char* name, std::int64_t maximum, std::vector<T>& out,
               std::vector<SongProblem>& problems) {
  const auto found = root.find(name);
  if (found == root.end()) {
    problems.push_back({name, SongProblem::wholeTable, "is missing, expected an array of integers"});
    return;
  }
  if (!found->is_array()) {
    problems.push_back({name, SongProblem::wholeTable,
                        std::string("is a ") + found->type_name() + ", expected an array of integers"});
    return;
  }
  out.clear();
  out.reserve(found->size());
  for (std::size_t i = 0; i < found->size(); ++i) {
    const Json& value = (*found)[i];
    const std::string expected = "expected an integer 0.." + std::to_string(maximum);
    if (!value.is_number_integer()) {
      problems.push_back({name, i, "is " + value.dump() + ", " + expected});
      continue;
    }
    const bool isUnsigned = value.is_number_unsigned();
    const std::int64_t number = isUnsigned ? -1 : value.get<std::int64_t>();
    const std::uint64_t big = isUnsigned ? value.get<std::uint64_t>() : 0;
    if ((isUnsigned && big > static_cast<std::uint64_t>(maximum)) ||
        (!isUnsigned && (number < 0 || number > maximum))) {
      problems.push_back({name, i, "is " + value.dump() + ", " + expected});
      continue;
    }
    out.push_back(static_cast<T>(isUnsigned ? big : static_cast<std::uint64_t>(number)));
  }
}

template <typename T>
void writeTable(std::ostringstream& out, const char* name, std::span<const T> table, bool last) {
  out << "  \"" << name << "\": [";
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (i > 0) out << ",";
    out << static_cast<unsigned>(table[i]);
  }
  out << "]" << (last ? "\n" : ",\n");
}

}  // namespace

std::vector<SongProblem> parseSongJson(const std::string& text, SongData& data) {
  std::vector<SongProblem> problems;
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& error) {
    problems.push_back({"file", SongProblem::wholeTable,
                        std::string("is not valid JSON (") + error.what() + ")"});
    return problems;
  }
  if (!root.is_object()) {
    problems.push_back({"file", SongProblem::wholeTable,
                        "holds a " + std::string(root.type_name()) +
                            ", expected an object with the keys songPatterns, songOrder, "
                            "instrumentCommands, instrumentParams, delayLengths"});
    return problems;
  }
  for (const auto& item : root.items()) {
    bool known = false;
    for (const char* name : tableNames) known = known || item.key() == name;
    if (!known) {
      problems.push_back({"file", SongProblem::wholeTable,
                          "has the key \"" + item.key() +
                              "\", expected only songPatterns, songOrder, instrumentCommands, "
                              "instrumentParams, delayLengths"});
    }
  }
  readTable(root, "songPatterns", 255, data.songPatterns, problems);
  readTable(root, "songOrder", 255, data.songOrder, problems);
  readTable(root, "instrumentCommands", 255, data.instrumentCommands, problems);
  readTable(root, "instrumentParams", 255, data.instrumentParams, problems);
  readTable(root, "delayLengths", 65535, data.delayLengths, problems);
  if (!problems.empty()) return problems;
  return checkSong(data.song());
}

std::vector<SongProblem> readSongFile(const std::string& path, SongData& data) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {{"file", SongProblem::wholeTable, "cannot be read: " + path}};
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return {{"file", SongProblem::wholeTable, "cannot be read: " + path}};
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
