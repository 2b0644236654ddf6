#include "host/vulkan/vk_core.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <mutex>
#include <utility>

#include "host/backend_rules.h"
#include "host/vulkan/vk_compile.h"
#include "shaders/shader_source.h"

namespace vk_core {

namespace {

constexpr const char* validationLayer = "VK_LAYER_KHRONOS_validation";

// The compilers behind Core::compiler keep state of their own (shaderc's compiler and options, one
// per process); one compile at a time, whichever thread and core asks.
std::mutex compilerMutex;

bool compileLocked(vk_compile::SpirvCompiler compiler, const char* source, std::size_t length, const char* entryPoint,
                   std::vector<std::uint32_t>& spirv, std::string& message) {
  const std::lock_guard<std::mutex> lock(compilerMutex);
  return compiler(source, length, entryPoint, spirv, message);
}

// One compute pipeline of spirv's entryPoint on layout.
VulkanError createComputePipeline(VkDevice device, VkPipelineLayout layout, const std::vector<std::uint32_t>& spirv,
                                  const char* entryPoint, VkPipeline& pipeline) {
  VkShaderModuleCreateInfo moduleInfo{};
  moduleInfo.sType = VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO;
  moduleInfo.codeSize = spirv.size() * sizeof(std::uint32_t);
  moduleInfo.pCode = spirv.data();
  VkShaderModule module = VK_NULL_HANDLE;
  if (VulkanError error = check(vkCreateShaderModule(device, &moduleInfo, nullptr, &module), "vkCreateShaderModule",
                                entryPoint);
      error.failed()) {
    return error;
  }
  VkComputePipelineCreateInfo info{};
  info.sType = VK_STRUCTURE_TYPE_COMPUTE_PIPELINE_CREATE_INFO;
  info.stage.sType = VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO;
  info.stage.stage = VK_SHADER_STAGE_COMPUTE_BIT;
  info.stage.module = module;
  info.stage.pName = entryPoint;
  info.layout = layout;
  pipeline = VK_NULL_HANDLE;
  const VkResult result = vkCreateComputePipelines(device, VK_NULL_HANDLE, 1, &info, nullptr, &pipeline);
  vkDestroyShaderModule(device, module, nullptr);
  if (result != VK_SUCCESS) pipeline = VK_NULL_HANDLE;
  return check(result, "vkCreateComputePipelines", entryPoint);
}

VKAPI_ATTR VkBool32 VKAPI_CALL onValidationMessage(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                                   VkDebugUtilsMessageTypeFlagsEXT,
                                                   const VkDebugUtilsMessengerCallbackDataEXT* data,
                                                   void* user) {
  auto* core = static_cast<Core*>(user);
  const std::string text = data != nullptr && data->pMessage != nullptr ? data->pMessage : "(no message)";
  const std::lock_guard<std::mutex> lock(core->validationMutex);
  if ((severity & VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT) != 0) {
    core->validationErrors.push_back(text);
  } else if ((severity & VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT) != 0) {
    core->validationWarnings.push_back(text);
  }
  return VK_FALSE;
}

// The three queries below count a failed enumeration as "not there": the caller then says what
// is missing, which is what a person can act on.
bool layerPresent(const char* name) {
  std::uint32_t count = 0;
  if (vkEnumerateInstanceLayerProperties(&count, nullptr) != VK_SUCCESS) return false;
  std::vector<VkLayerProperties> layers(count);
  if (vkEnumerateInstanceLayerProperties(&count, layers.data()) < VK_SUCCESS) return false;
  layers.resize(count);
  for (const auto& layer : layers) {
    if (std::strcmp(layer.layerName, name) == 0) return true;
  }
  return false;
}

bool layerExtensionPresent(const char* layer, const char* name) {
  std::uint32_t count = 0;
  if (vkEnumerateInstanceExtensionProperties(layer, &count, nullptr) != VK_SUCCESS) return false;
  std::vector<VkExtensionProperties> extensions(count);
  if (vkEnumerateInstanceExtensionProperties(layer, &count, extensions.data()) < VK_SUCCESS) return false;
  extensions.resize(count);
  for (const auto& extension : extensions) {
    if (std::strcmp(extension.extensionName, name) == 0) return true;
  }
  return false;
}

bool deviceExtensionPresent(VkPhysicalDevice device, const char* name) {
  std::uint32_t count = 0;
  if (vkEnumerateDeviceExtensionProperties(device, nullptr, &count, nullptr) != VK_SUCCESS) return false;
  std::vector<VkExtensionProperties> extensions(count);
  if (vkEnumerateDeviceExtensionProperties(device, nullptr, &count, extensions.data()) < VK_SUCCESS) return false;
  extensions.resize(count);
  for (const auto& extension : extensions) {
    if (std::strcmp(extension.extensionName, name) == 0) return true;
  }
  return false;
}

}  // namespace

VkImageMemoryBarrier imageBarrier(VkImage image, VkAccessFlags from, VkAccessFlags to, VkImageLayout oldLayout,
                                  VkImageLayout newLayout) {
  VkImageMemoryBarrier barrier{};
  barrier.sType = VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER;
  barrier.srcAccessMask = from;
  barrier.dstAccessMask = to;
  barrier.oldLayout = oldLayout;
  barrier.newLayout = newLayout;
  barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  barrier.image = image;
  barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  return barrier;
}

Core::~Core() { destroy(); }

VulkanError Core::createInstance(const std::vector<const char*>& extensions) {
  noDevice = false;
  std::vector<const char*> enabled = extensions;
  std::vector<const char*> layers;
  bool syncValidation = false;
  if (validation) {
    if (!layerPresent(validationLayer)) {
      return checkFailed("validation", "the validation layer VK_LAYER_KHRONOS_validation is not installed");
    }
    layers.push_back(validationLayer);
    enabled.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
    // Synchronisation checks too (barriers between the passes, the copies and the read-back).
    syncValidation = layerExtensionPresent(validationLayer, VK_EXT_VALIDATION_FEATURES_EXTENSION_NAME);
    if (syncValidation) enabled.push_back(VK_EXT_VALIDATION_FEATURES_EXTENSION_NAME);
  }
  VkApplicationInfo app{};
  app.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
  app.pApplicationName = "intro";
  app.apiVersion = VK_API_VERSION_1_1;

  VkDebugUtilsMessengerCreateInfoEXT messengerInfo{};
  messengerInfo.sType = VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT;
  messengerInfo.messageSeverity =
      VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
  messengerInfo.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT |
                              VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                              VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
  messengerInfo.pfnUserCallback = onValidationMessage;
  messengerInfo.pUserData = this;

  const VkValidationFeatureEnableEXT syncFeature = VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT;
  VkValidationFeaturesEXT features{};
  features.sType = VK_STRUCTURE_TYPE_VALIDATION_FEATURES_EXT;
  features.pNext = &messengerInfo;
  features.enabledValidationFeatureCount = 1;
  features.pEnabledValidationFeatures = &syncFeature;

  VkInstanceCreateInfo info{};
  info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
  info.pNext = !validation ? nullptr : syncValidation ? static_cast<const void*>(&features) : &messengerInfo;
  info.pApplicationInfo = &app;
  info.enabledLayerCount = static_cast<std::uint32_t>(layers.size());
  info.ppEnabledLayerNames = layers.data();
  info.enabledExtensionCount = static_cast<std::uint32_t>(enabled.size());
  info.ppEnabledExtensionNames = enabled.data();
  const VkResult result = vkCreateInstance(&info, nullptr, &instance);
  // Without a loader or a driver there is nothing to run on.
  noDevice = result == VK_ERROR_INCOMPATIBLE_DRIVER || result == VK_ERROR_INITIALIZATION_FAILED;
  if (VulkanError error = check(result, "vkCreateInstance"); error.failed()) {
    instance = VK_NULL_HANDLE;
    return error;
  }
  if (!validation) return {};
  auto create = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
      vkGetInstanceProcAddr(instance, "vkCreateDebugUtilsMessengerEXT"));
  if (create == nullptr) return checkFailed("validation", "vkCreateDebugUtilsMessengerEXT is missing");
  return check(create(instance, &messengerInfo, nullptr, &messenger), "vkCreateDebugUtilsMessengerEXT");
}

