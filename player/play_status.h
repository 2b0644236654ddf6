#pragma once
// The preview player's status line (its window title): where the show is and how fast it draws.
#include <string>

#include "host/show.h"

struct PlayStatus {
  ShowState show;
  bool paused = false;
  double framesPerSecond = 0.0;  // pictures drawn per second, measured
  std::string note;              // a shader or song message's first line, or empty
};

// "t 190.00 | pattern 76 | Z3 | e 12.345 e2 0.000 e3 0.871 | 3.6 fps", then " | paused" and the
// note when there are any.
std::string playStatusLine(const PlayStatus& status);

// The first line of text, cut to at most 120 characters (a title has room for little more).
std::string firstLineOf(const std::string& text);
