#include "player/play_seek.h"

#include <algorithm>
#include <cmath>

#include "host/show.h"

namespace {

std::uint32_t patternStep(std::uint32_t position, bool ahead) {
  if (ahead) return static_cast<std::uint32_t>(std::min<std::uint64_t>(lastPlayPosition, std::uint64_t{position} + framesPerPattern));
  return position > framesPerPattern ? position - framesPerPattern : 0;
}

std::uint32_t sceneStartPosition(int sceneIndex) {
  return static_cast<std::uint32_t>(sceneStartPattern(sceneIndex)) * framesPerPattern;
}

}  // namespace

std::uint32_t frameStep(std::uint32_t position, double framesPerSecond, bool ahead) {
  if (!(framesPerSecond > 0.0)) return position;
  // The frame whose position is nearest below or at position, then the neighbour in the step's way.
  std::uint64_t k = static_cast<std::uint64_t>(std::floor(static_cast<double>(position) * framesPerSecond / sampleRate));
  while (k > 0 && framePosition(k, framesPerSecond) > position) --k;
  while (framePosition(k + 1, framesPerSecond) <= position) ++k;
  if (ahead) {
    const std::uint32_t next = framePosition(k + 1, framesPerSecond);
    return std::min(next, lastPlayPosition);
  }
  if (framePosition(k, framesPerSecond) < position) return framePosition(k, framesPerSecond);
  return k == 0 ? 0 : framePosition(k - 1, framesPerSecond);
}

std::uint32_t seekTarget(PlayKey key, std::uint32_t position, bool paused, double framesPerSecond) {
  position = std::min(position, lastPlayPosition);
  const int scene = sceneIndexOf(patternClockOf(position));
  switch (key) {
    case PlayKey::patternBack: return patternStep(position, false);
    case PlayKey::patternAhead: return patternStep(position, true);
    case PlayKey::previousScene: return scene > 1 ? sceneStartPosition(scene - 1) : 0;
    case PlayKey::nextScene: return scene < lastScene ? sceneStartPosition(scene + 1) : position;
    case PlayKey::home: return 0;
    case PlayKey::frameBack: return paused ? frameStep(position, framesPerSecond, false) : position;
    case PlayKey::frameAhead: return paused ? frameStep(position, framesPerSecond, true) : position;
    case PlayKey::none:
    case PlayKey::pause:
    case PlayKey::quit: break;
  }
  return position;
}