VulkanError Core::createDevice(VkSurfaceKHR surface) {
  std::uint32_t count = 0;
  noDevice = false;
  if (VulkanError error = check(vkEnumeratePhysicalDevices(instance, &count, nullptr), "vkEnumeratePhysicalDevices");
      error.failed()) {
    return error;
  }
  std::vector<VkPhysicalDevice> devices(count);
  const VkResult listed = vkEnumeratePhysicalDevices(instance, &count, devices.data());
  if (VulkanError error = check(listed == VK_INCOMPLETE ? VK_SUCCESS : listed, "vkEnumeratePhysicalDevices");
      error.failed()) {
    return error;
  }
  devices.resize(count);
  if (count == 0) {
    noDevice = true;
    return checkFailed("device", "no Vulkan device");
  }
  // Prefer a discrete, then an integrated GPU, then anything (a software driver); within the
  // device the first family with compute (and graphics, for the blit to the window).
  int bestScore = -1;
  for (VkPhysicalDevice candidate : devices) {
    VkPhysicalDeviceProperties props{};
    vkGetPhysicalDeviceProperties(candidate, &props);
    if (props.apiVersion < VK_API_VERSION_1_1) continue;
    std::uint32_t familyCount = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(candidate, &familyCount, nullptr);
    std::vector<VkQueueFamilyProperties> families(familyCount);
    vkGetPhysicalDeviceQueueFamilyProperties(candidate, &familyCount, families.data());
    for (std::uint32_t f = 0; f < familyCount; ++f) {
      if ((families[f].queueFlags & VK_QUEUE_COMPUTE_BIT) == 0) continue;
      const bool graphics = (families[f].queueFlags & VK_QUEUE_GRAPHICS_BIT) != 0;
      if (surface != VK_NULL_HANDLE) {
        VkBool32 present = VK_FALSE;
        const VkResult asked = vkGetPhysicalDeviceSurfaceSupportKHR(candidate, f, surface, &present);
        if (asked == VK_ERROR_SURFACE_LOST_KHR) return callFailed("vkGetPhysicalDeviceSurfaceSupportKHR", asked);
        // Any other failure: this family cannot be shown to present, so it is not taken.
        if (asked != VK_SUCCESS || present == VK_FALSE || !graphics) continue;
      }
      int score = props.deviceType == VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU     ? 30
                  : props.deviceType == VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU ? 20
                  : props.deviceType == VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU    ? 10
                                                                                 : 0;
      if (graphics) score += 1;
      if (score > bestScore) {
        bestScore = score;
        physicalDevice = candidate;
        properties = props;
        queueFamily = f;
        queueCanBlit = graphics;
      }
    }
  }
  if (physicalDevice == VK_NULL_HANDLE) {
    noDevice = true;
    return checkFailed("device", surface != VK_NULL_HANDLE
                                     ? "no Vulkan 1.1 device can compute and present to the window"
                                     : "no Vulkan 1.1 device with a compute queue");
  }

  const float priority = 1.0f;
  VkDeviceQueueCreateInfo queueInfo{};
  queueInfo.sType = VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO;
  queueInfo.queueFamilyIndex = queueFamily;
  queueInfo.queueCount = 1;
  queueInfo.pQueuePriorities = &priority;

  std::vector<const char*> extensions;
  if (surface != VK_NULL_HANDLE) extensions.push_back(VK_KHR_SWAPCHAIN_EXTENSION_NAME);
  // Out-of-range image accesses read zero and write nothing where the driver offers it; the
  // shaders check their own bounds as well.
  VkPhysicalDeviceRobustness2FeaturesEXT robustness{};
  robustness.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ROBUSTNESS_2_FEATURES_EXT;
  bool robust = false;
  if (deviceExtensionPresent(physicalDevice, VK_EXT_ROBUSTNESS_2_EXTENSION_NAME)) {
    VkPhysicalDeviceFeatures2 features{};
    features.sType = VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2;
    features.pNext = &robustness;
    vkGetPhysicalDeviceFeatures2(physicalDevice, &features);
    robust = robustness.robustImageAccess2 == VK_TRUE;
    robustness.robustBufferAccess2 = VK_FALSE;
    robustness.nullDescriptor = VK_FALSE;
    robustness.pNext = nullptr;
    if (robust) extensions.push_back(VK_EXT_ROBUSTNESS_2_EXTENSION_NAME);
  }

  // SPIR-V translated from Direct3D bytecode declares the back buffer without a format.
  VkPhysicalDeviceFeatures supported{};
  vkGetPhysicalDeviceFeatures(physicalDevice, &supported);
  VkPhysicalDeviceFeatures enabled{};
  enabled.shaderStorageImageWriteWithoutFormat = supported.shaderStorageImageWriteWithoutFormat;

  VkDeviceCreateInfo info{};
  info.sType = VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO;
  info.pNext = robust ? &robustness : nullptr;
  info.pEnabledFeatures = &enabled;
  info.queueCreateInfoCount = 1;
  info.pQueueCreateInfos = &queueInfo;
  info.enabledExtensionCount = static_cast<std::uint32_t>(extensions.size());
  info.ppEnabledExtensionNames = extensions.data();
  if (VulkanError error = check(vkCreateDevice(physicalDevice, &info, nullptr, &device), "vkCreateDevice");
      error.failed()) {
    device = VK_NULL_HANDLE;
    return error;
  }
  vkGetDeviceQueue(device, queueFamily, 0, &queue);

  VkCommandPoolCreateInfo poolInfo{};
  poolInfo.sType = VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO;
  poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
  poolInfo.queueFamilyIndex = queueFamily;
  if (VulkanError error = check(vkCreateCommandPool(device, &poolInfo, nullptr, &commandPool), "vkCreateCommandPool");
      error.failed()) {
    return error;
  }
  VkCommandBufferAllocateInfo allocInfo{};
  allocInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
  allocInfo.commandPool = commandPool;
  allocInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
  allocInfo.commandBufferCount = 1;
  if (VulkanError error = check(vkAllocateCommandBuffers(device, &allocInfo, &commandBuffer),
                                "vkAllocateCommandBuffers");
      error.failed()) {
    return error;
  }
  VkFenceCreateInfo fenceInfo{};
  fenceInfo.sType = VK_STRUCTURE_TYPE_FENCE_CREATE_INFO;
  if (VulkanError error = check(vkCreateFence(device, &fenceInfo, nullptr, &fence), "vkCreateFence");
      error.failed()) {
    return error;
  }

  // One set for every pipeline: b0, t0..t5, s0, u0 at the bindings the compiler assigns.
  std::array<VkDescriptorSetLayoutBinding, 9> bindings{};
  for (std::uint32_t i = 0; i < bindings.size(); ++i) {
    bindings[i].binding = i;
    bindings[i].descriptorCount = 1;
    bindings[i].stageFlags = VK_SHADER_STAGE_COMPUTE_BIT;
  }
  bindings[vk_compile::constantsBinding].descriptorType = VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
  for (std::uint32_t i = 0; i < 6; ++i) {
    bindings[vk_compile::textureBinding0 + i].descriptorType = VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE;
  }
  bindings[vk_compile::samplerBinding].descriptorType = VK_DESCRIPTOR_TYPE_SAMPLER;
  bindings[vk_compile::imageBinding].descriptorType = VK_DESCRIPTOR_TYPE_STORAGE_IMAGE;
  VkDescriptorSetLayoutCreateInfo layoutInfo{};
  layoutInfo.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO;
  layoutInfo.bindingCount = static_cast<std::uint32_t>(bindings.size());
  layoutInfo.pBindings = bindings.data();
  if (VulkanError error = check(vkCreateDescriptorSetLayout(device, &layoutInfo, nullptr, &setLayout),
                                "vkCreateDescriptorSetLayout");
      error.failed()) {
    return error;
  }
  VkPipelineLayoutCreateInfo pipelineLayoutInfo{};
  pipelineLayoutInfo.sType = VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO;
  pipelineLayoutInfo.setLayoutCount = 1;
  pipelineLayoutInfo.pSetLayouts = &setLayout;
  if (VulkanError error = check(vkCreatePipelineLayout(device, &pipelineLayoutInfo, nullptr, &pipelineLayout),
                                "vkCreatePipelineLayout");
      error.failed()) {
    return error;
  }
  std::array<VkDescriptorPoolSize, 4> sizes = {{{VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 1},
                                                {VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE, 6},
                                                {VK_DESCRIPTOR_TYPE_SAMPLER, 1},
                                                {VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, 1}}};
  VkDescriptorPoolCreateInfo descriptorPoolInfo{};
  descriptorPoolInfo.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO;
  descriptorPoolInfo.maxSets = 1;
  descriptorPoolInfo.poolSizeCount = static_cast<std::uint32_t>(sizes.size());
  descriptorPoolInfo.pPoolSizes = sizes.data();
  if (VulkanError error = check(vkCreateDescriptorPool(device, &descriptorPoolInfo, nullptr, &descriptorPool),
                                "vkCreateDescriptorPool");
      error.failed()) {
    return error;
  }
  VkDescriptorSetAllocateInfo setInfo{};
  setInfo.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO;
  setInfo.descriptorPool = descriptorPool;
  setInfo.descriptorSetCount = 1;
  setInfo.pSetLayouts = &setLayout;
  if (VulkanError error = check(vkAllocateDescriptorSets(device, &setInfo, &descriptorSet), "vkAllocateDescriptorSets");
      error.failed()) {
    return error;
  }

  // Direct3D 11's default sampler state (what an empty sampler slot gives): linear
  // minification, magnification and mip filtering, clamp on U, V and W, no LOD bias, no
  // anisotropy, no comparison, LOD range unlimited.
  VkSamplerCreateInfo samplerInfo{};
  samplerInfo.sType = VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO;
  samplerInfo.magFilter = VK_FILTER_LINEAR;
  samplerInfo.minFilter = VK_FILTER_LINEAR;
  samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
  samplerInfo.addressModeU = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  samplerInfo.addressModeV = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  samplerInfo.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  samplerInfo.mipLodBias = 0.0f;
  samplerInfo.anisotropyEnable = VK_FALSE;
  samplerInfo.maxAnisotropy = 1.0f;
  samplerInfo.compareEnable = VK_FALSE;
  samplerInfo.compareOp = VK_COMPARE_OP_NEVER;
  samplerInfo.minLod = -FLT_MAX;
  samplerInfo.maxLod = VK_LOD_CLAMP_NONE;
  samplerInfo.borderColor = VK_BORDER_COLOR_FLOAT_OPAQUE_WHITE;
  samplerInfo.unnormalizedCoordinates = VK_FALSE;
  if (VulkanError error = check(vkCreateSampler(device, &samplerInfo, nullptr, &sampler), "vkCreateSampler");
      error.failed()) {
    return error;
  }
  return createBuffer(constants, 32, VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT);
}

