// The Vulkan back end's failures as values: the step that failed, the VkResult by name, and the
// text a person reads; lost devices and out-of-date swap chains told apart from the rest.
#include "host/vulkan/vk_result.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vk_core::callFailed;
using vk_core::check;
using vk_core::checkFailed;
using vk_core::compileFailed;
using vk_core::VulkanError;

TEST(VulkanError, CheckIsEmptyOnlyForSuccess) {
  EXPECT_FALSE(check(VK_SUCCESS, "vkQueueSubmit").failed());
  // A positive result is no success either where the caller has not said it expects one.
  const VulkanError incomplete = check(VK_INCOMPLETE, "vkGetSwapchainImagesKHR");
  EXPECT_TRUE(incomplete.failed());
  EXPECT_EQ(incomplete.text(), "vkGetSwapchainImagesKHR failed (VK_INCOMPLETE)");
  EXPECT_EQ(check(VK_ERROR_DEVICE_LOST, "vkWaitForFences", "the last frame").text(),
            "vkWaitForFences failed (VK_ERROR_DEVICE_LOST): the last frame");
  EXPECT_TRUE(check(VK_ERROR_DEVICE_LOST, "vkWaitForFences").deviceLost());
}

TEST(VulkanError, AFailedCallNamesItsStepAndResult) {
  const VulkanError bind = callFailed("vkBindBufferMemory", VK_ERROR_OUT_OF_DEVICE_MEMORY);
  EXPECT_TRUE(bind.failed());
  EXPECT_EQ(bind.step, "vkBindBufferMemory");
  EXPECT_EQ(bind.text(), "vkBindBufferMemory failed (VK_ERROR_OUT_OF_DEVICE_MEMORY)");
  const VulkanError semaphore = callFailed("vkCreateSemaphore", VK_ERROR_OUT_OF_HOST_MEMORY, "a swap chain image's");
  EXPECT_EQ(semaphore.text(), "vkCreateSemaphore failed (VK_ERROR_OUT_OF_HOST_MEMORY): a swap chain image's");
  EXPECT_FALSE(semaphore.deviceLost());
  EXPECT_FALSE(semaphore.outOfDate());
}

TEST(VulkanError, LostDevicesAndOutOfDateSwapChainsAreToldApart) {
  const VulkanError lost = callFailed("vkQueueSubmit", VK_ERROR_DEVICE_LOST);
  EXPECT_TRUE(lost.deviceLost());
  EXPECT_FALSE(lost.outOfDate());
  EXPECT_EQ(lost.text(), "vkQueueSubmit failed (VK_ERROR_DEVICE_LOST)");
  const VulkanError stale = callFailed("vkCreateSwapchainKHR", VK_ERROR_OUT_OF_DATE_KHR);
  EXPECT_TRUE(stale.outOfDate());
  EXPECT_FALSE(stale.deviceLost());
}

TEST(VulkanError, ChecksOfOurOwnAndCompilerMessages) {
  const VulkanError size = checkFailed("picture size", "the picture of 20000x100 is larger than the device can hold");
  EXPECT_TRUE(size.failed());
  EXPECT_EQ(size.result, VK_SUCCESS);
  EXPECT_EQ(size.text(), "picture size: the picture of 20000x100 is larger than the device can hold");
  // A compiler's message is shown as the compiler wrote it.
  const VulkanError compiler = compileFailed("intro.hlsl:3: error: 'q' : undeclared identifier");
  EXPECT_TRUE(compiler.failed());
  EXPECT_TRUE(compiler.step.empty());
  EXPECT_EQ(compiler.text(), "intro.hlsl:3: error: 'q' : undeclared identifier");
  EXPECT_FALSE(VulkanError{}.failed());
}

TEST(VulkanError, ResultsByName) {
  EXPECT_EQ(vk_core::resultName(VK_ERROR_SURFACE_LOST_KHR), "VK_ERROR_SURFACE_LOST_KHR");
  EXPECT_EQ(vk_core::resultName(VK_ERROR_INCOMPATIBLE_DRIVER), "VK_ERROR_INCOMPATIBLE_DRIVER");
  // One this build has no name for keeps its number.
  EXPECT_EQ(vk_core::resultName(static_cast<VkResult>(-123456)), "VkResult -123456");
}

}  // namespace
