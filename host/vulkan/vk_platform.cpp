// The Vulkan side of platform.h: device, shaders, textures and the frame on the intro's SDL
// window. Each frame runs the scene and the final pass into the offscreen back buffer w, then
// blits w onto the swap chain image (swap chains are usually BGRA and may not allow storage).
// The swap chain follows the window: a changed drawable size (full screen) or an out-of-date
// swap chain is met by building a new one before the next frame. Every other failure of a Vulkan
// call (a lost device, a lost surface, no memory) is said once on stderr and ends the run with
// exit code 1.
#include <SDL.h>
#include <SDL_vulkan.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "host/backend_rules.h"
#include "host/cpu_frame_estimate.h"
#include "host/platform.h"
#include "host/vulkan/sdl_window.h"
#include "host/vulkan/vk_compile.h"
#include "host/vulkan/vk_core.h"
#include "host/vulkan/vk_live_pipelines.h"
#include "text/text_textures.h"

namespace platform {

namespace {

using vk_core::VulkanError;

struct VulkanWindow {
  // Never destroyed: the process ends by exitProcess with everything left as it is.
  vk_core::Core& core = *new vk_core::Core;
  bool ready = false;
  int verticalSync = 0;
  SDL_Window* window = nullptr;
  VkSurfaceKHR surface = VK_NULL_HANDLE;
  VkSwapchainKHR swapchain = VK_NULL_HANDLE;
  VkFormat format = VK_FORMAT_UNDEFINED;
  VkExtent2D extent{0, 0};
  std::vector<VkImage> images;
  std::vector<VkSemaphore> renderDone;  // one per swap chain image
  VkSemaphore acquired = VK_NULL_HANDLE;
  bool rebuild = false;
  std::size_t validationReported = 0;
};

VulkanWindow state;

int fail(const std::string& what) {
  std::fprintf(stderr, "intro: graphics device: %s\n", what.c_str());
  return 1;
}

int fail(const VulkanError& error) {
  if (error.deviceLost()) {
    return fail(error.text() + " (the driver reset or the GPU was removed; start the intro again)");
  }
  return fail(error.text());
}

// A failure during the frame loop: said once, then the run ends.
[[noreturn]] void failInFrame(const VulkanError& error) {
  fail(error);
  exitProcess(1);
}

// On a CPU implementation the show runs, but slowly: say what to expect, once.
void noteCpuDevice(int width, int height) {
  if (state.core.properties.deviceType != VK_PHYSICAL_DEVICE_TYPE_CPU) return;
  const cpu_frame_estimate::Estimate estimate = cpu_frame_estimate::estimateAt(width, height);
  std::fprintf(stderr,
               "intro: the Vulkan device \"%s\" is a CPU implementation, not a GPU: expect about %.2g frames per "
               "second at %dx%d",
               state.core.properties.deviceName, estimate.framesPerSecond, width, height);
  if (estimate.suggested) {
    std::fprintf(stderr, "; try %dx%d for about %.2g a second", estimate.suggestedWidth, estimate.suggestedHeight,
                 estimate.suggestedFramesPerSecond);
  }
  std::fprintf(stderr,
               " (an estimate: frame times measured on a 2-core machine at %gx%g, scaled by the pixel count)\n",
               cpu_frame_estimate::measuredWidth, cpu_frame_estimate::measuredHeight);
}

void reportValidation() {
  // A pipeline build on another thread may add to the list meanwhile.
  const std::lock_guard<std::mutex> lock(state.core.validationMutex);
  const auto& errors = state.core.validationErrors;
  for (; state.validationReported < errors.size(); ++state.validationReported) {
    std::fprintf(stderr, "intro: validation: %s\n", errors[state.validationReported].c_str());
  }
}

// FIFO, which every surface offers, unless vertical sync is off and a faster mode is offered.
VulkanError choosePresentMode(VkPresentModeKHR& mode) {
  mode = VK_PRESENT_MODE_FIFO_KHR;
  if (state.verticalSync == 1) return {};
  std::uint32_t count = 0;
  VkResult result = vkGetPhysicalDeviceSurfacePresentModesKHR(state.core.physicalDevice, state.surface, &count, nullptr);
  std::vector<VkPresentModeKHR> modes(count);
  if (result == VK_SUCCESS) {
    result = vkGetPhysicalDeviceSurfacePresentModesKHR(state.core.physicalDevice, state.surface, &count, modes.data());
  }
  // VK_INCOMPLETE: the list grew meanwhile; the modes listed are enough to choose from.
  if (VulkanError error =
          vk_core::check(result == VK_INCOMPLETE ? VK_SUCCESS : result, "vkGetPhysicalDeviceSurfacePresentModesKHR");
      error.failed()) {
    return error;
  }
  modes.resize(count);
  for (VkPresentModeKHR wanted : {VK_PRESENT_MODE_IMMEDIATE_KHR, VK_PRESENT_MODE_MAILBOX_KHR}) {
    if (std::find(modes.begin(), modes.end(), wanted) != modes.end()) {
      mode = wanted;
      break;
    }
  }
  return {};
}

bool blitTarget(VkFormat format) {
  VkFormatProperties properties{};
  vkGetPhysicalDeviceFormatProperties(state.core.physicalDevice, format, &properties);
  return (properties.optimalTilingFeatures & VK_FORMAT_FEATURE_BLIT_DST_BIT) != 0;
}

VulkanError destroySwapchain() {
  VkDevice device = state.core.device;
  const VkResult idle = vkDeviceWaitIdle(device);
  state.core.fencePending = false;
  for (VkSemaphore semaphore : state.renderDone) vkDestroySemaphore(device, semaphore, nullptr);
  state.renderDone.clear();
  state.images.clear();
  if (state.swapchain != VK_NULL_HANDLE) vkDestroySwapchainKHR(device, state.swapchain, nullptr);
  state.swapchain = VK_NULL_HANDLE;
  return vk_core::check(idle, "vkDeviceWaitIdle");
}

// (Re)builds the swap chain at the window's drawable size. While the window has no area
// (minimised) there is nothing to show on: no swap chain is made, and the next frame tries again.
VulkanError buildSwapchain() {
  if (VulkanError error = destroySwapchain(); error.failed()) return error;
  VkPhysicalDevice physical = state.core.physicalDevice;
  VkSurfaceCapabilitiesKHR caps{};
  if (VulkanError error = vk_core::check(vkGetPhysicalDeviceSurfaceCapabilitiesKHR(physical, state.surface, &caps),
                                         "vkGetPhysicalDeviceSurfaceCapabilitiesKHR", "the window surface");
      error.failed()) {
    return error;
  }
  if ((caps.supportedUsageFlags & VK_IMAGE_USAGE_TRANSFER_DST_BIT) == 0) {
    return vk_core::checkFailed("swap chain", "the window surface does not accept transfers");
  }
  int drawableWidth = 0;
  int drawableHeight = 0;
  SDL_Vulkan_GetDrawableSize(state.window, &drawableWidth, &drawableHeight);
  VkExtent2D extent = caps.currentExtent;
  if (extent.width == 0xFFFFFFFFu) {
    extent.width = std::clamp(static_cast<std::uint32_t>(std::max(drawableWidth, 1)), caps.minImageExtent.width,
                              caps.maxImageExtent.width);
    extent.height = std::clamp(static_cast<std::uint32_t>(std::max(drawableHeight, 1)), caps.minImageExtent.height,
                               caps.maxImageExtent.height);
  }
  if (extent.width == 0 || extent.height == 0) return {};

  std::uint32_t formatCount = 0;
  VkResult result = vkGetPhysicalDeviceSurfaceFormatsKHR(physical, state.surface, &formatCount, nullptr);
  std::vector<VkSurfaceFormatKHR> formats(formatCount);
  if (result == VK_SUCCESS) {
    result = vkGetPhysicalDeviceSurfaceFormatsKHR(physical, state.surface, &formatCount, formats.data());
  }
  if (VulkanError error =
          vk_core::check(result == VK_INCOMPLETE ? VK_SUCCESS : result, "vkGetPhysicalDeviceSurfaceFormatsKHR");
      error.failed()) {
    return error;
  }
  formats.resize(formatCount);
  // The picture is stored as plain 8-bit values (no sRGB encoding), as on Direct3D.
  const VkSurfaceFormatKHR* chosen = nullptr;
  for (VkFormat wanted : {VK_FORMAT_B8G8R8A8_UNORM, VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_A8B8G8R8_UNORM_PACK32}) {
    for (const auto& candidate : formats) {
      if (chosen == nullptr && candidate.format == wanted && blitTarget(wanted)) chosen = &candidate;
    }
  }
  for (const auto& candidate : formats) {
    if (chosen == nullptr && blitTarget(candidate.format)) chosen = &candidate;
  }
  if (chosen == nullptr) return vk_core::checkFailed("swap chain", "no format of the window surface can be blitted to");
  VkPresentModeKHR presentMode = VK_PRESENT_MODE_FIFO_KHR;
  if (VulkanError error = choosePresentMode(presentMode); error.failed()) return error;

  VkCompositeAlphaFlagBitsKHR alpha = VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR;
  if ((caps.supportedCompositeAlpha & alpha) == 0) {
    for (VkCompositeAlphaFlagBitsKHR other : {VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR, VK_COMPOSITE_ALPHA_PRE_MULTIPLIED_BIT_KHR,
                                              VK_COMPOSITE_ALPHA_POST_MULTIPLIED_BIT_KHR}) {
      if ((caps.supportedCompositeAlpha & other) != 0) {
        alpha = other;
        break;
      }
    }
  }
  std::uint32_t imageCount = caps.minImageCount + 1;
  if (caps.maxImageCount != 0) imageCount = std::min(imageCount, caps.maxImageCount);

  VkSwapchainCreateInfoKHR info{};
  info.sType = VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR;
  info.surface = state.surface;
  info.minImageCount = imageCount;
  info.imageFormat = chosen->format;
  info.imageColorSpace = chosen->colorSpace;
  info.imageExtent = extent;
  info.imageArrayLayers = 1;
  info.imageUsage = VK_IMAGE_USAGE_TRANSFER_DST_BIT;
  info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
  info.preTransform = caps.currentTransform;
  info.compositeAlpha = alpha;
  info.presentMode = presentMode;
  info.clipped = VK_TRUE;
  if (VulkanError error = vk_core::check(vkCreateSwapchainKHR(state.core.device, &info, nullptr, &state.swapchain),
                                         "vkCreateSwapchainKHR");
      error.failed()) {
    state.swapchain = VK_NULL_HANDLE;
    return error;
  }
  state.format = chosen->format;
  state.extent = extent;
  std::uint32_t count = 0;
  result = vkGetSwapchainImagesKHR(state.core.device, state.swapchain, &count, nullptr);
  state.images.resize(count);
  if (result == VK_SUCCESS) result = vkGetSwapchainImagesKHR(state.core.device, state.swapchain, &count, state.images.data());
  if (VulkanError error = vk_core::check(result, "vkGetSwapchainImagesKHR"); error.failed()) return error;
  VkSemaphoreCreateInfo semaphoreInfo{};
  semaphoreInfo.sType = VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO;
  state.renderDone.assign(count, VK_NULL_HANDLE);
  for (auto& semaphore : state.renderDone) {
    if (VulkanError error = vk_core::check(vkCreateSemaphore(state.core.device, &semaphoreInfo, nullptr, &semaphore),
                                           "vkCreateSemaphore", "a swap chain image's");
        error.failed()) {
      return error;
    }
  }
  state.rebuild = false;
  return {};
}

bool windowSizeChanged() {
  int width = 0;
  int height = 0;
  SDL_Vulkan_GetDrawableSize(state.window, &width, &height);
  return width > 0 && height > 0 &&
         (static_cast<std::uint32_t>(width) != state.extent.width || static_cast<std::uint32_t>(height) != state.extent.height);
}

}  // namespace

int createDevice(int width, int height, int verticalSync) {
  state.window = sdlWindow();
  state.verticalSync = verticalSync;
  if (state.window == nullptr) return fail("there is no window to show the picture in");
  const char* validation = std::getenv("INTRO_VALIDATION");
  state.core.validation = validation != nullptr && std::strcmp(validation, "1") == 0;

  unsigned extensionCount = 0;
  if (SDL_Vulkan_GetInstanceExtensions(state.window, &extensionCount, nullptr) != SDL_TRUE) {
    return fail(std::string("the window cannot take Vulkan: ") + SDL_GetError());
  }
  std::vector<const char*> extensions(extensionCount);
  if (SDL_Vulkan_GetInstanceExtensions(state.window, &extensionCount, extensions.data()) != SDL_TRUE) {
    return fail(std::string("the window cannot take Vulkan: ") + SDL_GetError());
  }
  if (VulkanError error = state.core.createInstance(extensions); error.failed()) return fail(error);
  if (SDL_Vulkan_CreateSurface(state.window, state.core.instance, &state.surface) != SDL_TRUE) {
    return fail(std::string("cannot create a Vulkan surface on the window: ") + SDL_GetError());
  }
  if (VulkanError error = state.core.createDevice(state.surface); error.failed()) return fail(error);
  if (VulkanError error = state.core.createTargets(width, height); error.failed()) return fail(error);
  VkSemaphoreCreateInfo semaphoreInfo{};
  semaphoreInfo.sType = VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO;
  if (VulkanError error = vk_core::check(vkCreateSemaphore(state.core.device, &semaphoreInfo, nullptr, &state.acquired),
                                         "vkCreateSemaphore", "the image-acquired one");
      error.failed()) {
    return fail(error);
  }
  // A window without area at the start is met like one later: the frame loop waits for it.
  if (VulkanError error = buildSwapchain(); error.failed()) return fail(error);
  noteCpuDevice(width, height);
  state.ready = true;
  reportValidation();
  return 0;
}

bool compileShaders(const char* source, char* message, std::size_t messageSize) {
  if (VulkanError error = state.core.compileIntro(source); error.failed()) {
    const std::string text = error.text();
    backend_rules::copyCompilerMessage(message, messageSize, text.c_str(), text.size());
    return false;
  }
  reportValidation();
  return true;
}

void createTextTextures(const TextTexture* textures, int count) {
  for (int i = 0; i < count && i < textCount; ++i) {
    if (VulkanError error = state.core.setText(textSlot(static_cast<TextId>(i)), textures[i].width,
                                               textures[i].height, textures[i].rgba);
        error.failed()) {
      // A text that cannot be made leaves its slot blank (a lost device is met by the next frame).
      std::fprintf(stderr, "intro: text texture %s: %s\n", textures[i].stem, error.text().c_str());
    }
  }
  reportValidation();
}

void createRenderTexture() {
  // textureRender (T) is made with the back buffer, at its size and format, and bound at t0 from
  // the start; nothing is left to do here.
}

void drawFrame(const ShaderParams& shaderParams, int sceneIndex) {
  if (!state.ready) return;
  if (VulkanError error = state.core.waitIdle(); error.failed()) failInFrame(error);
  if (state.rebuild || state.swapchain == VK_NULL_HANDLE || windowSizeChanged()) {
    if (VulkanError error = buildSwapchain(); error.failed()) {
      if (!error.outOfDate()) failInFrame(error);
      // The window changed again while the swap chain was made: once more next frame.
      state.rebuild = true;
      return;
    }
    if (state.swapchain == VK_NULL_HANDLE) return;  // no area to show on now; try again next frame
  }
  std::uint32_t imageIndex = 0;
  VkResult result =
      vkAcquireNextImageKHR(state.core.device, state.swapchain, UINT64_MAX, state.acquired, VK_NULL_HANDLE, &imageIndex);
  if (result == VK_ERROR_OUT_OF_DATE_KHR) {
    state.rebuild = true;
    return;
  }
  // Suboptimal: the image is still shown; a new swap chain follows before the next frame.
  if (result == VK_SUBOPTIMAL_KHR) {
    state.rebuild = true;
  } else if (VulkanError error = vk_core::check(result, "vkAcquireNextImageKHR"); error.failed()) {
    failInFrame(error);
  }

  if (VulkanError error = state.core.beginCommands(); error.failed()) failInFrame(error);
  state.core.recordFrame(shaderParams, sceneIndex, false);
  VkCommandBuffer cb = state.core.commandBuffer;
  VkImage target = state.images[imageIndex];
  VkImageMemoryBarrier toBlit = vk_core::imageBarrier(target, 0, VK_ACCESS_TRANSFER_WRITE_BIT,
                                                      VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL);
  vkCmdPipelineBarrier(cb, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0, nullptr, 1,
                       &toBlit);
  const vk_core::Image& w = state.core.backBuffer;
  VkImageBlit region{};
  region.srcSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
  region.srcOffsets[1] = {w.width, w.height, 1};
  region.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
  region.dstOffsets[1] = {static_cast<std::int32_t>(state.extent.width), static_cast<std::int32_t>(state.extent.height), 1};
  // Same size: a plain copy; stretched (full screen on another size): filtered.
  const bool sameSize = static_cast<std::uint32_t>(w.width) == state.extent.width &&
                        static_cast<std::uint32_t>(w.height) == state.extent.height;
  vkCmdBlitImage(cb, w.image, VK_IMAGE_LAYOUT_GENERAL, target, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region,
                 sameSize ? VK_FILTER_NEAREST : VK_FILTER_LINEAR);
  VkImageMemoryBarrier toPresent = vk_core::imageBarrier(
      target, VK_ACCESS_TRANSFER_WRITE_BIT, 0, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_LAYOUT_PRESENT_SRC_KHR);
  vkCmdPipelineBarrier(cb, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, 0, 0, nullptr, 0,
                       nullptr, 1, &toPresent);
  if (VulkanError error =
          state.core.submit(state.acquired, VK_PIPELINE_STAGE_TRANSFER_BIT, state.renderDone[imageIndex]);
      error.failed()) {
    failInFrame(error);
  }

  VkPresentInfoKHR present{};
  present.sType = VK_STRUCTURE_TYPE_PRESENT_INFO_KHR;
  present.waitSemaphoreCount = 1;
  present.pWaitSemaphores = &state.renderDone[imageIndex];
  present.swapchainCount = 1;
  present.pSwapchains = &state.swapchain;
  present.pImageIndices = &imageIndex;
  result = vkQueuePresentKHR(state.core.queue, &present);
  if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_SUBOPTIMAL_KHR) {
    state.rebuild = true;
  } else if (VulkanError error = vk_core::check(result, "vkQueuePresentKHR"); error.failed()) {
    failInFrame(error);
  }
  if (state.core.validation) reportValidation();
}

}  // namespace platform

namespace vk_window {

vk_core::VulkanError buildPipelines(const char* text, std::size_t length, vk_core::PipelineSet& out) {
  return platform::state.core.buildPipelineSet(text, length, out);
}

void installPipelines(vk_core::PipelineSet& set) {
  if (!platform::state.ready || set.empty()) return;
  if (vk_core::VulkanError error = platform::state.core.installPipelineSet(set); error.failed()) {
    platform::failInFrame(error);
  }
  platform::reportValidation();
}

}  // namespace vk_window