bool Core::memoryType(std::uint32_t bits, VkMemoryPropertyFlags flags, std::uint32_t& index) const {
  VkPhysicalDeviceMemoryProperties memory{};
  vkGetPhysicalDeviceMemoryProperties(physicalDevice, &memory);
  for (std::uint32_t i = 0; i < memory.memoryTypeCount; ++i) {
    if ((bits & (1u << i)) != 0 && (memory.memoryTypes[i].propertyFlags & flags) == flags) {
      index = i;
      return true;
    }
  }
  return false;
}

VulkanError Core::allocateMemory(const VkMemoryRequirements& requirements, VkMemoryPropertyFlags preferred,
                                 VkMemoryPropertyFlags required, const char* what, VkDeviceMemory& memory) {
  VkMemoryAllocateInfo alloc{};
  alloc.sType = VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO;
  alloc.allocationSize = requirements.size;
  if (!memoryType(requirements.memoryTypeBits, preferred, alloc.memoryTypeIndex) &&
      !memoryType(requirements.memoryTypeBits, required, alloc.memoryTypeIndex)) {
    return checkFailed("memory", std::string("no suitable memory type for ") + what);
  }
  return check(vkAllocateMemory(device, &alloc, nullptr, &memory), "vkAllocateMemory", what);
}

