#include "vk_headless.h"

#include <cstring>

#include "vk_core.h"

HeadlessRenderer::HeadlessRenderer() : core_(std::make_unique<vk_core::Core>()) {}

HeadlessRenderer::~HeadlessRenderer() = default;

bool HeadlessRenderer::init(int width, int height, bool validation) {
  if (width <= 0 || height <= 0) {
    error_ = "the picture size must be positive";
    return false;
  }
  core_ = std::make_unique<vk_core::Core>();
  core_->validation = validation;
  noDevice_ = false;
  if (!core_->createInstance({}) || !core_->createDevice(VK_NULL_HANDLE)) {
    noDevice_ = core_->noDevice;
    return fail();
  }
  if (!core_->createTargets(width, height)) return fail();
  width_ = width;
  height_ = height;
  return true;
}

bool HeadlessRenderer::compile(const char* source, vk_compile::SpirvCompiler compiler) {
  core_->compiler = compiler;
  return core_->compileIntro(source) || fail();
}

int HeadlessRenderer::compileEntry(const char* source, const char* entryPoint) {
  const int index = static_cast<int>(core_->pipelines.size()) < firstExtraPipeline
                        ? firstExtraPipeline
                        : static_cast<int>(core_->pipelines.size());
  if (!core_->compilePipeline(source, std::strlen(source), entryPoint, index)) {
    fail();
    return -1;
  }
  return index;
}

bool HeadlessRenderer::buildPipelines(const char* text, std::size_t length, vk_core::PipelineSet& out,
                                      std::string& message) {
  return core_->buildPipelineSet(text, length, out, message);
}

bool HeadlessRenderer::installPipelines(vk_core::PipelineSet& set) { return core_->installPipelineSet(set) || fail(); }

bool HeadlessRenderer::setText(int slot, int width, int height, const std::uint8_t* rgba) {
  return core_->setText(slot, width, height, rgba) || fail();
}

std::vector<std::uint8_t> HeadlessRenderer::render(const float (&params)[8], int pipelineIndex) {
  return run(params, pipelineIndex, false);
}

std::vector<std::uint8_t> HeadlessRenderer::renderPass(const float (&params)[8], int pipelineIndex) {
  return run(params, pipelineIndex, true);
}

bool HeadlessRenderer::render(const float (&params)[8], int pipelineIndex, std::span<std::uint8_t> picture) {
  if (core_->device == VK_NULL_HANDLE || width_ <= 0) {
    error_ = "the renderer is not set up";
    return false;
  }
  const std::size_t bytes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
  if (picture.size() != bytes) {
    error_ = "the picture buffer holds " + std::to_string(picture.size()) + " bytes, not the " +
             std::to_string(bytes) + " of a " + std::to_string(width_) + "x" + std::to_string(height_) + " picture";
    return false;
  }
  const std::uint8_t* readback = renderToReadback(params, pipelineIndex, false);
  if (readback == nullptr) return false;
  std::memcpy(picture.data(), readback, bytes);
  return true;
}

std::vector<std::uint8_t> HeadlessRenderer::run(const float (&params)[8], int pipelineIndex, bool sceneOnly) {
  const std::uint8_t* readback = renderToReadback(params, pipelineIndex, sceneOnly);
  if (readback == nullptr) return {};
  return std::vector<std::uint8_t>(readback, readback + core_->readback.size);
}

const std::uint8_t* HeadlessRenderer::renderToReadback(const float (&params)[8], int pipelineIndex, bool sceneOnly) {
  if (core_->device == VK_NULL_HANDLE) {
    error_ = "the renderer is not set up";
    return nullptr;
  }
  if (!core_->beginCommands()) {
    fail();
    return nullptr;
  }
  core_->recordFrame(params, pipelineIndex, sceneOnly);
  if (!core_->recordReadback()) {
    // Ended unsubmitted; the next frame resets it.
    static_cast<void>(vkEndCommandBuffer(core_->commandBuffer));
    {
    fail();
    return nullptr;
  }
  }
  if (!core_->submit(VK_NULL_HANDLE, 0, VK_NULL_HANDLE) || !core_->waitIdle()) {
    fail();
    return nullptr;
  }
  return static_cast<const std::uint8_t*>(core_->readback.mapped);
}

bool HeadlessRenderer::fail() {
  error_ = core_->error.text();
  failure_ = core_->error;
  return false;
}

int HeadlessRenderer::maxImageSide() const {
  if (core_->physicalDevice == VK_NULL_HANDLE) return 0;
  const std::uint32_t limit = core_->properties.limits.maxImageDimension2D;
  return limit > 0x7fffffffu ? 0x7fffffff : static_cast<int>(limit);
}

const char* HeadlessRenderer::deviceName() const { return core_->properties.deviceName; }

const std::vector<std::string>& HeadlessRenderer::validationErrors() const { return core_->validationErrors; }
