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
  for (const std::string* note : {&status.seekNote, &status.shaderNote, &status.songNote}) {
    if (!note->empty()) text += " | " + oneLineOf(*note, titleNoteLimit);
  }
  return text;
}

std::string oneLineOf(const std::string& text, std::size_t limit) {
  std::string line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::size_t start = at;
    while (start < end && (text[start] == ' ' || text[start] == '\t')) ++start;
    std::size_t stop = end;
    while (stop > start && (text[stop - 1] == ' ' || text[stop - 1] == '\t' || text[stop - 1] == '\r')) --stop;
    if (stop > start) {
      if (!line.empty()) line += line.back() == ':' ? " " : "; ";
      line.append(text, start, stop - start);
    }
    at = end + 1;
  }
  if (line.size() > limit) line = line.substr(0, limit < 3 ? 0 : limit - 3) + "...";
  return line;
}
