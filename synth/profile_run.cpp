// Renders the built-in song once with the render driver built to count its branches and calls;
// the build then compiles the driver again with those counts (Release builds with GCC). The
// counts steer code layout and inlining only: the render's arithmetic, and so its output, are
// the same either way. The song is rendered through the interpreter, which other songs use (the
// built-in song itself runs the compiled song), and then a stretch through the compiled song,
// so that the driver's loop around it is counted too.
#include <cstdio>
#include <exception>

#include "render_paths.h"

int main() {
  try {
    SynthMemoryPtr interpreted = allocateSynthMemory(), compiled = allocateSynthMemory();
    if (!renderSongFramesWith(*interpreted, builtinSong(), songFrames, FrameRunner::interpreter) ||
        !renderSongFramesWith(*compiled, builtinSong(), songFrames / 8, FrameRunner::automatic)) {
      std::fprintf(stderr, "synth_profile_run: the built-in song failed its check\n");
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "synth_profile_run: %s\n", error.what());
    return 1;
  }
}
