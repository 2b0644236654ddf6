// The preview player's live pipelines on Linux (player_backend.h): built into one set held here,
// installed from it, over the window's Vulkan core.
#include "host/vulkan/vk_live_pipelines.h"
#include "player/player_backend.h"

namespace {

// Written by the one building thread; read by the frame thread only after the build is done.
vk_core::PipelineSet staged;

}  // namespace

namespace player_backend {

bool buildPipelines(const char* text, std::size_t length, std::string& message) {
  message = vk_window::buildPipelines(text, length, staged).text();
  return message.empty();
}

void installPipelines() { vk_window::installPipelines(staged); }

}  // namespace player_backend
