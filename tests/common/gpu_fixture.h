#pragma once
// Shared fixture of the GPU tests: a headless renderer on the first Vulkan device (lavapipe here
// and on CI) with the validation layer on, the intro's text compiled, and a check after every
// test that the layer reported no error. Without any Vulkan device the tests are skipped.
//
//   class Z3Test : public gpu_test::GpuTest {};            // 64 x 48
//   class Z3Wide : public gpu_test::GpuTest { protected: Z3Wide() : GpuTest(80, 45) {} };
//   TEST_F(Z3Test, Something) {
//     const auto picture = scene(3, 170.0f);            // the scene pass alone
//     const auto shown = frame(3, 170.0f);              // scene, copy, ZZ: what is presented
//     EXPECT_EQ(pixel(picture, 10, 20), (gpu_test::Rgba{0, 0, 0, 255}));
//   }
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/vulkan/vk_headless.h"
#include "shaders/shader_source.h"

namespace gpu_test {

using Rgba = std::array<int, 4>;
using Picture = std::vector<std::uint8_t>;

// HLSL for test entry points that hand floats back: storeW(v.xy, bitsOf(f)) stores the four bytes
// of f, one per channel (exact through the 8-bit store); GpuTest::floatAt reads them back.
inline constexpr const char* floatTransport = R"(
float4 bitsOf(float f) {
  uint u = asuint(f);
  return float4(u & 255, (u >> 8) & 255, (u >> 16) & 255, u >> 24) / 255;
}
)";

class GpuTest : public ::testing::Test {
 protected:
  explicit GpuTest(int width = 64, int height = 48, bool compileIntro = true)
      : width_(width), height_(height), compileIntro_(compileIntro) {}

  void SetUp() override {
    if (!renderer.init(width_, height_, true)) {
      if (renderer.noDevice()) GTEST_SKIP() << "no Vulkan device: " << renderer.error().text();
      FAIL() << "Vulkan set-up failed: " << renderer.error().text();
    }
    if (compileIntro_) {
      ASSERT_TRUE(renderer.compile(shaderSource)) << renderer.error().text();
    }
  }

  void TearDown() override {
    if (IsSkipped()) return;
    const auto& errors = renderer.validationErrors();
    EXPECT_TRUE(errors.empty()) << errors.size() << " validation errors, the first: "
                                << (errors.empty() ? std::string() : errors.front());
  }

  // The parameters of one moment at this picture size.
  ShaderParams params(float t, float e = 0, float e2 = 0, float e3 = 0) const {
    return ShaderParams{e, e2, e3, t, static_cast<float>(width_), static_cast<float>(height_)};
  }

  // The pass of pipeline index (0 "ZZ", 1..11 "Z1".."ZB", extra ones) alone.
  Picture scene(int index, float t, float e = 0, float e2 = 0, float e3 = 0) {
    return renderer.renderPass(params(t, e, e2, e3), index);
  }
  // What the intro presents: the pass of pipeline index, the copy into T, then "ZZ".
  Picture frame(int index, float t, float e = 0, float e2 = 0, float e3 = 0) {
    return renderer.render(params(t, e, e2, e3), index);
  }

  Rgba pixel(const Picture& picture, int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + x) * 4;
    return {picture[at], picture[at + 1], picture[at + 2], picture[at + 3]};
  }
  // The float whose four bytes the pixel holds (floatTransport's bitsOf).
  float floatAt(const Picture& picture, int x, int y) const {
    const Rgba p = pixel(picture, x, y);
    return std::bit_cast<float>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
  }
  // The intro's text followed by more HLSL (a test entry point); its pipeline index, or -1.
  int compileExtra(const std::string& hlsl, const char* entryPoint) {
    const std::string source = std::string(shaderSource) + hlsl;
    return renderer.compileEntry(source.c_str(), entryPoint);
  }

  int width() const { return width_; }
  int height() const { return height_; }

  HeadlessRenderer renderer;

 private:
  int width_;
  int height_;
  bool compileIntro_;
};

}  // namespace gpu_test
