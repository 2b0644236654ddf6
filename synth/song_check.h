#pragma once
// Checks that a song is well formed before anything renders it: table lengths, opcodes, the
// parameter stream, every unit's parameters that could make a render read or write outside its
// memory or compute nonsense, pattern numbers and the signal stack of every instrument.
#include <cstddef>
#include <string>
#include <vector>

#include "synth/song.h"

struct SongProblem {
  std::string table;    // songPatterns, songOrder, instrumentCommands, instrumentParams, delayLengths
  std::size_t index;    // position in that table, or wholeTable
  std::string message;  // what was found and what was expected
  static constexpr std::size_t wholeTable = static_cast<std::size_t>(-1);
};

// One line per problem: "table[index]: message" (or "table: message").
std::string describe(const SongProblem& problem);

// Every problem found (the checks of a table whose layout is already broken stop at the first).
std::vector<SongProblem> checkSong(const Song& song);

// True when checkSong would find nothing; allocates nothing (used before every render).
bool songIsValid(const Song& song);
