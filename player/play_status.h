#pragma once
// The preview player's status line (its window title): where the show is, how fast it draws, and
// what stands in the way of an edit.
#include <cstddef>
#include <string>

#include "host/show.h"

// The most characters a note puts into the title (a title shows no more than a line of a screen).
inline constexpr std::size_t titleNoteLimit = 300;

struct PlayStatus {
  ShowState show;
  bool paused = false;
  double framesPerSecond = 0.0;  // pictures drawn per second, measured
  // Notes, each kept until what it says no longer holds, none erasing another.
  std::string shaderNote;  // the last shader build's failure, until a build is installed
  std::string songNote;    // the song file's refusal, until a valid change of it
  std::string seekNote;    // the render a seek waits for
};

// "t 190.00 | pattern 76 | Z3 | e 12.345 e2 0.000 e3 0.871 | 3.6 fps", then " | paused" and each
// note (one line, at most titleNoteLimit characters) when there are any.
std::string playStatusLine(const PlayStatus& status);

// A message of several lines as one: each line's leading white space dropped, "; " between lines
// (a space after a line ending in ':'), cut to at most limit characters ("..." at the cut).
std::string oneLineOf(const std::string& text, std::size_t limit);
