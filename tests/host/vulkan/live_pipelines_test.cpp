// Pipelines rebuilt while frames go on: a set built on another thread beside the frames and
// installed between them draws; a text that does not compile leaves the pipelines and the picture
// as they were; an edited scene draws its edit once installed, and only that scene changes.
#include <atomic>
#include <string>
#include <thread>

#include "host/vulkan/vk_core.h"
#include "tests/common/gpu_fixture.h"

namespace {

constexpr float sceneTime = 170.0f;  // inside Z3's stretch of the show

class LivePipelines : public gpu_test::GpuTest {
 protected:
  // The intro's text with one change: what of it is replaced by with.
  static std::string edited(const std::string& what, const std::string& with) {
    std::string text(shaderSource, shaderSourceLength);
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << "the intro's text no longer holds " << what;
    if (at != std::string::npos) text.replace(at, what.size(), with);
    return text;
  }
};

TEST_F(LivePipelines, ASetBuiltBesideTheFramesDrawsOnceInstalled) {
  const gpu_test::Picture z1 = frame(1, 10.0f);
  const gpu_test::Picture z3 = frame(3, sceneTime);
  ASSERT_FALSE(z3.empty()) << renderer.error().text();

  vk_core::PipelineSet staged;
  std::atomic<bool> built{false};
  vk_core::VulkanError error;
  std::thread worker([&] {
    error = renderer.buildPipelines(shaderSource, shaderSourceLength, staged);
    built.store(true, std::memory_order_release);
  });
  // The frames go on while the set is built, and keep drawing with the pipelines in use.
  int framesMeanwhile = 0;
  do {
    EXPECT_EQ(frame(3, sceneTime), z3);
    ++framesMeanwhile;
  } while (!built.load(std::memory_order_acquire));
  worker.join();
  ASSERT_FALSE(error.failed()) << error.text();
  EXPECT_TRUE(staged.complete());
  EXPECT_GE(framesMeanwhile, 1);

  ASSERT_TRUE(renderer.installPipelines(staged)) << renderer.error().text();
  EXPECT_TRUE(staged.empty()) << "the replaced pipelines went with the set";
  EXPECT_EQ(frame(3, sceneTime), z3);
  EXPECT_EQ(frame(1, 10.0f), z1);
}

TEST_F(LivePipelines, ABrokenTextLeavesThePipelinesAndThePicture) {
  const gpu_test::Picture before = frame(3, sceneTime);
  ASSERT_FALSE(before.empty()) << renderer.error().text();
  const std::string broken = edited("float stretch = cos(", "float stretch = @ cos(");

  vk_core::PipelineSet staged;
  const vk_core::VulkanError error = renderer.buildPipelines(broken.data(), broken.size(), staged);
  EXPECT_TRUE(error.failed());
  // The compiler's message alone, as the player says it in the scene's file.
  EXPECT_TRUE(error.step.empty()) << error.step;
  EXPECT_EQ(error.text().rfind("intro.hlsl:", 0), 0u) << error.text();
  EXPECT_NE(error.text().find("error"), std::string::npos) << error.text();
  EXPECT_TRUE(staged.empty()) << "what was made before the failure is gone";
  EXPECT_FALSE(staged.complete());
  // Nothing to install: refused, and nothing changes.
  EXPECT_FALSE(renderer.installPipelines(staged));
  EXPECT_EQ(frame(3, sceneTime), before);
}

TEST_F(LivePipelines, AnEditedSceneDrawsItsEditAfterTheInstall) {
  const gpu_test::Picture z1 = frame(1, 10.0f);
  const gpu_test::Picture z3 = frame(3, sceneTime);
  const gpu_test::Picture z3Pass = scene(3, sceneTime);
  ASSERT_FALSE(z3.empty()) << renderer.error().text();
  // Z3 as a flat colour; the old one stays in the text under another name.
  const std::string flat = edited("void Z3(uint3 v", "void Z3Before(uint3 v") +
                           "[numthreads(16,16,1)] void Z3(uint3 v : SV_DispatchThreadID) {\n"
                           "  storeW(v.xy, float4(1, 0, 1, 1));\n"
                           "}\n";

  vk_core::PipelineSet staged;
  const vk_core::VulkanError error = renderer.buildPipelines(flat.data(), flat.size(), staged);
  ASSERT_FALSE(error.failed()) << error.text();
  EXPECT_EQ(scene(3, sceneTime), z3Pass) << "built, not installed: the old Z3 still draws";

  ASSERT_TRUE(renderer.installPipelines(staged)) << renderer.error().text();
  const gpu_test::Picture pass = scene(3, sceneTime);
  ASSERT_EQ(pass.size(), z3Pass.size());
  int flatPixels = 0;
  for (int y = 0; y < height(); ++y) {
    for (int x = 0; x < width(); ++x) flatPixels += pixel(pass, x, y) == gpu_test::Rgba{255, 0, 255, 255} ? 1 : 0;
  }
  EXPECT_EQ(flatPixels, width() * height());
  EXPECT_NE(frame(3, sceneTime), z3) << "the presented frame follows the new scene";
  EXPECT_EQ(frame(1, 10.0f), z1) << "the other scenes are as they were";
}

}  // namespace
