#include "host/music_time.h"

#include <algorithm>
#include <cmath>

// Every step below is one single-precision operation stored into a float, in the order the
// loop has always used; keep it that way (no fused or reordered arithmetic).

float patternClockOf(std::uint32_t position) {
  const double exact = static_cast<double>(position);
  const float rounded = static_cast<float>(exact);
  // framesPerPattern (61,520) is exact in float.
  return rounded / static_cast<float>(framesPerPattern);
}

float musicTimeOf(float patternClock) { return patternClock * musicTimePerPattern; }

double musicTimeAt(std::uint32_t position) {
  return position / static_cast<double>(framesPerPattern) * musicTimePerPattern;
}

int sceneIndexOf(float patternClock) {
  const float k = patternClock;
  if (k < static_cast<float>(secondScenePattern)) return 1;
  if (k < static_cast<float>(thirdScenePattern)) return 2;
  if (k < static_cast<float>(lastScenePattern)) {
    const float since = k - static_cast<float>(thirdScenePattern);
    const float scenes = since / static_cast<float>(middleScenePatterns);
    return static_cast<int>(scenes) + 3;
  }
  return lastScene;
}

int sceneStartPattern(int sceneIndex) {
  if (sceneIndex <= 1) return 0;
  if (sceneIndex == 2) return secondScenePattern;
  return thirdScenePattern + middleScenePatterns * (std::min(sceneIndex, lastScene) - 3);
}

bool songEnded(std::uint32_t position) { return position >= lastPlayPosition; }

std::uint32_t clampedPosition(double frames) {
  if (!(frames >= 0.0)) return 0;
  if (frames >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(frames);
}

std::uint32_t playPositionAt(double t) {
  return clampedPosition(std::round(t / musicTimePerPattern * static_cast<double>(framesPerPattern)));
}

std::uint32_t songPositionAt(double t) { return std::min(lastPlayPosition, playPositionAt(t)); }
