#pragma once
// Song files: JSON objects whose keys are exactly the five table names, each an array of
// integers (bytes; delayLengths 16-bit). Reading checks everything (also checkSong) before the
// song is used. Any input gives problems or a song, never a crash: text past the size limit, a
// NUL byte, numbers beyond any range and values nested to any depth are problems like the rest,
// and a message quotes at most a short piece of a bad value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/song.h"
#include "synth/song_check.h"

// The most bytes a song file may have: about 75 times the built-in song's 14,000, far above any
// real song, and small enough that a runaway input (a huge file, /dev/zero) is refused at once.
inline constexpr std::size_t songFileLimit = 1 << 20;

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

// Reads and parses a file; an unreadable file (a folder, a missing file) is one problem with
// table "file". Reads no more than one byte past songFileLimit. A read that a signal interrupts
// (a pipe whose writer sends nothing) goes on unless stopRequested, when given, says to stop.
std::vector<SongProblem> readSongFile(const std::string& path, SongData& data, bool (*stopRequested)() = nullptr);

// "PATH is not a valid song file:" and the problems, one indented line each, at most 50 of them
// (then how many more), every line ending in a newline.
std::string songFileProblemsText(const std::string& path, const std::vector<SongProblem>& problems);

// The song's tables as JSON text (one line per table).
std::string songToJson(const Song& song);
