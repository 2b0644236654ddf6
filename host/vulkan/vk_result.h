#pragma once
// What went wrong in the Vulkan back end, as one small value: the step that failed (a Vulkan
// call, or a check of the back end's own such as a size limit), the VkResult the call gave, and
// what else a person needs to act on it (a size, a limit, a compiler's message). Every VkResult
// is checked where it is returned and turned into one of these; it is reported once, where the
// program can act on it (the intro's exit code 1, intro-tool's error path).
#include <vulkan/vulkan_core.h>

#include <string>

namespace vk_core {

// The VkResult's name ("VK_ERROR_DEVICE_LOST"), or "VkResult <number>" for one this build does
// not know.
std::string resultName(VkResult result);

struct VulkanError {
  std::string step;              // "vkBindBufferMemory", or a check: "picture size"; empty: none
  VkResult result = VK_SUCCESS;  // the call's result; VK_SUCCESS where a check of ours failed
  std::string detail;            // more for a person; a compiler's message stands alone

  bool failed() const { return !step.empty() || !detail.empty(); }
  // The device is gone: nothing more can run on it.
  bool deviceLost() const { return result == VK_ERROR_DEVICE_LOST; }
  // The swap chain no longer matches its window: build a new one and go on.
  bool outOfDate() const { return result == VK_ERROR_OUT_OF_DATE_KHR; }

  // "vkBindBufferMemory failed (VK_ERROR_OUT_OF_DEVICE_MEMORY): the read-back buffer";
  // "picture size: 20000x100 ..."; a compiler's message as it is.
  std::string text() const;
};

// A VulkanError for a call that returned result.
VulkanError callFailed(const char* call, VkResult result, std::string detail = {});
// A VulkanError for a check of the back end's own.
VulkanError checkFailed(const char* step, std::string detail);

}  // namespace vk_core
