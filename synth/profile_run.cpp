// Renders the built-in song once with the render driver built to count its branches and calls;
// the build then compiles the driver again with those counts (Release builds with GCC). The
// counts steer code layout and inlining only: the render's arithmetic, and so its output, are
// the same either way.
#include <cstdio>
#include <exception>

#include "synth.h"

int main() {
  try {
    SynthMemoryPtr memory = allocateSynthMemory();
    if (!renderSong(*memory, builtinSong())) {
      std::fprintf(stderr, "synth_profile_run: the built-in song failed its check\n");
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "synth_profile_run: %s\n", error.what());
    return 1;
  }
}
