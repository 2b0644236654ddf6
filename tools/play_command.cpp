// intro-tool play: the show in a window, from any moment, with pause, seek and live edits of the
// shaders and the song. The command reads its options and the song file, then runs the preview
// player (player/play_loop.h).
//
//   intro-tool play [--from T] [--size WxH] [--fullscreen] [--vsync] [--shaders DIR] [--song FILE.json]
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "player/play_loop.h"
#include "player/play_song.h"
#include "player/shader_files.h"
#include "tools/commands.h"
#include "tools/option_values.h"
#include "tools/show_options.h"
#include "tools/picture_limits.h"

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
  PlayerSettings& player = options.player;
  const ToolOption table[] = {
      {"--from", OptionValue::next, takeMusicTime("--from", player.from)},
      {"--size", OptionValue::next,
       [&](std::string_view value) {
         if (parseSize(value, largestPictureSide, player.width, player.height)) return std::string();
         return "--size wants WIDTHxHEIGHT, each 1 to " + std::to_string(largestPictureSide) + ", not " +
                quotedValue(value);
       }},
      {"--fullscreen", OptionValue::none, setFlag(player.fullscreen)},
      {"--vsync", OptionValue::none, setFlag(player.verticalSync)},
      {"--shaders", OptionValue::next, keepText(player.shaderDir, "--shaders wants a folder")},
      {"--song", OptionValue::next, keepText(options.songFile, "--song wants a file name")},
  };
  const OptionsRead read = readOptions(argc, argv, table);
  if (!read.problem.empty()) return usageError(read.problem);
  if (read.help) {
    std::fputs(playUsage, stdout);
    return 0;
  }
  return std::nullopt;
}

// Why folder cannot stand in for the scene files (empty when it can): every file must be there.
std::string shaderFolderProblem(const std::string& folder) {
  const std::string named = "--shaders " + folder + ": ";
  const std::string what = "; name a folder that holds the intro's scene files (a copy of its shaders/ folder)";
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(folder, error);
  if (!std::filesystem::exists(status)) return named + "there is no such folder" + what;
  if (!std::filesystem::is_directory(status)) return named + "it is not a folder" + what;
  ShaderFiles files(folder);
  std::string why;
  if (!files.load(why)) return named + why;
  return {};
}

}  // namespace

int playCommand(int argc, char** argv) {
  PlayOptions options;
  if (const std::optional<int> done = parseOptions(argc, argv, options)) return *done;
  if (!options.player.shaderDir.empty()) {
    if (const std::string problem = shaderFolderProblem(options.player.shaderDir); !problem.empty()) {
      std::fprintf(stderr, "intro-tool play: %s\n", problem.c_str());
      return 2;
    }
  }

  LiveSong song;
  std::string problems;
  if (!song.start(options.songFile, problems)) {
    std::fprintf(stderr, "intro-tool play: %s", problems.c_str());
    return 2;
  }

  return runPlayer(options.player, song);
}
