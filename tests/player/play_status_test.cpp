// The player's status line: where the show is, and every standing note in full, side by side.
#include <gtest/gtest.h>

#include <string>

#include "player/play_status.h"

namespace {

TEST(PlayStatusLine, EveryNoteStandsBesideTheOthersWithAllItsLines) {
  PlayStatus status;
  status.show.t = 190.0f;
  status.show.patternClock = 76.0f;
  status.show.sceneIndex = 3;
  status.framesPerSecond = 3.6;
  EXPECT_EQ(playStatusLine(status), "t 190.00 | pattern 76 | Z3 | e 0.000 e2 0.000 e3 0.000 | 3.6 fps");

  status.paused = true;
  status.shaderNote = "shaders: s/z3_corridor.hlsl:12: error: 'x' : undeclared identifier\n1 error generated.";
  status.songNote =
      "song: s.json is not a valid song file:\n  songOrder: is missing\n  delayLengths[2]: 70000 is over 65535\n"
      "the song that plays stays\n";
  EXPECT_EQ(playStatusLine(status),
            "t 190.00 | pattern 76 | Z3 | e 0.000 e2 0.000 e3 0.000 | 3.6 fps | paused"
            " | shaders: s/z3_corridor.hlsl:12: error: 'x' : undeclared identifier; 1 error generated."
            " | song: s.json is not a valid song file: songOrder: is missing; delayLengths[2]: 70000 is over 65535;"
            " the song that plays stays");

  // A note longer than a title holds is cut where the room ends, and says so.
  status.songNote.clear();
  status.shaderNote = std::string(2 * titleNoteLimit, 'x');
  const std::string line = playStatusLine(status);
  EXPECT_EQ(line.substr(line.find(" | x") + 3), std::string(titleNoteLimit - 3, 'x') + "...");
}

}  // namespace