VulkanError Core::createBuffer(Buffer& buffer, VkDeviceSize size, VkBufferUsageFlags usage) {
  VkBufferCreateInfo info{};
  info.sType = VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO;
  info.size = size;
  info.usage = usage;
  info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
  if (VulkanError error = check(vkCreateBuffer(device, &info, nullptr, &buffer.buffer), "vkCreateBuffer");
      error.failed()) {
    return error;
  }
  VkMemoryRequirements requirements{};
  vkGetBufferMemoryRequirements(device, buffer.buffer, &requirements);
  const VkMemoryPropertyFlags hostVisible = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT;
  if (VulkanError error = allocateMemory(requirements, hostVisible, hostVisible, "a buffer", buffer.memory);
      error.failed()) {
    return error;
  }
  if (VulkanError error = check(vkBindBufferMemory(device, buffer.buffer, buffer.memory, 0), "vkBindBufferMemory");
      error.failed()) {
    return error;
  }
  if (VulkanError error = check(vkMapMemory(device, buffer.memory, 0, VK_WHOLE_SIZE, 0, &buffer.mapped), "vkMapMemory");
      error.failed()) {
    return error;
  }
  std::memset(buffer.mapped, 0, static_cast<std::size_t>(size));
  buffer.size = size;
  return {};
}

void Core::destroyBuffer(Buffer& buffer) {
  if (buffer.buffer != VK_NULL_HANDLE) vkDestroyBuffer(device, buffer.buffer, nullptr);
  if (buffer.memory != VK_NULL_HANDLE) vkFreeMemory(device, buffer.memory, nullptr);
  buffer = Buffer{};
}

VulkanError Core::checkImageSize(int width, int height, const char* what) const {
  const std::uint32_t limit = properties.limits.maxImageDimension2D;
  if (width > 0 && height > 0 && static_cast<std::uint32_t>(width) <= limit &&
      static_cast<std::uint32_t>(height) <= limit) {
    return {};
  }
  return checkFailed("picture size", std::string(what) + " of " + std::to_string(width) + "x" +
                                         std::to_string(height) + " is larger than " + properties.deviceName +
                                         " can hold (maxImageDimension2D " + std::to_string(limit) +
                                         "): choose a size of at most " + std::to_string(limit) + " on each side");
}

