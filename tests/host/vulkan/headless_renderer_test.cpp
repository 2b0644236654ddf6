// The headless renderer's set-up: noDevice() tells "no Vulkan device at all" (the GPU tests skip
// then) apart from other failures (which must fail them); a picture larger than the device can
// hold is refused with the step, the size and the limit. Rendering into a buffer of the caller's
// gives the same pictures as the render that returns a new one; a text texture that cannot be
// made leaves the one before it in place.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/vulkan/vk_headless.h"
#include "tests/common/gpu_fixture.h"

namespace {

// Sets an environment variable for the lifetime of the object, then puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value, 1);
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(HeadlessRendererInit, NoDriverToLoadMeansNoDevice) {
  // The loader finds no driver at all: the instance cannot be made.
  const ScopedVariable drivers("VK_DRIVER_FILES", "/nonexistent/intro_no_driver.json");
  const ScopedVariable icds("VK_ICD_FILENAMES", "/nonexistent/intro_no_driver.json");
  HeadlessRenderer renderer;
  EXPECT_FALSE(renderer.init(16, 16, false));
  EXPECT_TRUE(renderer.noDevice()) << renderer.error().text();
  EXPECT_TRUE(renderer.error().failed());
}

TEST(HeadlessRendererInit, MissingValidationLayerIsNotAMissingDevice) {
  {
    HeadlessRenderer probe;
    if (!probe.init(16, 16, false) && probe.noDevice()) GTEST_SKIP() << "no Vulkan device: " << probe.error().text();
  }
  // The loader looks for explicit layers only where VK_LAYER_PATH says.
  const ScopedVariable layers("VK_LAYER_PATH", "/nonexistent/intro_no_layers");
  HeadlessRenderer renderer;
  EXPECT_FALSE(renderer.init(16, 16, true));
  EXPECT_FALSE(renderer.noDevice()) << renderer.error().text();
  EXPECT_NE(renderer.error().text().find("validation layer"), std::string::npos) << renderer.error().text();
}

TEST(HeadlessRendererInit, ADeviceIsFound) {
  HeadlessRenderer renderer;
  if (!renderer.init(16, 16, false)) {
    if (renderer.noDevice()) GTEST_SKIP() << "no Vulkan device: " << renderer.error().text();
    FAIL() << "Vulkan set-up failed: " << renderer.error().text();
  }
  EXPECT_FALSE(renderer.noDevice());
  EXPECT_EQ(renderer.width(), 16);
  EXPECT_EQ(renderer.height(), 16);
}

TEST(HeadlessRendererInit, NonPositiveSizeIsNotAMissingDevice) {
  HeadlessRenderer renderer;
  EXPECT_FALSE(renderer.init(0, 16, false));
  EXPECT_FALSE(renderer.noDevice());
  EXPECT_FALSE(renderer.init(16, -1, false));
  EXPECT_FALSE(renderer.noDevice());
}

TEST(HeadlessRendererInit, APictureBeyondTheDevicesLimitIsRefused) {
  HeadlessRenderer probe;
  if (!probe.init(16, 16, false)) {
    if (probe.noDevice()) GTEST_SKIP() << "no Vulkan device: " << probe.error().text();
    FAIL() << "Vulkan set-up failed: " << probe.error().text();
  }
  const int limit = probe.maxImageSide();
  ASSERT_GT(limit, 0);
  ASSERT_LT(limit, 0x7fffffff);
  for (const auto& [width, height] : {std::pair{limit + 1, 16}, std::pair{16, limit + 1}}) {
    HeadlessRenderer renderer;
    EXPECT_FALSE(renderer.init(width, height, false)) << width << "x" << height;
    EXPECT_FALSE(renderer.noDevice());
    EXPECT_EQ(renderer.error().step, "picture size");
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    EXPECT_NE(renderer.error().text().find(size), std::string::npos) << renderer.error().text();
    EXPECT_NE(renderer.error().text().find("maxImageDimension2D " + std::to_string(limit)), std::string::npos)
        << renderer.error().text();
  }
  // The limit itself is a size the device takes.
  HeadlessRenderer edge;
  EXPECT_TRUE(edge.init(limit, 1, false)) << edge.error().text();
}

class RenderInto : public gpu_test::GpuTest {
 protected:
  RenderInto() : GpuTest(40, 24) {}
};

TEST_F(RenderInto, TheCallersBufferGetsThePresentedPicture) {
  // Z1 at two times (the picture moves), then the clear pass, all through one buffer.
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(width()) * static_cast<std::size_t>(height()) * 4, 7);
  const std::uint8_t* const storage = buffer.data();
  const struct {
    int scene;
    float t;
  } frames[] = {{1, 77.0f}, {1, 78.0f}, {11, 485.0f}};
  std::vector<std::uint8_t> previous;
  for (const auto& f : frames) {
    ASSERT_TRUE(renderer.render(params(f.t, 12.5f, 0.25f, 0.75f), f.scene, buffer)) << renderer.error().text();
    EXPECT_EQ(buffer.data(), storage);
    EXPECT_EQ(buffer.size(), static_cast<std::size_t>(width()) * static_cast<std::size_t>(height()) * 4);
    EXPECT_EQ(buffer, frame(f.scene, f.t, 12.5f, 0.25f, 0.75f)) << "t " << f.t;
    EXPECT_NE(buffer, previous) << "t " << f.t;
    previous = buffer;
  }
}

TEST_F(RenderInto, ABufferOfTheWrongSizeIsRefusedUntouched) {
  const std::size_t bytes = static_cast<std::size_t>(width()) * static_cast<std::size_t>(height()) * 4;
  for (const std::size_t size : {std::size_t{0}, bytes - 1, bytes + 4}) {
    std::vector<std::uint8_t> buffer(size, 7);
    EXPECT_FALSE(renderer.render(params(77.0f), 1, buffer)) << size << " bytes";
    EXPECT_NE(renderer.error().text().find(std::to_string(size) + " bytes"), std::string::npos)
        << renderer.error().text();
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(size, 7));
  }
}

class TextTextures : public gpu_test::GpuTest {
 protected:
  TextTextures() : GpuTest(64, 48) {}
};

TEST_F(TextTextures, AFailedReplacementKeepsTheTextBefore) {
  // A text of its own in slot 2, then the title scene's frame with it.
  const int slot = 2;
  const std::vector<std::uint8_t> ones(256 * 13 * 4, 255);
  ASSERT_TRUE(renderer.setText(slot, 256, 13, ones.data())) << renderer.error().text();
  const gpu_test::Picture before = frame(1, 40.0f);
  ASSERT_FALSE(before.empty()) << renderer.error().text();

  // Too wide for the device: refused before anything of the old texture goes.
  const int tooWide = renderer.maxImageSide() + 1;
  EXPECT_FALSE(renderer.setText(slot, tooWide, 13, nullptr));
  EXPECT_EQ(renderer.error().step, "picture size") << renderer.error().text();
  EXPECT_NE(renderer.error().text().find(std::to_string(tooWide) + "x13"), std::string::npos)
      << renderer.error().text();

  // The same picture from the same texture, and (TearDown) no validation error: the descriptor
  // set still holds a live view.
  EXPECT_EQ(frame(1, 40.0f), before);
  // A bad slot is refused with what was asked.
  EXPECT_FALSE(renderer.setText(6, 16, 13, nullptr));
  EXPECT_EQ(renderer.error().step, "text texture");
  EXPECT_NE(renderer.error().text().find("slot 6"), std::string::npos) << renderer.error().text();
  EXPECT_EQ(frame(1, 40.0f), before);
}

}  // namespace
