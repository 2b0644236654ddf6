#pragma once
// The Vulkan compute core shared by the windowed back end and the headless renderer: instance
// (with the validation layer when asked), device and compute queue, the twelve pipelines and any
// extra ones, the constant buffer (b0), the render texture T (t0), the text textures (t1..t5),
// the default sampler (s0) and the offscreen back buffer w (u0, R8G8B8A8_UNORM).
//
// A frame is recorded as: scene pass into w -> copy w into T -> final pass (pipeline 0) into w.
// Every pass dispatches ceil(width/16) x ceil(height/16) groups; the shaders' store skips the
// threads outside the picture, so every pixel is written at any size.
#include <vulkan/vulkan.h>

#include "host/shader_params.h"
#include "host/vulkan/vk_compile.h"
#include "host/vulkan/vk_result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vk_core {

struct Image {
  VkImage image = VK_NULL_HANDLE;
  VkDeviceMemory memory = VK_NULL_HANDLE;
  VkImageView view = VK_NULL_HANDLE;
  int width = 0;
  int height = 0;
};

struct Buffer {
  VkBuffer buffer = VK_NULL_HANDLE;
  VkDeviceMemory memory = VK_NULL_HANDLE;
  void* mapped = nullptr;
  VkDeviceSize size = 0;
};

// Sizes of the five text textures at t1..t5 until real ones are set (blank, 13 texels high).
inline constexpr std::array<int, 5> defaultTextWidths = {256, 2048, 80, 2048, 96};
inline constexpr int textHeight = 13;

// The intro's twelve pipelines built apart from the ones in use (Core::buildPipelineSet), by the
// same indices: 0 "ZZ", 1..11 "Z1".."ZB". It owns them: they are destroyed with it unless
// installed. It must go before the Core whose device made it.
class PipelineSet {
 public:
  PipelineSet() = default;
  PipelineSet(const PipelineSet&) = delete;
  PipelineSet& operator=(const PipelineSet&) = delete;
  PipelineSet(PipelineSet&& other) noexcept;
  PipelineSet& operator=(PipelineSet&& other) noexcept;
  ~PipelineSet() { reset(); }

  // A full set, ready to install.
  bool complete() const;
  bool empty() const { return pipelines_.empty(); }
  // Destroys the pipelines held (none of them may be in a submission still running).
  void reset();

 private:
  friend struct Core;
  VkDevice device_ = VK_NULL_HANDLE;
  std::vector<VkPipeline> pipelines_;
};

struct Core {
  // Set before createInstance.
  bool validation = false;
  // How the HLSL text becomes SPIR-V (set before compiling).
  vk_compile::SpirvCompiler compiler = vk_compile::compileHlsl;
  // Validation layer messages of error severity, in order (and warnings, kept apart).
  // The layer may speak on a thread that builds pipelines: it appends under validationMutex, and
  // a reader that runs beside such a build takes it too.
  std::vector<std::string> validationErrors;
  std::vector<std::string> validationWarnings;
  std::mutex validationMutex;

  VkInstance instance = VK_NULL_HANDLE;
  VkDebugUtilsMessengerEXT messenger = VK_NULL_HANDLE;
  VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
  VkPhysicalDeviceProperties properties{};
  VkDevice device = VK_NULL_HANDLE;
  std::uint32_t queueFamily = 0;
  bool queueCanBlit = false;  // the family has graphics operations (vkCmdBlitImage)
  VkQueue queue = VK_NULL_HANDLE;
  VkCommandPool commandPool = VK_NULL_HANDLE;
  VkCommandBuffer commandBuffer = VK_NULL_HANDLE;
  VkFence fence = VK_NULL_HANDLE;
  bool fencePending = false;

  VkDescriptorSetLayout setLayout = VK_NULL_HANDLE;
  VkPipelineLayout pipelineLayout = VK_NULL_HANDLE;
  VkDescriptorPool descriptorPool = VK_NULL_HANDLE;
  VkDescriptorSet descriptorSet = VK_NULL_HANDLE;
  VkSampler sampler = VK_NULL_HANDLE;
  Buffer constants;   // 32 bytes: the eight floats of shaderParams
  Image backBuffer;   // w
  Image renderTexture;  // T
  std::array<Image, 5> texts;  // T1..T5
  // Pipelines by index: 0 "ZZ", 1..11 "Z1".."ZB", then extra entry points.
  std::vector<VkPipeline> pipelines;

  Core() = default;
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;
  ~Core();

  // Every call below that can fail returns why, empty when it succeeded; the core keeps no error
  // of its own, so a build on another thread and the frames never share one.

