#pragma once
// The preview player (intro-tool play): the intro's start-up on its own back end (platform.h),
// then a frame loop whose clock is the sound heard (player_backend.h), with pause, the seek keys,
// and a song and shader files rebuilt when saved. Portable over those two interfaces.
#include <string>

class LiveSong;

struct PlayerSettings {
  double from = 0.0;  // music time to start at, 0 .. lastMusicTime
  int width = 1280;
  int height = 720;
  bool fullscreen = false;
  bool verticalSync = false;
  std::string shaderDir;  // scene files to watch; empty: the built-in text only
};

// Plays song (started) from settings.from until Escape, which ends the process with 0. Returns
// only on a failure, with the exit code: 1 (no display, a device that fails, a song that does not
// render), 10 (the built-in shader text does not compile), 0 (Escape while the song renders).
int runPlayer(const PlayerSettings& settings, LiveSong& song);
