// The headless renderer's set-up: noDevice() tells "no Vulkan device at all" (the GPU tests skip
// then) apart from other failures (which must fail them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "vk_headless.h"

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
  EXPECT_TRUE(renderer.noDevice()) << renderer.error();
  EXPECT_FALSE(renderer.error().empty());
}

TEST(HeadlessRendererInit, MissingValidationLayerIsNotAMissingDevice) {
  {
    HeadlessRenderer probe;
    if (!probe.init(16, 16, false) && probe.noDevice()) GTEST_SKIP() << "no Vulkan device: " << probe.error();
  }
  // The loader looks for explicit layers only where VK_LAYER_PATH says.
  const ScopedVariable layers("VK_LAYER_PATH", "/nonexistent/intro_no_layers");
  HeadlessRenderer renderer;
  EXPECT_FALSE(renderer.init(16, 16, true));
  EXPECT_FALSE(renderer.noDevice()) << renderer.error();
  EXPECT_NE(renderer.error().find("validation layer"), std::string::npos) << renderer.error();
}

TEST(HeadlessRendererInit, ADeviceIsFound) {
  HeadlessRenderer renderer;
  if (!renderer.init(16, 16, false)) {
    if (renderer.noDevice()) GTEST_SKIP() << "no Vulkan device: " << renderer.error();
    FAIL() << "Vulkan set-up failed: " << renderer.error();
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

}  // namespace
