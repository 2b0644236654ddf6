// The Vulkan side of platform.h: device, shaders, textures and the frame on the intro's SDL
// window. Each frame runs the scene and the final pass into the offscreen back buffer w, then
// blits w onto the swap chain image (swap chains are usually BGRA and may not allow storage).
// The swap chain follows the window: a changed drawable size (full screen) or an out-of-date
// swap chain is met by building a new one before the next frame.
#include <SDL.h>
#include <SDL_vulkan.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform.h"
#include "sdl_window.h"
#include "text_textures.h"
#include "vk_compile.h"
#include "vk_core.h"

namespace platform {

namespace {

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

void reportValidation() {
  const auto& errors = state.core.validationErrors;
  for (; state.validationReported < errors.size(); ++state.validationReported) {
    std::fprintf(stderr, "intro: validation: %s\n", errors[state.validationReported].c_str());
  }
}

VkPresentModeKHR choosePresentMode() {
  std::uint32_t count = 0;
  vkGetPhysicalDeviceSurfacePresentModesKHR(state.core.physicalDevice, state.surface, &count, nullptr);
  std::vector<VkPresentModeKHR> modes(count);
  vkGetPhysicalDeviceSurfacePresentModesKHR(state.core.physicalDevice, state.surface, &count, modes.data());
  if (state.verticalSync == 1) return VK_PRESENT_MODE_FIFO_KHR;
  for (VkPresentModeKHR wanted : {VK_PRESENT_MODE_IMMEDIATE_KHR, VK_PRESENT_MODE_MAILBOX_KHR}) {
    if (std::find(modes.begin(), modes.end(), wanted) != modes.end()) return wanted;
  }
  return VK_PRESENT_MODE_FIFO_KHR;
}

bool blitTarget(VkFormat format) {
  VkFormatProperties properties{};
  vkGetPhysicalDeviceFormatProperties(state.core.physicalDevice, format, &properties);
  return (properties.optimalTilingFeatures & VK_FORMAT_FEATURE_BLIT_DST_BIT) != 0;
}

void destroySwapchain() {
  VkDevice device = state.core.device;
  vkDeviceWaitIdle(device);
  state.core.fencePending = false;
  for (VkSemaphore semaphore : state.renderDone) vkDestroySemaphore(device, semaphore, nullptr);
  state.renderDone.clear();
  state.images.clear();
  if (state.swapchain != VK_NULL_HANDLE) vkDestroySwapchainKHR(device, state.swapchain, nullptr);
  state.swapchain = VK_NULL_HANDLE;
}

// (Re)builds the swap chain at the window's drawable size. False when there is nothing to show
// on now (a zero-sized window) or the surface cannot take our blit.
bool buildSwapchain(std::string& error) {
  destroySwapchain();
  VkPhysicalDevice physical = state.core.physicalDevice;
  VkSurfaceCapabilitiesKHR caps{};
  VkResult result = vkGetPhysicalDeviceSurfaceCapabilitiesKHR(physical, state.surface, &caps);
  if (result != VK_SUCCESS) {
    error = std::string("cannot query the window surface (") + vk_core::resultName(result) + ")";
    return false;
  }
  if ((caps.supportedUsageFlags & VK_IMAGE_USAGE_TRANSFER_DST_BIT) == 0) {
    error = "the window surface does not accept transfers";
    return false;
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
  if (extent.width == 0 || extent.height == 0) {
    error = "the window has no area";
    return false;
  }

  std::uint32_t formatCount = 0;
  vkGetPhysicalDeviceSurfaceFormatsKHR(physical, state.surface, &formatCount, nullptr);
  std::vector<VkSurfaceFormatKHR> formats(formatCount);
  vkGetPhysicalDeviceSurfaceFormatsKHR(physical, state.surface, &formatCount, formats.data());
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
  if (chosen == nullptr) {
    error = "no swap chain format can be blitted to";
    return false;
  }

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
  info.presentMode = choosePresentMode();
  info.clipped = VK_TRUE;
  result = vkCreateSwapchainKHR(state.core.device, &info, nullptr, &state.swapchain);
  if (result != VK_SUCCESS) {
    state.swapchain = VK_NULL_HANDLE;
    error = vk_core::failed("vkCreateSwapchainKHR", result);
    return false;
  }
  state.format = chosen->format;
  state.extent = extent;
  std::uint32_t count = 0;
  vkGetSwapchainImagesKHR(state.core.device, state.swapchain, &count, nullptr);
  state.images.resize(count);
  vkGetSwapchainImagesKHR(state.core.device, state.swapchain, &count, state.images.data());
  VkSemaphoreCreateInfo semaphoreInfo{};
  semaphoreInfo.sType = VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO;
  state.renderDone.assign(count, VK_NULL_HANDLE);
  for (auto& semaphore : state.renderDone) vkCreateSemaphore(state.core.device, &semaphoreInfo, nullptr, &semaphore);
  state.rebuild = false;
  return true;
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
  SDL_Vulkan_GetInstanceExtensions(state.window, &extensionCount, extensions.data());
  std::string error;
  if (!state.core.createInstance(extensions, error)) return fail(error);
  if (SDL_Vulkan_CreateSurface(state.window, state.core.instance, &state.surface) != SDL_TRUE) {
    return fail(std::string("cannot create a Vulkan surface on the window: ") + SDL_GetError());
  }
  if (!state.core.createDevice(state.surface, error)) return fail(error);
  if (!state.core.createTargets(width, height, error)) return fail(error);
  VkSemaphoreCreateInfo semaphoreInfo{};
  semaphoreInfo.sType = VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO;
  vkCreateSemaphore(state.core.device, &semaphoreInfo, nullptr, &state.acquired);
  if (!buildSwapchain(error)) return fail(error);
  state.ready = true;
  reportValidation();
  return 0;
}

bool compileShaders(const char* source, char* message, std::size_t messageSize) {
  std::string text;
  if (!state.core.compileIntro(source, text)) {
    vk_compile::copyMessage(text, message, messageSize);
    return false;
  }
  reportValidation();
  return true;
}

void createTextTextures(const TextTexture* textures, int count) {
  for (int i = 0; i < count && i < textCount; ++i) {
    std::string error;
    if (!state.core.setText(textSlot(static_cast<TextId>(i)), textures[i].width, textures[i].height, textures[i].rgba,
                            error)) {
      std::fprintf(stderr, "intro: text texture %s: %s\n", textures[i].stem, error.c_str());
    }
  }
  reportValidation();
}

void createRenderTexture() {
  // textureRender (T) is made with the back buffer, at its size and format, and bound at t0 from
  // the start; nothing is left to do here.
}

void drawFrame(const float (&shaderParams)[8], int sceneIndex) {
  if (!state.ready) return;
  state.core.waitIdle();
  if (state.rebuild || state.swapchain == VK_NULL_HANDLE || windowSizeChanged()) {
    std::string error;
    if (!buildSwapchain(error)) return;  // nothing to show on now; try again next frame
  }
  std::uint32_t imageIndex = 0;
  VkResult result =
      vkAcquireNextImageKHR(state.core.device, state.swapchain, UINT64_MAX, state.acquired, VK_NULL_HANDLE, &imageIndex);
  if (result == VK_ERROR_OUT_OF_DATE_KHR) {
    state.rebuild = true;
    return;
  }
  if (result != VK_SUCCESS && result != VK_SUBOPTIMAL_KHR) return;
  if (result == VK_SUBOPTIMAL_KHR) state.rebuild = true;

  state.core.beginCommands();
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
  state.core.submit(state.acquired, VK_PIPELINE_STAGE_TRANSFER_BIT, state.renderDone[imageIndex]);

  VkPresentInfoKHR present{};
  present.sType = VK_STRUCTURE_TYPE_PRESENT_INFO_KHR;
  present.waitSemaphoreCount = 1;
  present.pWaitSemaphores = &state.renderDone[imageIndex];
  present.swapchainCount = 1;
  present.pSwapchains = &state.swapchain;
  present.pImageIndices = &imageIndex;
  result = vkQueuePresentKHR(state.core.queue, &present);
  if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_SUBOPTIMAL_KHR) state.rebuild = true;
  if (state.core.validation) reportValidation();
}

}  // namespace platform