  // Instance with the given extra instance extensions (a window surface's).
  VulkanError createInstance(const std::vector<const char*>& extensions);
  // Physical device (the first with a compute queue; with surface, one that can present to it),
  // logical device, queue, command buffer, fence, descriptor layout, sampler, constant buffer.
  VulkanError createDevice(VkSurfaceKHR surface);
  // Set when createInstance or createDevice failed because there is no device to run on: the
  // instance could not be made for want of a loader or driver (VK_ERROR_INCOMPATIBLE_DRIVER,
  // VK_ERROR_INITIALIZATION_FAILED), or no physical device qualifies. Any other failure (a
  // missing validation layer, a device that refuses to be created) leaves it false.
  bool noDevice = false;
  // w and T at width x height, the blank text textures, the descriptor set. A size beyond the
  // device's maxImageDimension2D is refused with a message that names both.
  VulkanError createTargets(int width, int height);
  // Refuses a picture of width x height (what) that this device cannot hold as one image.
  VulkanError checkImageSize(int width, int height, const char* what) const;
  // Compiles entryPoint of source into a pipeline at index (the vector grows as needed).
  // A compiler's failure is its message alone (compileFailed).
  VulkanError compilePipeline(const char* source, std::size_t length, const char* entryPoint, int index);
  // Compiles the intro's twelve entry points of source in compile order ("Z1".."ZB", "ZZ") into
  // pipelines 1..11 and 0. Stops at the first failure.
  VulkanError compileIntro(const char* source);
  // Compiles the twelve entry points of source (length bytes) into set, leaving the pipelines in
  // use and every frame resource alone: callable from any thread while another records and
  // submits frames (pipeline creation needs no external synchronisation; the compiler is used by
  // one thread at a time). On failure (the compiler's message, or the failed call) set is empty,
  // what was made destroyed. Do not change `compiler` meanwhile.
  VulkanError buildPipelineSet(const char* source, std::size_t length, PipelineSet& set);
  // Puts a complete set in place of pipelines 0..11 (thread of the frames, between frames):
  // waits for the last submission, swaps, destroys the pipelines it replaced; set ends empty.
  // Fails when the wait fails or the set is not complete; then nothing changed.
  VulkanError installPipelineSet(PipelineSet& set);
  // Replaces the text texture of slot (1..5) with width x height RGBA8 texels (zeros when rgba
  // is null). The new image is made before the old one goes: on failure the slot keeps its old
  // texture, and the descriptor set never holds a destroyed view.
  VulkanError setText(int slot, int width, int height, const std::uint8_t* rgba);

  // Records into commandBuffer (begun by the caller): the scene pass, and unless sceneOnly the
  // copy into T and the final pass. w ends in GENERAL layout, its writes made visible to
  // transfer reads.
  void recordFrame(const ShaderParams& params, int pipelineIndex, bool sceneOnly);
  // Waits for the last submission (if any) to finish.
  VulkanError waitIdle();
  // Begins/ends the command buffer and submits it with the fence (waiting semaphore optional).
  VulkanError beginCommands();
  VulkanError submit(VkSemaphore wait, VkPipelineStageFlags waitStage, VkSemaphore signal);

  // Copies w into the host-visible readback buffer (created on first use) at the end of the
  // recorded commands; after the submission completes, readback.mapped holds width*height*4 bytes.
  VulkanError recordReadback();
  Buffer readback;

  void destroy();

 private:
  VulkanError createImage(Image& image, int width, int height, VkImageUsageFlags usage);
  void destroyImage(Image& image);
  VulkanError createBuffer(Buffer& buffer, VkDeviceSize size, VkBufferUsageFlags usage);
  void destroyBuffer(Buffer& buffer);
  bool memoryType(std::uint32_t bits, VkMemoryPropertyFlags flags, std::uint32_t& index) const;
  // Memory of the preferred kind, else of the required kind, for one buffer or image.
  VulkanError allocateMemory(const VkMemoryRequirements& requirements, VkMemoryPropertyFlags preferred,
                             VkMemoryPropertyFlags required, const char* what, VkDeviceMemory& memory);
  void writeDescriptors();
  // Fills image with rgba (width*height*4 bytes; zeros when null) and leaves it shader-readable.
  VulkanError uploadImage(Image& image, const std::uint8_t* rgba);
};

// A barrier on the whole colour image (one mip level, one layer), no queue family transfer.
VkImageMemoryBarrier imageBarrier(VkImage image, VkAccessFlags from, VkAccessFlags to, VkImageLayout oldLayout,
                                  VkImageLayout newLayout);

}  // namespace vk_core
