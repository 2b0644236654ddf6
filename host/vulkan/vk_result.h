#pragma once
// What went wrong in the Vulkan back end, as one small value: the step that failed (a Vulkan
// call, or a check of the back end's own such as a size limit), the VkResult the call gave, and
// what else a person needs to act on it (a size, a limit, a compiler's message). Every fallible
// call of the back end returns one, empty when it succeeded; every VkResult goes through check()
// where it is returned. It is reported once, where the program can act on it (the intro's exit
// code 1, intro-tool's error path).
//
//   if (VulkanError error = core.createDevice(surface); error.failed()) return report(error);
#include <vulkan/vulkan_core.h>

#include <string>

namespace vk_core {

// The VkResult's name ("VK_ERROR_DEVICE_LOST"), or "VkResult <number>" for one this build does
// not know.
std::string resultName(VkResult result);

// No conversion to bool: whether true means "failed" or "done" is a guess, and a test written the
// wrong way round would compile.
struct [[nodiscard]] VulkanError {
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

// Empty for VK_SUCCESS; otherwise the failure of call (detail as in callFailed).
VulkanError check(VkResult result, const char* call, const char* detail = "");
// A VulkanError for a call that returned result.
VulkanError callFailed(const char* call, VkResult result, std::string detail = {});
// A VulkanError for a check of the back end's own.
VulkanError checkFailed(const char* step, std::string detail);
// A compiler's message, which stands alone as the text.
VulkanError compileFailed(std::string message);

}  // namespace vk_core
