#include "host/vulkan/vk_headless.h"

#include <cstring>

#include "host/vulkan/vk_core.h"

using vk_core::VulkanError;

HeadlessRenderer::HeadlessRenderer() : core_(std::make_unique<vk_core::Core>()) {}

HeadlessRenderer::~HeadlessRenderer() = default;

bool HeadlessRenderer::init(int width, int height, bool validation) {
  if (width <= 0 || height <= 0) {
    return succeeded(vk_core::checkFailed(
        "picture size", std::to_string(width) + "x" + std::to_string(height) + ": both sides must be positive"));
  }
  core_ = std::make_unique<vk_core::Core>();
  core_->validation = validation;
  noDevice_ = false;
  VulkanError error = core_->createInstance({});
  if (!error.failed()) error = core_->createDevice(VK_NULL_HANDLE);
  if (error.failed()) {
    noDevice_ = core_->noDevice;
    return succeeded(std::move(error));
  }
  if (!succeeded(core_->createTargets(width, height))) return false;
  width_ = width;
  height_ = height;
  return true;
}

bool HeadlessRenderer::compile(const char* source, vk_compile::SpirvCompiler compiler) {
  core_->compiler = compiler;
  return succeeded(core_->compileIntro(source));
}

int HeadlessRenderer::compileEntry(const char* source, const char* entryPoint) {
  const int index = static_cast<int>(core_->pipelines.size()) < firstExtraPipeline
                        ? firstExtraPipeline
                        : static_cast<int>(core_->pipelines.size());
  return succeeded(core_->compilePipeline(source, std::strlen(source), entryPoint, index)) ? index : -1;
}

VulkanError HeadlessRenderer::buildPipelines(const char* text, std::size_t length, vk_core::PipelineSet& out) {
  return core_->buildPipelineSet(text, length, out);
}

bool HeadlessRenderer::installPipelines(vk_core::PipelineSet& set) { return succeeded(core_->installPipelineSet(set)); }

bool HeadlessRenderer::setText(int slot, int width, int height, const std::uint8_t* rgba) {
  return succeeded(core_->setText(slot, width, height, rgba));
}

std::vector<std::uint8_t> HeadlessRenderer::render(const ShaderParams& params, int pipelineIndex) {
  return run(params, pipelineIndex, false);
}

std::vector<std::uint8_t> HeadlessRenderer::renderPass(const ShaderParams& params, int pipelineIndex) {
  return run(params, pipelineIndex, true);
}

bool HeadlessRenderer::render(const ShaderParams& params, int pipelineIndex, std::span<std::uint8_t> picture) {
  if (core_->device == VK_NULL_HANDLE || width_ <= 0) {
    return succeeded(vk_core::checkFailed("render", "the renderer is not set up"));
  }
  const std::size_t bytes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
  if (picture.size() != bytes) {
    return succeeded(vk_core::checkFailed(
        "render", "the picture buffer holds " + std::to_string(picture.size()) + " bytes, not the " +
                      std::to_string(bytes) + " of a " + std::to_string(width_) + "x" + std::to_string(height_) +
                      " picture"));
  }
  const std::uint8_t* readback = renderToReadback(params, pipelineIndex, false);
  if (readback == nullptr) return false;
  std::memcpy(picture.data(), readback, bytes);
  return true;
}

std::vector<std::uint8_t> HeadlessRenderer::run(const ShaderParams& params, int pipelineIndex, bool sceneOnly) {
  const std::uint8_t* readback = renderToReadback(params, pipelineIndex, sceneOnly);
  if (readback == nullptr) return {};
  return std::vector<std::uint8_t>(readback, readback + core_->readback.size);
}

const std::uint8_t* HeadlessRenderer::renderToReadback(const ShaderParams& params, int pipelineIndex, bool sceneOnly) {
  if (core_->device == VK_NULL_HANDLE) {
    error_ = vk_core::checkFailed("render", "the renderer is not set up");
    return nullptr;
  }
  if (!succeeded(core_->beginCommands())) return nullptr;
  core_->recordFrame(params, pipelineIndex, sceneOnly);
  if (VulkanError error = core_->recordReadback(); error.failed()) {
    // Ended unsubmitted; the next frame resets it.
    static_cast<void>(vkEndCommandBuffer(core_->commandBuffer));
    error_ = std::move(error);
    return nullptr;
  }
  VulkanError error = core_->submit(VK_NULL_HANDLE, 0, VK_NULL_HANDLE);
  if (!error.failed()) error = core_->waitIdle();
  if (!succeeded(std::move(error))) return nullptr;
  return static_cast<const std::uint8_t*>(core_->readback.mapped);
}

bool HeadlessRenderer::succeeded(VulkanError error) {
  if (!error.failed()) return true;
  error_ = std::move(error);
  return false;
}

int HeadlessRenderer::maxImageSide() const {
  if (core_->physicalDevice == VK_NULL_HANDLE) return 0;
  const std::uint32_t limit = core_->properties.limits.maxImageDimension2D;
  return limit > 0x7fffffffu ? 0x7fffffff : static_cast<int>(limit);
}

const char* HeadlessRenderer::deviceName() const { return core_->properties.deviceName; }

const std::vector<std::string>& HeadlessRenderer::validationErrors() const { return core_->validationErrors; }
