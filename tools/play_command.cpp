// intro-tool play: the show in a window, from any moment, with pause, seek and live edits of the
// shaders and the song. The command reads its options and the song file, then runs the preview
// player (player/play_loop.h).
//
//   intro-tool play [--from T] [--size WxH] [--fullscreen] [--vsync] [--shaders DIR] [--song FILE.json]
#include <cstdio>
#include <optional>
#include <string>

#include "commands.h"
#include "music_time.h"
#include "option_values.h"
#include "picture_limits.h"
#include "play_loop.h"
#include "play_song.h"

namespace {

const char* const playUsage =
    "usage: intro-tool play [--from T] [--size WxH] [--fullscreen] [--vsync] [--shaders DIR] [--song FILE.json]\n"
    "  --from T       music time to start at, 0 to 490 (default 0)\n"
    "  --size WxH     picture size in pixels (default 1280x720)\n"
    "  --fullscreen   full screen at the screen's own mode\n"
    "  --vsync        wait for the screen's refresh\n"
    "  --shaders DIR  read the scene files from DIR (e.g. shaders/) and rebuild them when one is saved\n"
    "  --song FILE    play a song file (intro-tool song --export writes one) and render it again when saved\n"
    "keys: Space pause/resume, Left/Right one pattern, Page Up/Down previous/next scene, Home the start,\n"
    "      comma/period one frame back/ahead while paused, Escape quit\n";

struct PlayOptions {
  PlayerSettings player;
  std::string songFile;
};

int usageError(const std::string& what) {
  std::fprintf(stderr, "intro-tool play: %s\n%s", what.c_str(), playUsage);
  return 2;
}

// nullopt to go on; otherwise the exit code.
std::optional<int> parseOptions(int argc, char** argv, PlayOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(playUsage, stdout);
      return 0;
    }
    if (option == "--fullscreen") {
      options.player.fullscreen = true;
      continue;
    }
    if (option == "--vsync") {
      options.player.verticalSync = true;
      continue;
    }
    if (option != "--from" && option != "--size" && option != "--shaders" && option != "--song") {
      return usageError(option.rfind('-', 0) == 0 ? "unknown option " + quotedValue(option)
                                                  : "unexpected argument " + quotedValue(option));
    }
    if (i + 1 >= argc) return usageError(option + " needs a value");
    const char* value = argv[++i];
    if (option == "--from") {
      const std::optional<double> t = parseDecimal(value);
      if (!t || *t < 0.0 || *t > lastMusicTime) return usageError("--from wants a music time from 0 to 490, not " + quotedValue(value));
      options.player.from = *t;
    } else if (option == "--size") {
      if (!parseSize(value, largestPictureSide, options.player.width, options.player.height)) {
        return usageError(std::string("--size wants WIDTHxHEIGHT, each 1 to ") + std::to_string(largestPictureSide) +
                          ", not " + quotedValue(value));
      }
    } else if (option == "--shaders") {
      options.player.shaderDir = value;
      if (options.player.shaderDir.empty()) return usageError("--shaders wants a folder");
    } else {
      options.songFile = value;
      if (options.songFile.empty()) return usageError("--song wants a file name");
    }
  }
  return std::nullopt;
}

}  // namespace

int playCommand(int argc, char** argv) {
  PlayOptions options;
  if (const std::optional<int> done = parseOptions(argc, argv, options)) return *done;

  LiveSong song;
  std::string problems;
  if (!song.start(options.songFile, problems)) {
    std::fprintf(stderr, "intro-tool play: %s", problems.c_str());
    return 2;
  }

  return runPlayer(options.player, song);
}