VulkanError Core::createImage(Image& image, int width, int height, VkImageUsageFlags usage) {
  if (VulkanError error = checkImageSize(width, height, "an image"); error.failed()) return error;
  VkImageCreateInfo info{};
  info.sType = VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO;
  info.imageType = VK_IMAGE_TYPE_2D;
  info.format = VK_FORMAT_R8G8B8A8_UNORM;
  info.extent = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 1};
  info.mipLevels = 1;
  info.arrayLayers = 1;
  info.samples = VK_SAMPLE_COUNT_1_BIT;
  info.tiling = VK_IMAGE_TILING_OPTIMAL;
  info.usage = usage;
  info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
  info.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  if (VulkanError error = check(vkCreateImage(device, &info, nullptr, &image.image), "vkCreateImage"); error.failed()) {
    return error;
  }
  VkMemoryRequirements requirements{};
  vkGetImageMemoryRequirements(device, image.image, &requirements);
  if (VulkanError error =
          allocateMemory(requirements, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, 0, "an image", image.memory);
      error.failed()) {
    return error;
  }
  if (VulkanError error = check(vkBindImageMemory(device, image.image, image.memory, 0), "vkBindImageMemory");
      error.failed()) {
    return error;
  }
  VkImageViewCreateInfo viewInfo{};
  viewInfo.sType = VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO;
  viewInfo.image = image.image;
  viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
  viewInfo.format = VK_FORMAT_R8G8B8A8_UNORM;
  viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  if (VulkanError error = check(vkCreateImageView(device, &viewInfo, nullptr, &image.view), "vkCreateImageView");
      error.failed()) {
    return error;
  }
  image.width = width;
  image.height = height;
  return {};
}

void Core::destroyImage(Image& image) {
  if (image.view != VK_NULL_HANDLE) vkDestroyImageView(device, image.view, nullptr);
  if (image.image != VK_NULL_HANDLE) vkDestroyImage(device, image.image, nullptr);
  if (image.memory != VK_NULL_HANDLE) vkFreeMemory(device, image.memory, nullptr);
  image = Image{};
}

VulkanError Core::beginCommands() {
  if (VulkanError error = waitIdle(); error.failed()) return error;
  if (VulkanError error = check(vkResetCommandBuffer(commandBuffer, 0), "vkResetCommandBuffer"); error.failed()) {
    return error;
  }
  VkCommandBufferBeginInfo begin{};
  begin.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
  begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  return check(vkBeginCommandBuffer(commandBuffer, &begin), "vkBeginCommandBuffer");
}

VulkanError Core::submit(VkSemaphore wait, VkPipelineStageFlags waitStage, VkSemaphore signal) {
  if (VulkanError error = check(vkEndCommandBuffer(commandBuffer), "vkEndCommandBuffer"); error.failed()) return error;
  VkSubmitInfo info{};
  info.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
  info.waitSemaphoreCount = wait != VK_NULL_HANDLE ? 1 : 0;
  info.pWaitSemaphores = &wait;
  info.pWaitDstStageMask = &waitStage;
  info.commandBufferCount = 1;
  info.pCommandBuffers = &commandBuffer;
  info.signalSemaphoreCount = signal != VK_NULL_HANDLE ? 1 : 0;
  info.pSignalSemaphores = &signal;
  if (VulkanError error = check(vkResetFences(device, 1, &fence), "vkResetFences"); error.failed()) return error;
  if (VulkanError error = check(vkQueueSubmit(queue, 1, &info, fence), "vkQueueSubmit"); error.failed()) return error;
  fencePending = true;
  return {};
}

VulkanError Core::waitIdle() {
  if (!fencePending) return {};
  fencePending = false;
  return check(vkWaitForFences(device, 1, &fence, VK_TRUE, UINT64_MAX), "vkWaitForFences");
}

VulkanError Core::uploadImage(Image& image, const std::uint8_t* rgba) {
  Buffer staging;
  const VkDeviceSize size = static_cast<VkDeviceSize>(image.width) * image.height * 4;
  if (VulkanError error = createBuffer(staging, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT); error.failed()) {
    destroyBuffer(staging);
    return error;
  }
  // createBuffer leaves the staging memory zeroed: without texels the image is cleared.
  if (rgba != nullptr) std::memcpy(staging.mapped, rgba, static_cast<std::size_t>(size));
  if (VulkanError error = beginCommands(); error.failed()) {
    destroyBuffer(staging);
    return error;
  }
  VkImageMemoryBarrier toCopy = imageBarrier(image.image, 0, VK_ACCESS_TRANSFER_WRITE_BIT, VK_IMAGE_LAYOUT_UNDEFINED,
                                             VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL);
  vkCmdPipelineBarrier(commandBuffer, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0,
                       nullptr, 0, nullptr, 1, &toCopy);
  VkBufferImageCopy region{};
  region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
  region.imageExtent = {static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height), 1};
  vkCmdCopyBufferToImage(commandBuffer, staging.buffer, image.image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
  VkImageMemoryBarrier toRead =
      imageBarrier(image.image, VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT,
                   VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);
  vkCmdPipelineBarrier(commandBuffer, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, 0, 0,
                       nullptr, 0, nullptr, 1, &toRead);
  VulkanError error = submit(VK_NULL_HANDLE, 0, VK_NULL_HANDLE);
  if (!error.failed()) error = waitIdle();
  destroyBuffer(staging);
  return error;
}

