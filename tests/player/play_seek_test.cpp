// Where the preview player's keys move the show, at the edges of the song and of its scenes.
#include <gtest/gtest.h>

#include "host/show.h"
#include "player/play_seek.h"

namespace {

constexpr double rate = 60.0;

std::uint32_t at(double t) { return songPositionAt(t); }

TEST(PlaySeek, PatternStepsMoveOnePatternAndStopAtTheEnds) {
  EXPECT_EQ(seekTarget(PlayKey::patternAhead, at(190), false, rate), at(192.5));
  EXPECT_EQ(seekTarget(PlayKey::patternBack, at(190), false, rate), at(187.5));
  // At and near the edges they stop at 0 and 490 instead of wrapping or overflowing.
  EXPECT_EQ(seekTarget(PlayKey::patternBack, 0, false, rate), 0u);
  EXPECT_EQ(seekTarget(PlayKey::patternBack, at(1), false, rate), 0u);
  EXPECT_EQ(seekTarget(PlayKey::patternAhead, lastPlayPosition, false, rate), lastPlayPosition);
  EXPECT_EQ(seekTarget(PlayKey::patternAhead, at(489), false, rate), lastPlayPosition);
  EXPECT_EQ(lastPlayPosition, at(490));
  // A position beyond the song (a clock that ran past it) is taken as its end.
  EXPECT_EQ(seekTarget(PlayKey::patternBack, lastPlayPosition + 5000, false, rate), at(487.5));
}

TEST(PlaySeek, SceneKeysJumpToTheScenesOfTheTimeline) {
  EXPECT_EQ(seekTarget(PlayKey::nextScene, at(190), false, rate), at(200));
  EXPECT_EQ(seekTarget(PlayKey::nextScene, at(200), false, rate), at(240));
  EXPECT_EQ(seekTarget(PlayKey::previousScene, at(190), false, rate), at(80));
  EXPECT_EQ(seekTarget(PlayKey::previousScene, at(205), false, rate), at(160));
  EXPECT_EQ(seekTarget(PlayKey::nextScene, 0, false, rate), at(80));
  EXPECT_EQ(seekTarget(PlayKey::previousScene, at(40), false, rate), 0u);
  EXPECT_EQ(seekTarget(PlayKey::previousScene, 0, false, rate), 0u);
  // The end scene has no next one; before it, scene 10 leads to it.
  EXPECT_EQ(seekTarget(PlayKey::nextScene, at(470), false, rate), at(480));
  EXPECT_EQ(seekTarget(PlayKey::nextScene, at(485), false, rate), at(485));
  EXPECT_EQ(seekTarget(PlayKey::nextScene, lastPlayPosition, false, rate), lastPlayPosition);
  EXPECT_EQ(seekTarget(PlayKey::previousScene, lastPlayPosition, false, rate), at(440));
  EXPECT_EQ(seekTarget(PlayKey::home, at(333), true, rate), 0u);
}

TEST(PlaySeek, FrameStepsWalkTheFrameGridOnlyWhilePaused) {
  const std::uint32_t k100 = framePosition(100, rate);
  EXPECT_EQ(seekTarget(PlayKey::frameAhead, k100, true, rate), framePosition(101, rate));
  EXPECT_EQ(seekTarget(PlayKey::frameBack, k100, true, rate), framePosition(99, rate));
  // Between two frames: to the neighbour on that side.
  EXPECT_EQ(seekTarget(PlayKey::frameAhead, k100 + 1, true, rate), framePosition(101, rate));
  EXPECT_EQ(seekTarget(PlayKey::frameBack, k100 + 1, true, rate), k100);
  // Steps there and back return to the same frame, also at other rates.
  for (double other : {24.0, 59.94, 144.0}) {
    const std::uint32_t start = framePosition(777, other);
    const std::uint32_t ahead = seekTarget(PlayKey::frameAhead, start, true, other);
    EXPECT_EQ(ahead, framePosition(778, other));
    EXPECT_EQ(seekTarget(PlayKey::frameBack, ahead, true, other), start);
  }
  EXPECT_EQ(seekTarget(PlayKey::frameBack, 0, true, rate), 0u);
  EXPECT_EQ(seekTarget(PlayKey::frameAhead, lastPlayPosition, true, rate), lastPlayPosition);
  EXPECT_EQ(seekTarget(PlayKey::frameAhead, lastPlayPosition - 1, true, rate), lastPlayPosition);
  // While playing the picture moves anyway: the keys do nothing.
  EXPECT_EQ(seekTarget(PlayKey::frameAhead, k100, false, rate), k100);
  EXPECT_EQ(seekTarget(PlayKey::frameBack, k100, false, rate), k100);
  // Keys that do not seek leave the position as it is.
  EXPECT_EQ(seekTarget(PlayKey::pause, k100, false, rate), k100);
  EXPECT_EQ(seekTarget(PlayKey::none, k100, true, rate), k100);
}

}  // namespace
