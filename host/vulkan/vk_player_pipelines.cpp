// The preview player's live pipelines on Linux (player_backend.h): built into one set held here,
// installed from it, over the window's Vulkan core. The text is being edited: each compile runs
// in a child process, so that a text that takes the compiler down is only a build that failed.
#include <cstdlib>

#include "host/vulkan/vk_compile.h"
#include "host/vulkan/vk_live_pipelines.h"
#include "player/player_backend.h"

namespace {

// Written by the one building thread; read by the frame thread only after the build is done.
vk_core::PipelineSet staged;

// The default limits; INTRO_PLAY_BUILD_SECONDS sets another time limit (a test's short one).
vk_compile::ChildLimits liveLimits() {
  vk_compile::ChildLimits limits;
  if (const char* seconds = std::getenv("INTRO_PLAY_BUILD_SECONDS")) {
    const double value = std::strtod(seconds, nullptr);
    if (value > 0) limits.seconds = value;
  }
  return limits;
}

}  // namespace

namespace player_backend {

bool buildPipelines(const char* text, std::size_t length, std::string& message) {
  static const bool inChildren = [] {
    vk_compile::compileInChildren(liveLimits());
    return true;
  }();
  (void)inChildren;
  message = vk_window::buildPipelines(text, length, staged).text();
  return message.empty();
}

void installPipelines() { vk_window::installPipelines(staged); }

}  // namespace player_backend