VulkanError Core::createTargets(int width, int height) {
  if (VulkanError error = checkImageSize(width, height, "the picture"); error.failed()) return error;
  if (VulkanError error = waitIdle(); error.failed()) return error;
  destroyImage(backBuffer);
  destroyImage(renderTexture);
  if (VulkanError error = createImage(backBuffer, width, height,
                                      VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT |
                                          VK_IMAGE_USAGE_TRANSFER_DST_BIT);
      error.failed()) {
    return error;
  }
  if (VulkanError error =
          createImage(renderTexture, width, height, VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT);
      error.failed()) {
    return error;
  }
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].image != VK_NULL_HANDLE) continue;
    if (VulkanError error = setText(static_cast<int>(i) + 1, defaultTextWidths[i], textHeight, nullptr);
        error.failed()) {
      return error;
    }
  }
  // T starts as zeros in shader-read layout; w starts as zeros in GENERAL layout.
  if (VulkanError error = uploadImage(renderTexture, nullptr); error.failed()) return error;
  if (VulkanError error = beginCommands(); error.failed()) return error;
  VkImageMemoryBarrier toGeneral = imageBarrier(backBuffer.image, 0, VK_ACCESS_TRANSFER_WRITE_BIT,
                                                VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL);
  vkCmdPipelineBarrier(commandBuffer, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0,
                       nullptr, 0, nullptr, 1, &toGeneral);
  VkClearColorValue black{};
  VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  vkCmdClearColorImage(commandBuffer, backBuffer.image, VK_IMAGE_LAYOUT_GENERAL, &black, 1, &range);
  VkImageMemoryBarrier ready = imageBarrier(backBuffer.image, VK_ACCESS_TRANSFER_WRITE_BIT,
                                            VK_ACCESS_SHADER_WRITE_BIT | VK_ACCESS_TRANSFER_READ_BIT,
                                            VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL);
  vkCmdPipelineBarrier(commandBuffer, VK_PIPELINE_STAGE_TRANSFER_BIT,
                       VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT | VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0,
                       nullptr, 1, &ready);
  if (VulkanError error = submit(VK_NULL_HANDLE, 0, VK_NULL_HANDLE); error.failed()) return error;
  if (VulkanError error = waitIdle(); error.failed()) return error;
  writeDescriptors();
  return {};
}

VulkanError Core::setText(int slot, int width, int height, const std::uint8_t* rgba) {
  if (slot < 1 || slot > 5 || width <= 0 || height <= 0) {
    return checkFailed("text texture", "slot " + std::to_string(slot) + " at " + std::to_string(width) + "x" +
                                           std::to_string(height) + ": the slot must be 1..5 and the size positive");
  }
  // The new image first: until it is ready the old one stays bound and alive.
  Image replacement;
  VulkanError error =
      createImage(replacement, width, height, VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT);
  if (!error.failed()) error = uploadImage(replacement, rgba);
  if (!error.failed()) error = waitIdle();
  if (error.failed()) {
    destroyImage(replacement);
    return error;
  }
  Image& image = texts[static_cast<std::size_t>(slot - 1)];
  destroyImage(image);
  image = replacement;
  writeDescriptors();
  return {};
}

