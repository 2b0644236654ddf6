// The preview player's run: the intro's start-up on its back end, then the frame loop whose clock
// is the sound heard, with the keys, the live song and the live shaders.
#include "player/play_loop.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "host/frame_step.h"
#include "host/music_time.h"
#include "host/platform.h"
#include "host/show.h"
#include "player/live_shaders.h"
#include "player/play_seek.h"
#include "player/play_song.h"
#include "player/play_status.h"
#include "player/player_backend.h"
#include "shaders/shader_source.h"
#include "text/text_textures.h"

namespace {

std::int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Whether Escape (or the window's close button) came among the keys pressed now.
bool quitPressed() {
  Key keys[64];
  const int count = player_backend::takeKeys(keys, 64);
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
    if (quitPressed()) {
      if (wrote) std::fprintf(stderr, "\n");  // the progress line ends, whatever ends the wait
      return RenderWait::quit;
    }
    const std::int64_t now = steadyMs();
    if (now - lastLineMs >= 250) {
      lastLineMs = now;
      char line[128];
      std::snprintf(line, sizeof line, "rendering the song: t %.1f of %.1f", musicTimeAt(song.rendered()),
                    musicTimeAt(position));
      std::fprintf(stderr, "\rintro-tool play: %s", line);
      player_backend::setWindowTitle(line);
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

int runPlayer(const PlayerSettings& settings, LiveSong& song) {
  platform::createWindow(settings.width, settings.height);
  if (!player_backend::takeWindow()) {
    std::fprintf(stderr,
                 "intro-tool play: no window could be opened; play needs a display (set DISPLAY, or run it under "
                 "xvfb-run)\n");
    return 1;
  }
  player_backend::setWindowTitle("intro-tool play");
  if (const int failure = platform::createDevice(settings.width, settings.height, settings.verticalSync ? 1 : 0);
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
  ShaderParams shaderParams = {};
  writePictureSize(shaderParams, settings.width, settings.height);
  if (settings.fullscreen) platform::setFullscreen();

  // The replays of the frame update run at the rate the screen shows frames, as the intro's loop.
  const double replayRate = player_backend::windowRefreshRate();
  std::uint32_t position = songPositionAt(settings.from);
  switch (waitForRender(song.current(), position)) {
    case RenderWait::covered: break;
    case RenderWait::quit: return 0;
    case RenderWait::failed: return 1;
  }
  PlayStatus status;
  status.show = songShowStateAt(song.current().memory(), position, replayRate);
  player_backend::openSound(&song.current().memory());
  song.setStillRead(player_backend::soundReads);
  player_backend::playSound(position);

  // Scene files from a folder: its first build replaces the built-in pipelines once it is done.
  std::optional<LiveShaders> shaders;
  if (!settings.shaderDir.empty()) {
    shaders.emplace(
        settings.shaderDir,
        [](const std::string& text, std::string& message) {
          return player_backend::buildPipelines(text.data(), text.size(), message);
        },
        [] { player_backend::installPipelines(); });
  }

  // A seek waits here until the render covers it (at once, unless the render is behind).
  bool seeking = false;
  std::uint32_t seekTo = 0;
  bool redraw = true;
  std::int64_t lastTitleMs = 0;
  std::int64_t fpsSinceMs = steadyMs();
  int framesSince = 0;
  for (;;) {
    Key keys[64];
    const int keyCount = player_backend::takeKeys(keys, 64);
    for (int i = 0; i < keyCount; ++i) {
      const PlayKey key = playKeyOf(keys[i]);
      if (key == PlayKey::quit) platform::exitProcess(0);
      if (key == PlayKey::pause) {
        status.paused = !status.paused;
        if (status.paused) {
          player_backend::pauseSound();
          reportHeld(status.show, settings.width, settings.height);
        } else {
          if (position >= lastPlayPosition) {
            seeking = true;  // the end reached: play again from the start
            seekTo = 0;
          } else {
            player_backend::playSound(position);
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
        status.shaderNote.clear();
        std::fprintf(stderr, "intro-tool play: the shaders of %s are in use\n", settings.shaderDir.c_str());
        redraw = true;
      } else if (report.outcome == LiveOutcome::failed) {
        std::fprintf(stderr, "intro-tool play: the shaders of %s do not build; the ones in use stay:\n%s\n",
                     settings.shaderDir.c_str(), report.message.c_str());
        status.shaderNote = "shaders: " + report.message;
      }
    }

    const LiveSong::Event songEvent = song.poll(position);
    if (songEvent.kind == LiveSong::Event::Kind::refused) {
      std::fprintf(stderr, "intro-tool play: %s", songEvent.text.c_str());
      status.songNote = "song: " + songEvent.text;
    } else if (songEvent.kind == LiveSong::Event::Kind::rendering) {
      std::fprintf(stderr, "intro-tool play: %s\n", songEvent.text.c_str());
      status.songNote.clear();  // the file is a valid song again
    } else if (songEvent.kind == LiveSong::Event::Kind::replaced) {
      std::fprintf(stderr, "intro-tool play: %s\n", songEvent.text.c_str());
      player_backend::setSoundSource(&song.current().memory());
      // e, e2 and e3 are what the new song has at this moment.
      status.show = songShowStateAt(song.current().memory(), position, replayRate);
      redraw = true;
    }

    const SongRender& render = song.current();
    const std::int64_t now = steadyMs();
    bool drawn = false;
    if (seeking) {
      if (!render.covers(seekTo)) {
        status.seekNote = "rendering the song up to t " + std::to_string(static_cast<int>(musicTimeAt(seekTo)));
      } else {
        position = seekTo;
        seeking = false;
        status.seekNote.clear();
        status.show = songShowStateAt(render.memory(), position, replayRate);
        if (status.paused) {
          reportHeld(status.show, settings.width, settings.height);
        } else {
          player_backend::playSound(position);
        }
        redraw = true;
      }
    } else if (!status.paused) {
      const std::uint32_t heard = std::min(player_backend::heardPosition(), lastPlayPosition);
      position = std::max(position, heard);
      showFrameAt(status.show, shaderParams, render.memory(), position);
      drawn = true;
      if (position >= lastPlayPosition) {
        // The end: the last picture stays, as when paused.
        status.paused = true;
        player_backend::pauseSound();
        reportHeld(status.show, settings.width, settings.height);
      }
    }
    if (drawn || redraw || player_backend::takeWindowExposed()) {
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
      player_backend::setWindowTitle(playStatusLine(status).c_str());
    }
  }
}
