// Music time: the clock, the timeline and its inverse, the end, and the copies of these and of
// the sync rule's constants that the soundtrack's Python scripts keep.
#include "host/music_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "synth/timing.h"

namespace {

float below(float x) { return std::nextafter(x, -1.0f); }

TEST(MusicClock, PatternsFromThePlayPosition) {
  EXPECT_EQ(patternClockOf(0), 0.0f);
  for (std::uint32_t k : {1u, 32u, 64u, 80u, 192u, 196u}) EXPECT_EQ(patternClockOf(k * framesPerPattern), float(k));
  // Within half a unit in the last place of the exact quotient, and never decreasing.
  float previous = 0.0f;
  for (std::uint32_t p = 0; p <= songFrames; p += 9973) {
    const float k = patternClockOf(p);
    const double exact = double(p) / 61520.0;
    EXPECT_LE(std::fabs(double(k) - exact), 0.5 * double(std::nextafter(k, 1e9f) - k) * 1.0000001) << p;
    EXPECT_GE(k, previous);
    previous = k;
  }
}

TEST(MusicClock, PositionIsRoundedToSinglePrecisionFirst) {
  // Above 2^24 the position itself is rounded to a float before the division.
  EXPECT_EQ(patternClockOf((1u << 24) + 1), patternClockOf(1u << 24));
  EXPECT_EQ(patternClockOf(0xFFFFFFFFu), float(4294967296.0) / 61520.0f);
}

TEST(MusicClock, TimeRunsAtTwoAndAHalfPerPattern) {
  EXPECT_EQ(musicTimeOf(0.0f), 0.0f);
  EXPECT_EQ(musicTimeOf(32.0f), 80.0f);
  EXPECT_EQ(musicTimeOf(196.0f), 490.0f);
  const float k = patternClockOf(1234567);
  EXPECT_EQ(musicTimeOf(k), k * 2.5f);
}

TEST(Timeline, ScenesChangeExactlyAtTheirPatterns) {
  EXPECT_EQ(sceneIndexOf(0.0f), 1);
  EXPECT_EQ(sceneIndexOf(below(32.0f)), 1);
  EXPECT_EQ(sceneIndexOf(32.0f), 2);
  EXPECT_EQ(sceneIndexOf(below(64.0f)), 2);
  for (int scene = 3; scene <= 10; ++scene) {
    const float start = 64.0f + 16.0f * float(scene - 3);
    EXPECT_EQ(sceneIndexOf(start), scene) << start;
    EXPECT_EQ(sceneIndexOf(below(start + 16.0f)), scene) << start;
    EXPECT_EQ(sceneIndexOf(start + 8.0f), scene) << start;
  }
  EXPECT_EQ(sceneIndexOf(80.0f), 4);
  EXPECT_EQ(sceneIndexOf(below(80.0f)), 3);
  EXPECT_EQ(sceneIndexOf(below(192.0f)), 10);
  EXPECT_EQ(sceneIndexOf(192.0f), 11);
  EXPECT_EQ(sceneIndexOf(196.0f), 11);
  EXPECT_EQ(sceneIndexOf(1e9f), 11);
}

TEST(Timeline, SceneStartsAreWhereTheTimelineChangesScene) {
  EXPECT_EQ(sceneStartPattern(1), 0);
  EXPECT_EQ(sceneStartPattern(0), 0);
  for (int scene = 2; scene <= lastScene; ++scene) {
    const std::uint32_t start = static_cast<std::uint32_t>(sceneStartPattern(scene)) * framesPerPattern;
    EXPECT_EQ(sceneIndexOf(patternClockOf(start)), scene);
    EXPECT_EQ(sceneIndexOf(patternClockOf(start - 1)), scene - 1);
  }
  EXPECT_EQ(sceneStartPattern(lastScene + 5), lastScenePattern);
}

TEST(EndTest, RunEndsWhenThePositionReachesTheSongEnd) {
  EXPECT_FALSE(songEnded(0));
  EXPECT_FALSE(songEnded(12057919));
  EXPECT_TRUE(songEnded(12057920));
  EXPECT_TRUE(songEnded(0xFFFFFFFFu));
  EXPECT_EQ(songFrames, 196u * framesPerPattern);
}

TEST(MusicTime, PlayPositionOfAMusicTime) {
  EXPECT_EQ(playPositionAt(0.0), 0u);
  EXPECT_EQ(playPositionAt(80.0), 32u * framesPerPattern);
  EXPECT_EQ(playPositionAt(490.0), songFrames);
  EXPECT_EQ(playPositionAt(1.0), 24608u);  // 0.4 patterns
  EXPECT_EQ(playPositionAt(-3.0), 0u);
  EXPECT_EQ(playPositionAt(1e12), 0xFFFFFFFFu);
  // The clock read back at that position is t, to single precision.
  for (double t : {0.5, 79.99, 123.456, 333.3, 489.9}) EXPECT_NEAR(musicTimeOf(patternClockOf(playPositionAt(t))), t, 1e-4) << t;
  EXPECT_EQ(sceneIndexOf(patternClockOf(playPositionAt(160.0))), 3);
}

TEST(MusicTime, SongPositionsOfTimesOutsideTheSongAreClamped) {
  EXPECT_EQ(songPositionAt(-3), 0u);
  EXPECT_EQ(songPositionAt(1e9), lastPlayPosition);
  EXPECT_EQ(songPositionAt(2.5), framesPerPattern);
}

#ifdef INTRO_SONG_SCRIPTS  // a path on the build machine: not in the cross build
// The numbers of each NAME = VALUE line (a number or a tuple of them) at the top level of a
// Python file, in order.
std::map<std::string, std::vector<double>> pythonConstants(const std::string& path) {
  std::map<std::string, std::vector<double>> constants;
  std::ifstream file(path);
  EXPECT_TRUE(file) << path;
  const std::regex assignment(R"(^([A-Z][A-Z0-9_]*) = ([^#]*))");
  const std::regex number(R"(-?[0-9]+(\.[0-9]*)?)");
  std::string line;
  while (std::getline(file, line)) {
    std::smatch match;
    if (!std::regex_search(line, match, assignment)) continue;
    std::vector<double>& values = constants[match[1].str()];
    const std::string value = match[2].str();
    for (auto it = std::sregex_iterator(value.begin(), value.end(), number); it != std::sregex_iterator(); ++it) {
      values.push_back(std::stod(it->str()));
    }
  }
  return constants;
}

TEST(MusicTime, TheSoundtracksScriptsUseTheseConstants) {
  auto measure = pythonConstants(INTRO_SONG_SCRIPTS "/measure.py");
  EXPECT_EQ(measure["SAMPLE_RATE"], std::vector<double>{double(sampleRate)});
  EXPECT_EQ(measure["FRAMES_PER_BAR"], std::vector<double>{double(framesPerPattern)});
  EXPECT_EQ(measure["BARS"], std::vector<double>{double(songPositions)});
  EXPECT_EQ(measure["GROWTH_BARS"], (std::vector<double>{double(secondScenePattern), double(lastScenePattern)}));
  std::vector<double> gains;
  for (const SyncGain& phase : phaseGains) {
    gains.push_back(phase.track);
    gains.push_back(phase.gain);
  }
  ASSERT_EQ(measure["PHASE_GAINS"].size(), gains.size());
  for (std::size_t i = 0; i < gains.size(); ++i) EXPECT_EQ(float(measure["PHASE_GAINS"][i]), float(gains[i])) << i;
  EXPECT_EQ(measure["FLASH_FALL"], std::vector<double>{double(flashFallPerPattern)});
  ASSERT_EQ(measure["FLASH_LEVEL"].size(), 1u);
  EXPECT_EQ(float(measure["FLASH_LEVEL"][0]), flashLevel);
  EXPECT_EQ(measure["FLASH2_TRACKS"], std::vector<double>(std::begin(flashTracks2), std::end(flashTracks2)));
  EXPECT_EQ(measure["FLASH3_TRACKS"], std::vector<double>(std::begin(flashTracks3), std::end(flashTracks3)));

  auto stems = pythonConstants(INTRO_SONG_SCRIPTS "/stems.py");
  EXPECT_EQ(stems["RATE"], std::vector<double>{double(sampleRate)});
  EXPECT_EQ(stems["FRAMES_PER_ROW"], std::vector<double>{double(framesPerTick)});
  EXPECT_EQ(stems["ROWS"], std::vector<double>{double(rowsPerPattern)});
  EXPECT_EQ(stems["BARS"], std::vector<double>{double(songPositions)});
  EXPECT_EQ(stems["TRACKS"], std::vector<double>{double(trackCount)});
}
#endif

}  // namespace
