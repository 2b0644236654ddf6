#pragma once
// Song files: JSON objects whose keys are exactly the five table names, each an array of
// integers (bytes; delayLengths 16-bit). Reading checks everything (also checkSong) before the
// song is used.
#include <cstdint>
#include <string>
#include <vector>

#include "song.h"
#include "song_check.h"

struct SongData {
  std::vector<std::uint8_t> songPatterns;
  std::vector<std::uint8_t> songOrder;
  std::vector<std::uint8_t> instrumentCommands;
  std::vector<std::uint8_t> instrumentParams;
  std::vector<std::uint16_t> delayLengths;

  Song song() const {
    return {songPatterns, songOrder, instrumentCommands, instrumentParams, delayLengths};
  }
};

// Parses JSON text into `data`; returns the problems found (none: the song is valid).
std::vector<SongProblem> parseSongJson(const std::string& text, SongData& data);

// Reads and parses a file; an unreadable file is one problem with table "file".
std::vector<SongProblem> readSongFile(const std::string& path, SongData& data);

// The song's tables as JSON text (one line per table).
std::string songToJson(const Song& song);
