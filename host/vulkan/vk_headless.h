#pragma once
// Headless renderer: the intro's passes on the same Vulkan core as the window, read back to
// memory. Used by intro-tool and the GPU tests.
//
//   HeadlessRenderer r;
//   if (!r.init(320, 180, /*validation=*/true)) ... r.error().text() ...
//   if (!r.compile(shaderSource)) ... r.error().text() is the compiler's message ...
//   ShaderParams params = {e, e2, e3, t, 320, 180, 0, 0};
//   std::vector<std::uint8_t> rgba = r.render(params, sceneIndexForTime(t));
//   r.render(params, sceneIndexForTime(t), buffer);  // into the caller's width*height*4 bytes
//
// Pipeline indices follow the intro: 0 is "ZZ", 1..11 are "Z1".."ZA", "ZB"; compileEntry adds
// more (test shaders) at indices from firstExtraPipeline on. Pictures are width*height*4 bytes,
// RGBA8, row 0 at the top.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/shader_params.h"
#include "host/vulkan/vk_compile.h"
#include "host/vulkan/vk_result.h"

namespace vk_core {
struct Core;
class PipelineSet;  // vk_core.h
}

inline constexpr int firstExtraPipeline = 12;

class HeadlessRenderer {
 public:
  HeadlessRenderer();
  ~HeadlessRenderer();
  HeadlessRenderer(const HeadlessRenderer&) = delete;
  HeadlessRenderer& operator=(const HeadlessRenderer&) = delete;

  // Instance (with VK_LAYER_KHRONOS_validation, synchronisation checks included, when validation
  // is set), device, and a width x height back buffer and render texture. The text textures
  // start blank at their sizes (256, 2048, 80, 2048, 96 by 13). False with error() set;
  // noDevice() tells whether the reason is that no Vulkan device exists at all. A size beyond
  // the device's maxImageDimension2D is refused, the error naming the size and the limit.
  bool init(int width, int height, bool validation);
  bool noDevice() const { return noDevice_; }
  // Why the last call that failed (false, -1 or no picture) failed: its step, its VkResult and
  // text() for a person. The calls hand back pictures and indices, so the failure waits here.
  const vk_core::VulkanError& error() const { return error_; }

  // Compiles the twelve entry points of the intro's text, in compile order ("Z1".."ZB", "ZZ"),
  // through compiler (the intro's own route by default). False at the first failure with the
  // compiler's message in error().
  bool compile(const char* source, vk_compile::SpirvCompiler compiler = vk_compile::compileHlsl);
  // Compiles one more entry point of source; returns its pipeline index, or -1 (error() set).
  int compileEntry(const char* source, const char* entryPoint);

  // Live rebuilds, as the window back end has them (vk_live_pipelines.h): the twelve entry
  // points of text into out from any thread while this thread renders, the pipelines in use left
  // alone (it returns its failure, the compiler's message or the failed call, and leaves error()
  // to the rendering thread; out ends empty); then, on the thread that renders, out in place of
  // pipelines 0..11 (false with error() set; nothing changed).
  vk_core::VulkanError buildPipelines(const char* text, std::size_t length, vk_core::PipelineSet& out);
  bool installPipelines(vk_core::PipelineSet& set);

  // Text texture of slot 1..5 (t1..t5): width x height RGBA8 texels, row 0 at the top.
  bool setText(int slot, int width, int height, const std::uint8_t* rgba);

  // The frame as presented: pipeline pipelineIndex into w, copy into T, "ZZ" into w.
  // params: e, e2, e3, t, x, y and two unused floats (x, y should be the picture size).
  std::vector<std::uint8_t> render(const ShaderParams& params, int pipelineIndex);
  // The same into picture, which the caller owns and keeps from frame to frame (nothing is
  // allocated): it must hold exactly width() * height() * 4 bytes. False with error() set.
  bool render(const ShaderParams& params, int pipelineIndex, std::span<std::uint8_t> picture);
  // Only pipeline pipelineIndex into w (no copy, no final pass).
  std::vector<std::uint8_t> renderPass(const ShaderParams& params, int pipelineIndex);

  int width() const { return width_; }
  // The longest side of a picture or text this device takes (its maxImageDimension2D); 0 before
  // a device is found.
  int maxImageSide() const;
  int height() const { return height_; }
  const char* deviceName() const;
  // Validation layer messages of error severity since init (empty without validation).
  const std::vector<std::string>& validationErrors() const;

 private:
  std::vector<std::uint8_t> run(const ShaderParams& params, int pipelineIndex, bool sceneOnly);
  // Renders and reads the picture back; the read-back bytes (width * height * 4), or null.
  const std::uint8_t* renderToReadback(const ShaderParams& params, int pipelineIndex, bool sceneOnly);

  // Keeps error as error() when it is a failure; true when it is not.
  bool succeeded(vk_core::VulkanError error);

  std::unique_ptr<vk_core::Core> core_;
  vk_core::VulkanError error_;
  bool noDevice_ = false;
  int width_ = 0;
  int height_ = 0;
};
