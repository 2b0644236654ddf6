#pragma once
// Pipelines rebuilt while the intro's window runs, over the window back end's Vulkan core: a full
// set is built from a text on any thread while frames go on, and put in place on the frame thread
// between frames. The preview player's seam (player_backend.h) offers them on Linux.
#include <cstddef>

#include "host/vulkan/vk_core.h"

namespace vk_window {

// The twelve entry points of text (length bytes) into out, after createDevice. The pipelines in
// use stay as they are; on failure out is empty and the error says why (the compiler's message
// alone, or the Vulkan call that failed).
vk_core::VulkanError buildPipelines(const char* text, std::size_t length, vk_core::PipelineSet& out);
// Between frames on the frame thread: out's pipelines draw from the next frame on, the ones they
// replace are destroyed, out ends empty. An empty set does nothing. A failure of the device
// (waiting for the last frame) ends the run as a failed frame does.
void installPipelines(vk_core::PipelineSet& set);

}  // namespace vk_window
