#pragma once
// One turn of the frame loop, shared by the intro and the preview player (intro-tool play): the
// frame update at a play position, then the picture (the scene the timeline picks, then the final
// pass). Portable: platform.h's drawFrame is the back end's.
#include <cstdint>

#include "host/platform.h"
#include "host/show.h"
#include "synth/synth.h"

// The picture of show as it stands (a held frame, or one just updated).
inline void drawShowFrame(const ShowState& show, ShaderParams& shaderParams) {
  writeFrameParams(shaderParams, show);
  platform::drawFrame(shaderParams, show.sceneIndex);
}

// The frame update at play position (levels from memory), then its picture.
inline void showFrameAt(ShowState& show, ShaderParams& shaderParams, const SynthMemory& memory,
                        std::uint32_t position) {
  advanceFrame(show, position, songLevelsAt(memory, position));
  drawShowFrame(show, shaderParams);
}
