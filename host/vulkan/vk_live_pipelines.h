#pragma once
// Pipelines rebuilt while the intro's window runs (a player's live shaders), over the window back
// end's Vulkan core: a full set is built from a text on any thread while frames go on, and put
// in place on the frame thread between frames. Linux only.
//
//   vk_core::PipelineSet staged;
//   std::string message;
//   if (platform::buildPipelines(text.data(), text.size(), staged, message))  // a worker thread
//     ...later, on the frame thread: platform::installPipelines(staged);
//   else ... message is the compiler's, "intro.hlsl:LINE: error: ..." ...
#include <cstddef>
#include <string>

#include "vk_core.h"

namespace platform {

// The twelve entry points of text (length bytes) into out, after createDevice. The pipelines in
// use stay as they are; on failure out is empty and message says why (the compiler's message,
// or the Vulkan call that failed).
bool buildPipelines(const char* text, std::size_t length, vk_core::PipelineSet& out, std::string& message);
// Between frames on the frame thread: out's pipelines draw from the next frame on, the ones they
// replace are destroyed, out ends empty. An empty set does nothing. A failure of the device
// (waiting for the last frame) ends the run as a failed frame does.
void installPipelines(vk_core::PipelineSet& set);

}  // namespace platform