void Core::writeDescriptors() {
  // Written once everything exists (createTargets), and again whenever a text changes.
  if (backBuffer.view == VK_NULL_HANDLE || renderTexture.view == VK_NULL_HANDLE) return;
  for (const auto& image : texts) {
    if (image.view == VK_NULL_HANDLE) return;
  }
  VkDescriptorBufferInfo bufferInfo{constants.buffer, 0, 32};
  std::array<VkDescriptorImageInfo, 6> textures{};
  textures[0] = {VK_NULL_HANDLE, renderTexture.view, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    textures[i + 1] = {VK_NULL_HANDLE, texts[i].view, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  }
  VkDescriptorImageInfo samplerInfo{sampler, VK_NULL_HANDLE, VK_IMAGE_LAYOUT_UNDEFINED};
  VkDescriptorImageInfo storageInfo{VK_NULL_HANDLE, backBuffer.view, VK_IMAGE_LAYOUT_GENERAL};
  std::array<VkWriteDescriptorSet, 4> writes{};
  for (auto& write : writes) {
    write.sType = VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET;
    write.dstSet = descriptorSet;
    write.descriptorCount = 1;
  }
  writes[0].dstBinding = vk_compile::constantsBinding;
  writes[0].descriptorType = VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
  writes[0].pBufferInfo = &bufferInfo;
  writes[1].dstBinding = vk_compile::textureBinding0;
  writes[1].descriptorCount = 6;
  writes[1].descriptorType = VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE;
  writes[1].pImageInfo = textures.data();
  writes[2].dstBinding = vk_compile::samplerBinding;
  writes[2].descriptorType = VK_DESCRIPTOR_TYPE_SAMPLER;
  writes[2].pImageInfo = &samplerInfo;
  writes[3].dstBinding = vk_compile::imageBinding;
  writes[3].descriptorType = VK_DESCRIPTOR_TYPE_STORAGE_IMAGE;
  writes[3].pImageInfo = &storageInfo;
  vkUpdateDescriptorSets(device, static_cast<std::uint32_t>(writes.size()), writes.data(), 0, nullptr);
}

VulkanError Core::compilePipeline(const char* source, std::size_t length, const char* entryPoint, int index) {
  std::vector<std::uint32_t> spirv;
  std::string message;
  if (!compileLocked(compiler, source, length, entryPoint, spirv, message)) return compileFailed(std::move(message));
  VkPipeline pipeline = VK_NULL_HANDLE;
  if (VulkanError error = createComputePipeline(device, pipelineLayout, spirv, entryPoint, pipeline); error.failed()) {
    return error;
  }
  if (pipelines.size() <= static_cast<std::size_t>(index)) pipelines.resize(static_cast<std::size_t>(index) + 1);
  if (VulkanError error = waitIdle(); error.failed()) {
    vkDestroyPipeline(device, pipeline, nullptr);
    return error;
  }
  if (pipelines[static_cast<std::size_t>(index)] != VK_NULL_HANDLE) {
    vkDestroyPipeline(device, pipelines[static_cast<std::size_t>(index)], nullptr);
  }
  pipelines[static_cast<std::size_t>(index)] = pipeline;
  return {};
}

VulkanError Core::compileIntro(const char* source) {
  const std::size_t length = std::strlen(source);
  for (int order = 0; order < backend_rules::entryPointCount; ++order) {
    const int index = backend_rules::pipelineIndexOf(order);
    if (VulkanError error = compilePipeline(source, length, shaderEntryPoints[order], index); error.failed()) {
      return error;
    }
  }
  return {};
}

PipelineSet::PipelineSet(PipelineSet&& other) noexcept
    : device_(other.device_), pipelines_(std::move(other.pipelines_)) {
  other.pipelines_.clear();
}

PipelineSet& PipelineSet::operator=(PipelineSet&& other) noexcept {
  if (this != &other) {
    reset();
    device_ = other.device_;
    pipelines_ = std::move(other.pipelines_);
    other.pipelines_.clear();
  }
  return *this;
}

bool PipelineSet::complete() const {
  if (pipelines_.size() != static_cast<std::size_t>(backend_rules::entryPointCount)) return false;
  for (VkPipeline pipeline : pipelines_) {
    if (pipeline == VK_NULL_HANDLE) return false;
  }
  return true;
}

void PipelineSet::reset() {
  for (VkPipeline pipeline : pipelines_) {
    if (pipeline != VK_NULL_HANDLE) vkDestroyPipeline(device_, pipeline, nullptr);
  }
  pipelines_.clear();
}

VulkanError Core::buildPipelineSet(const char* source, std::size_t length, PipelineSet& set) {
  set.reset();
  if (device == VK_NULL_HANDLE || pipelineLayout == VK_NULL_HANDLE) {
    return checkFailed("pipelines", "there is no Vulkan device to build them on");
  }
  // Made into a set of our own: the caller's stays empty until all twelve exist.
  PipelineSet built;
  built.device_ = device;
  built.pipelines_.assign(static_cast<std::size_t>(backend_rules::entryPointCount), VK_NULL_HANDLE);
  std::vector<std::uint32_t> spirv;
  std::string message;
  for (int order = 0; order < backend_rules::entryPointCount; ++order) {
    const char* entryPoint = shaderEntryPoints[order];
    if (!compileLocked(compiler, source, length, entryPoint, spirv, message)) return compileFailed(std::move(message));
    VkPipeline pipeline = VK_NULL_HANDLE;
    if (VulkanError error = createComputePipeline(device, pipelineLayout, spirv, entryPoint, pipeline);
        error.failed()) {
      return error;
    }
    built.pipelines_[static_cast<std::size_t>(backend_rules::pipelineIndexOf(order))] = pipeline;
  }
  set = std::move(built);
  return {};
}

VulkanError Core::installPipelineSet(PipelineSet& set) {
  if (!set.complete() || set.device_ != device) {
    return checkFailed("pipelines", "the set to install does not hold all twelve pipelines of this device");
  }
  if (VulkanError error = waitIdle(); error.failed()) return error;
  const auto count = static_cast<std::size_t>(backend_rules::entryPointCount);
  if (pipelines.size() < count) pipelines.resize(count, VK_NULL_HANDLE);
  // The replaced pipelines go with the set: nothing in flight uses them any more.
  std::swap_ranges(pipelines.begin(), pipelines.begin() + static_cast<std::ptrdiff_t>(count), set.pipelines_.begin());
  set.reset();
  return {};
}

void Core::recordFrame(const ShaderParams& params, int pipelineIndex, bool sceneOnly) {
  std::memcpy(constants.mapped, &params, sizeof params);
  const std::uint32_t groupsX = backend_rules::dispatchGroups(backBuffer.width);
  const std::uint32_t groupsY = backend_rules::dispatchGroups(backBuffer.height);
  VkCommandBuffer cb = commandBuffer;
  vkCmdBindDescriptorSets(cb, VK_PIPELINE_BIND_POINT_COMPUTE, pipelineLayout, 0, 1, &descriptorSet, 0, nullptr);

  // Earlier reads and writes of w (the last frame's copy out, a clear) come before the scene.
  VkImageMemoryBarrier before = imageBarrier(backBuffer.image, VK_ACCESS_TRANSFER_WRITE_BIT | VK_ACCESS_SHADER_WRITE_BIT,
                                             VK_ACCESS_SHADER_WRITE_BIT, VK_IMAGE_LAYOUT_GENERAL,
                                             VK_IMAGE_LAYOUT_GENERAL);
  vkCmdPipelineBarrier(cb, VK_PIPELINE_STAGE_TRANSFER_BIT | VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT,
                       VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, 0, 0, nullptr, 0, nullptr, 1, &before);
  const VkPipeline scene = pipelineIndex >= 0 && static_cast<std::size_t>(pipelineIndex) < pipelines.size()
                               ? pipelines[static_cast<std::size_t>(pipelineIndex)]
                               : VK_NULL_HANDLE;
  if (scene != VK_NULL_HANDLE) {
    vkCmdBindPipeline(cb, VK_PIPELINE_BIND_POINT_COMPUTE, scene);
    vkCmdDispatch(cb, groupsX, groupsY, 1);
  }
  const auto finalPass = static_cast<std::size_t>(backend_rules::finalPassPipeline);
  if (!sceneOnly && pipelines.size() > finalPass && pipelines[finalPass] != VK_NULL_HANDLE) {
    std::array<VkImageMemoryBarrier, 2> toCopy = {
        imageBarrier(backBuffer.image, VK_ACCESS_SHADER_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT,
                     VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL),
        imageBarrier(renderTexture.image, VK_ACCESS_SHADER_READ_BIT, VK_ACCESS_TRANSFER_WRITE_BIT,
                     VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL)};
    vkCmdPipelineBarrier(cb, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0,
                         nullptr, static_cast<std::uint32_t>(toCopy.size()), toCopy.data());
    VkImageCopy region{};
    region.srcSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.extent = {static_cast<std::uint32_t>(backBuffer.width), static_cast<std::uint32_t>(backBuffer.height), 1};
    vkCmdCopyImage(cb, backBuffer.image, VK_IMAGE_LAYOUT_GENERAL, renderTexture.image,
                   VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1, &region);
    std::array<VkImageMemoryBarrier, 2> toFinal = {
        imageBarrier(backBuffer.image, VK_ACCESS_TRANSFER_READ_BIT, VK_ACCESS_SHADER_WRITE_BIT,
                     VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL),
        imageBarrier(renderTexture.image, VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT,
                     VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL)};
    vkCmdPipelineBarrier(cb, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, 0, 0, nullptr, 0,
                         nullptr, static_cast<std::uint32_t>(toFinal.size()), toFinal.data());
    vkCmdBindPipeline(cb, VK_PIPELINE_BIND_POINT_COMPUTE, pipelines[finalPass]);
    vkCmdDispatch(cb, groupsX, groupsY, 1);
  }
  VkImageMemoryBarrier after = imageBarrier(backBuffer.image, VK_ACCESS_SHADER_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT,
                                            VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL);
  vkCmdPipelineBarrier(cb, VK_PIPELINE_STAGE_COMPUTE_SHADER_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0,
                       nullptr, 1, &after);
}

VulkanError Core::recordReadback() {
  const VkDeviceSize size = static_cast<VkDeviceSize>(backBuffer.width) * backBuffer.height * 4;
  if (readback.size != size) {
    destroyBuffer(readback);
    if (VulkanError error = createBuffer(readback, size, VK_BUFFER_USAGE_TRANSFER_DST_BIT); error.failed()) {
      return error;
    }
  }
  VkBufferImageCopy region{};
  region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
  region.imageExtent = {static_cast<std::uint32_t>(backBuffer.width), static_cast<std::uint32_t>(backBuffer.height), 1};
  vkCmdCopyImageToBuffer(commandBuffer, backBuffer.image, VK_IMAGE_LAYOUT_GENERAL, readback.buffer, 1, &region);
  VkBufferMemoryBarrier toHost{};
  toHost.sType = VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER;
  toHost.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
  toHost.dstAccessMask = VK_ACCESS_HOST_READ_BIT;
  toHost.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  toHost.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  toHost.buffer = readback.buffer;
  toHost.size = VK_WHOLE_SIZE;
  vkCmdPipelineBarrier(commandBuffer, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_HOST_BIT, 0, 0, nullptr, 1,
                       &toHost, 0, nullptr);
  return {};
}

void Core::destroy() {
  if (device != VK_NULL_HANDLE) {
    // Whatever the device says now (lost or not), everything goes.
    static_cast<void>(vkDeviceWaitIdle(device));
    fencePending = false;
    for (VkPipeline pipeline : pipelines) {
      if (pipeline != VK_NULL_HANDLE) vkDestroyPipeline(device, pipeline, nullptr);
    }
    pipelines.clear();
    for (auto& image : texts) destroyImage(image);
    destroyImage(backBuffer);
    destroyImage(renderTexture);
    destroyBuffer(constants);
    destroyBuffer(readback);
    if (sampler != VK_NULL_HANDLE) vkDestroySampler(device, sampler, nullptr);
    if (descriptorPool != VK_NULL_HANDLE) vkDestroyDescriptorPool(device, descriptorPool, nullptr);
    if (pipelineLayout != VK_NULL_HANDLE) vkDestroyPipelineLayout(device, pipelineLayout, nullptr);
    if (setLayout != VK_NULL_HANDLE) vkDestroyDescriptorSetLayout(device, setLayout, nullptr);
    if (fence != VK_NULL_HANDLE) vkDestroyFence(device, fence, nullptr);
    if (commandPool != VK_NULL_HANDLE) vkDestroyCommandPool(device, commandPool, nullptr);
    vkDestroyDevice(device, nullptr);
    device = VK_NULL_HANDLE;
    sampler = VK_NULL_HANDLE;
    descriptorPool = VK_NULL_HANDLE;
    pipelineLayout = VK_NULL_HANDLE;
    setLayout = VK_NULL_HANDLE;
    fence = VK_NULL_HANDLE;
    commandPool = VK_NULL_HANDLE;
  }
  if (messenger != VK_NULL_HANDLE) {
    auto destroyMessenger = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
        vkGetInstanceProcAddr(instance, "vkDestroyDebugUtilsMessengerEXT"));
    if (destroyMessenger != nullptr) destroyMessenger(instance, messenger, nullptr);
    messenger = VK_NULL_HANDLE;
  }
  if (instance != VK_NULL_HANDLE) {
    vkDestroyInstance(instance, nullptr);
    instance = VK_NULL_HANDLE;
  }
}

}  // namespace vk_core
