// intro-tool play: the show in a window, from any moment, with pause, seek and live edits of the
// shaders and the song. It runs on the intro's own back end (window, device, pipelines, frame)
// and its frame loop's turn (frame_step.h); what it adds is where the play position comes from.
//
//   intro-tool play [--from T] [--size WxH] [--fullscreen] [--vsync] [--shaders DIR] [--song FILE.json]
#include <SDL_keycode.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "capture_show.h"
#include "commands.h"
#include "frame_step.h"
#include "live_shaders.h"
#include "option_values.h"
#include "platform.h"
#include "play_seek.h"
#include "play_song.h"
#include "play_status.h"
#include "sdl_play_audio.h"
#include "sdl_window.h"
#include "shader_source.h"
#include "show.h"
#include "text_textures.h"
#include "vk_live_pipelines.h"

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

constexpr int largestSide = 16384;

struct PlayOptions {
  double from = 0.0;
  int width = 1280;
  int height = 720;
  bool fullscreen = false;
  bool verticalSync = false;
  std::string shaderDir;
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
      options.fullscreen = true;
      continue;
    }
    if (option == "--vsync") {
      options.verticalSync = true;
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
      if (!t || *t < 0.0 || *t > 490.0) return usageError("--from wants a music time from 0 to 490, not " + quotedValue(value));
      options.from = *t;
    } else if (option == "--size") {
      if (!parseSize(value, largestSide, options.width, options.height)) {
        return usageError(std::string("--size wants WIDTHxHEIGHT, each 1 to ") + std::to_string(largestSide) +
                          ", not " + quotedValue(value));
      }
    } else if (option == "--shaders") {
      options.shaderDir = value;
      if (options.shaderDir.empty()) return usageError("--shaders wants a folder");
    } else {
      options.songFile = value;
      if (options.songFile.empty()) return usageError("--song wants a file name");
    }
  }
  return std::nullopt;
}

PlayKey playKeyOf(std::int32_t key) {
  switch (key) {
    case SDLK_SPACE: return PlayKey::pause;
    case SDLK_LEFT: return PlayKey::patternBack;
    case SDLK_RIGHT: return PlayKey::patternAhead;
    case SDLK_PAGEUP: return PlayKey::previousScene;
    case SDLK_PAGEDOWN: return PlayKey::nextScene;
    case SDLK_HOME: return PlayKey::home;
    case SDLK_COMMA: return PlayKey::frameBack;
    case SDLK_PERIOD: return PlayKey::frameAhead;
    case SDLK_ESCAPE: return PlayKey::quit;
    default: return PlayKey::none;
  }
}

