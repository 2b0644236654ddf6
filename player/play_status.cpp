#include "player/play_status.h"

#include <cmath>
#include <cstdio>

#include "shaders/shader_source.h"

std::string playStatusLine(const PlayStatus& status) {
  const ShowState& show = status.show;
  const int scene = show.sceneIndex >= 1 && show.sceneIndex <= 11 ? show.sceneIndex : 11;
  char line[256];
  std::snprintf(line, sizeof line, "t %.2f | pattern %d | %s | e %.3f e2 %.3f e3 %.3f | %.1f fps",
                static_cast<double>(show.t), static_cast<int>(std::floor(show.patternClock)),
                shaderEntryPoints[scene - 1], static_cast<double>(show.e), static_cast<double>(show.e2),
                static_cast<double>(show.e3), status.framesPerSecond);
  std::string text = line;
  if (status.paused) text += " | paused";
  if (!status.note.empty()) text += " | " + status.note;
  return text;
}

std::string firstLineOf(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (line.size() > 120) line = line.substr(0, 117) + "...";
  return line;
}