std::int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Whether Escape (or the window's close button) came among the keys pressed now.
bool quitPressed() {
  std::int32_t keys[64];
  const int count = takeSdlKeyPresses(keys, 64);
  for (int i = 0; i < count; ++i) {
    if (playKeyOf(keys[i]) == PlayKey::quit) return true;
  }
  return false;
}

enum class RenderWait { covered, quit, failed };

// Waits until song's render covers position, with a progress line on stderr and in the title.
RenderWait waitForRender(const SongRender& song, std::uint32_t position) {
  std::int64_t lastLineMs = 0;
  bool wrote = false;
  while (!song.covers(position)) {
    if (!song.ok()) {
      std::fprintf(stderr, "%sintro-tool play: the song does not render\n", wrote ? "\n" : "");
      return RenderWait::failed;
    }
    if (quitPressed()) return RenderWait::quit;
    const std::int64_t now = steadyMs();
    if (now - lastLineMs >= 250) {
      lastLineMs = now;
      char line[128];
      std::snprintf(line, sizeof line, "rendering the song: t %.1f of %.1f", song.rendered() / double(framesPerPattern) * 2.5,
                    position / double(framesPerPattern) * 2.5);
      std::fprintf(stderr, "\rintro-tool play: %s", line);
      setSdlWindowTitle(line);
      wrote = true;
    }
    sleepMs(20);
  }
  if (wrote) std::fprintf(stderr, "\n");
  return RenderWait::covered;
}

// A held picture, and the command that renders it to a file (the frame command takes exactly
// these values: %.9g gives back each float).
void reportHeld(const ShowState& show, int width, int height) {
  std::printf("intro-tool play: held at t %.2f in %s; intro-tool frame --t %.9g --e %.9g --e2 %.9g --e3 %.9g --size %dx%d "
              "--out FILE.png renders it\n",
              static_cast<double>(show.t), shaderEntryPoints[show.sceneIndex - 1], static_cast<double>(show.t),
              static_cast<double>(show.e), static_cast<double>(show.e2), static_cast<double>(show.e3), width, height);
  std::fflush(stdout);
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

  platform::createWindow(options.width, options.height);
  if (sdlWindow() == nullptr) {
    std::fprintf(stderr,
                 "intro-tool play: no window could be opened; play needs a display (set DISPLAY, or run it under "
                 "xvfb-run)\n");
    return 1;
  }
  showSdlWindowFrame();
  setSdlWindowTitle("intro-tool play");
  if (const int failure = platform::createDevice(options.width, options.height, options.verticalSync ? 1 : 0);
      failure != 0) {
    return failure;
  }
  static char compilerMessage[4096];
  if (!platform::compileShaders(shaderSource, compilerMessage, sizeof compilerMessage)) {
    std::fprintf(stderr, "intro-tool play: the built-in shader text does not compile:\n%s\n", compilerMessage);
    return 10;
  }
  static TextTexture texts[textCount];
  rasteriseTexts(texts);
  platform::createTextTextures(texts, textCount);
  platform::createRenderTexture();
  float shaderParams[8] = {};
  writePictureSize(shaderParams, options.width, options.height);
  if (options.fullscreen) platform::setFullscreen();

  // The replays of the frame update run at the rate the screen shows frames, as the intro's loop.
  const double replayRate = sdlWindowRefreshRate();
  std::uint32_t position = playPositionOfTime(options.from);
  switch (waitForRender(song.current(), position)) {
    case RenderWait::covered: break;
    case RenderWait::quit: return 0;
    case RenderWait::failed: return 1;
  }
  PlayStatus status;
  status.show = songShowStateAt(song.current().memory(), position, replayRate);
  play_audio::open(&song.current().memory());
  song.setStillRead(play_audio::reads);
  play_audio::play(position);

  // Scene files from a folder: its first build replaces the built-in pipelines once it is done.
  vk_core::PipelineSet staged;  // outlives shaders: its worker may be writing it
  std::optional<LiveShaders> shaders;
  if (!options.shaderDir.empty()) {
    shaders.emplace(
        options.shaderDir,
        [&staged](const std::string& text, std::string& message) {
          message = platform::buildPipelines(text.data(), text.size(), staged).text();
          return message.empty();
        },
        [&staged] { platform::installPipelines(staged); });
  }

  // A seek waits here until the render covers it (at once, unless the render is behind).
  bool seeking = false;
  std::uint32_t seekTo = 0;
  bool redraw = true;
  std::int64_t lastTitleMs = 0;
  std::int64_t fpsSinceMs = steadyMs();
  int framesSince = 0;
  for (;;) {
    std::int32_t keys[64];
    const int keyCount = takeSdlKeyPresses(keys, 64);
    for (int i = 0; i < keyCount; ++i) {
      const PlayKey key = playKeyOf(keys[i]);
      if (key == PlayKey::quit) platform::exitProcess(0);
      if (key == PlayKey::pause) {
        status.paused = !status.paused;
        if (status.paused) {
          play_audio::pause();
          reportHeld(status.show, options.width, options.height);
        } else {
          if (position >= lastPlayPosition) {
            seeking = true;  // the end reached: play again from the start
            seekTo = 0;
          } else {
            play_audio::play(position);
          }
        }
        redraw = true;
        continue;
      }
      const std::uint32_t from = seeking ? seekTo : position;
      const std::uint32_t target = seekTarget(key, from, status.paused, replayRate);
      if (target != from || key == PlayKey::home) {
        seeking = true;
        seekTo = target;
      }
    }

    if (shaders) {
      const LiveReport report = shaders->poll();
      if (report.outcome == LiveOutcome::installed) {
        if (status.note.rfind("shaders: ", 0) == 0) status.note.clear();
        std::fprintf(stderr, "intro-tool play: the shaders of %s are in use\n", options.shaderDir.c_str());
        redraw = true;
      } else if (report.outcome == LiveOutcome::failed) {
        std::fprintf(stderr, "intro-tool play: the shaders of %s do not build; the ones in use stay:\n%s\n",
                     options.shaderDir.c_str(), report.message.c_str());
        status.note = "shaders: " + firstLineOf(report.message);
      }
    }

    const LiveSong::Event songEvent = song.poll(position);
    if (songEvent.kind == LiveSong::Event::Kind::refused) {
      std::fprintf(stderr, "intro-tool play: %s", songEvent.text.c_str());
      status.note = "song: " + firstLineOf(songEvent.text);
    } else if (songEvent.kind == LiveSong::Event::Kind::rendering) {
      std::fprintf(stderr, "intro-tool play: %s\n", songEvent.text.c_str());
    } else if (songEvent.kind == LiveSong::Event::Kind::replaced) {
      std::fprintf(stderr, "intro-tool play: %s\n", songEvent.text.c_str());
      status.note.clear();
      play_audio::setSource(&song.current().memory());
      // e, e2 and e3 are what the new song has at this moment.
      status.show = songShowStateAt(song.current().memory(), position, replayRate);
      redraw = true;
    }

    const SongRender& render = song.current();
    const std::int64_t now = steadyMs();
    bool drawn = false;
    if (seeking) {
      if (!render.covers(seekTo)) {
        status.note = "rendering the song up to t " + std::to_string(static_cast<int>(seekTo / double(framesPerPattern) * 2.5));
      } else {
        position = seekTo;
        seeking = false;
        if (status.note.rfind("rendering", 0) == 0) status.note.clear();
        status.show = songShowStateAt(render.memory(), position, replayRate);
        if (status.paused) {
          reportHeld(status.show, options.width, options.height);
        } else {
          play_audio::play(position);
        }
        redraw = true;
      }
    } else if (!status.paused) {
      const std::uint32_t heard = std::min(play_audio::position(), lastPlayPosition);
      position = std::max(position, heard);
      showFrameAt(status.show, shaderParams, render.memory(), position);
      drawn = true;
      if (position >= lastPlayPosition) {
        // The end: the last picture stays, as when paused.
        status.paused = true;
        play_audio::pause();
        reportHeld(status.show, options.width, options.height);
      }
    }
    if (drawn || redraw || takeSdlWindowExposed()) {
      // Held, the picture is drawn again only when something changed (or the screen lost it).
      if (!drawn) drawShowFrame(status.show, shaderParams);
      redraw = false;
      ++framesSince;
    } else {
      sleepMs(10);
    }
    if (now - lastTitleMs >= 250) {
      lastTitleMs = now;
      if (now - fpsSinceMs >= 1000) {
        status.framesPerSecond = framesSince * 1000.0 / static_cast<double>(now - fpsSinceMs);
        framesSince = 0;
        fpsSinceMs = now;
      }
      setSdlWindowTitle(playStatusLine(status).c_str());
    }
  }
}
