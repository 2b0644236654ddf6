// The same pictures through both compilers: every scene, ZB and ZZ at three or more moments,
// compiled once by glslang (the Linux intro's route) and once to Direct3D bytecode and on to
// SPIR-V by vkd3d-shader (what the Windows intro is given), rendered on the same device with the
// same texts, and compared with the agreement measure. Skipped when vkd3d-shader is not installed
// (scripts/vkd3d installs it; scripts/test always does).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/show.h"
#include "host/vulkan/vk_headless.h"
#include "shaders/shader_source.h"
#include "tests/common/picture_agreement.h"
#include "text/text_textures.h"
#include "tools/vkd3d_route.h"

namespace {

constexpr int width = 96;
constexpr int height = 54;

struct Moment {
  float t, e, e2, e3;
};

// Three or more moments in each scene's window, with the sync values moving as in the show (e
// grows with t; the flashes at rest, full and between).
const Moment moments[] = {
    {10, 2, 0, 0},        {45, 11, 1, .4f},      {75, 19, .5f, 1},      // Z1
    {85, 22, 0, 0},       {120, 31, 1, .4f},     {155, 40, .5f, 1},     // Z2
    {165, 43, 0, 0},      {180, 47, 1, .4f},     {195, 51, .5f, 1},     // Z3
    {205, 54, 0, 0},      {220, 58, 1, .4f},     {235, 62, .5f, 1},     // Z4
    {245, 65, 0, 0},      {260, 69, 1, .4f},     {275, 73, .5f, 1},     // Z5
    {285, 76, 0, 0},      {300, 80, 1, .4f},     {315, 84, .5f, 1},     // Z6
    {325, 87, 0, 0},      {340, 91, 1, .4f},     {355, 95, .5f, 1},     // Z7
    {365, 98, 0, 0},      {380, 102, 1, .4f},    {395, 106, .5f, 1},    // Z8
    {405, 109, 0, 0},     {420, 113, 1, .4f},    {435, 117, .5f, 1},    // Z9
    {445, 120, 0, 0},     {460, 124, 1, .4f},    {475, 128, .5f, 1},    // ZA
    {482, 130, 0, 0},     {486, 131, 1, .4f},    {490, 132, .5f, 1},    // ZB
};

const char* const entryNames[] = {"ZZ", "Z1", "Z2", "Z3", "Z4", "Z5", "Z6", "Z7", "Z8", "Z9", "ZA", "ZB"};

std::unique_ptr<HeadlessRenderer> makeRenderer(ShaderRoute route, std::string& problem, bool& noDevice) {
  auto renderer = std::make_unique<HeadlessRenderer>();
  if (!renderer->init(width, height, true)) {
    noDevice = renderer->noDevice();
    problem = "Vulkan set-up failed: " + renderer->error().text();
    return nullptr;
  }
  if (!renderer->compile(shaderSource, spirvCompilerFor(route))) {
    problem = std::string("the text does not compile through ") + shaderRouteName(route) + ":\n" +
              renderer->error().text();
    return nullptr;
  }
  TextTexture texts[textCount];
  rasteriseTexts(texts);
  for (int id = 0; id < textCount; ++id) {
    const TextTexture& text = texts[id];
    if (!renderer->setText(textSlot(static_cast<TextId>(id)), text.width, text.height, text.rgba)) {
      problem = std::string("text texture ") + text.stem + ": " + renderer->error().text();
      return nullptr;
    }
  }
  return renderer;
}

class CompilerRoutes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (vkd3dCompilerPath().empty()) {
      skipReason = "vkd3d-compiler not found (scripts/vkd3d installs it)";
      return;
    }
    bool noDevice = false;
    glslang = makeRenderer(ShaderRoute::glslang, problem, noDevice);
    if (glslang) bytecode = makeRenderer(ShaderRoute::vkd3d, problem, noDevice);
    if (noDevice) skipReason = "no Vulkan device: " + problem;
  }
  static void TearDownTestSuite() {
    glslang.reset();
    bytecode.reset();
  }
  void SetUp() override {
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    ASSERT_TRUE(glslang && bytecode) << problem;
  }
  void TearDown() override {
    if (IsSkipped() || !glslang || !bytecode) return;
    for (HeadlessRenderer* renderer : {glslang.get(), bytecode.get()}) {
      const auto& errors = renderer->validationErrors();
      EXPECT_TRUE(errors.empty()) << errors.size() << " validation errors, the first: "
                                  << (errors.empty() ? std::string() : errors.front());
    }
  }

  static inline std::unique_ptr<HeadlessRenderer> glslang;
  static inline std::unique_ptr<HeadlessRenderer> bytecode;
  static inline std::string problem;
  static inline std::string skipReason;
};

// Each scene pass alone, and the presented frame (scene, copy, ZZ), agree between the routes.
TEST_F(CompilerRoutes, EveryScenePassAndFrameAgree) {
  int scenesSeen[12] = {};
  for (const Moment& m : moments) {
    const int scene = sceneIndexOf(m.t / 2.5f);
    ++scenesSeen[scene];
    const ShaderParams params = {m.e, m.e2, m.e3, m.t, static_cast<float>(width), static_cast<float>(height)};
    ShaderParams nudgedParams = params;
    nudgedParams.e = std::nextafter(m.e, 1e9f);
    const std::vector<std::uint8_t> passA = glslang->renderPass(params, scene);
    const std::vector<std::uint8_t> passB = bytecode->renderPass(params, scene);
    const std::vector<std::uint8_t> frameA = glslang->render(params, scene);
    const std::vector<std::uint8_t> frameB = bytecode->render(params, scene);
    const std::vector<std::uint8_t> frameNudged = glslang->render(nudgedParams, scene);
    ASSERT_EQ(passA.size(), static_cast<std::size_t>(width * height * 4)) << glslang->error().text();
    ASSERT_EQ(passB.size(), passA.size()) << bytecode->error().text();
    ASSERT_EQ(frameA.size(), passA.size()) << glslang->error().text();
    ASSERT_EQ(frameB.size(), passA.size()) << bytecode->error().text();
    ASSERT_EQ(frameNudged.size(), passA.size()) << glslang->error().text();
    const PictureAgreement pass = comparePictures(passA.data(), passB.data(), width, height);
    const PictureAgreement shown = comparePictures(frameA.data(), frameB.data(), width, height);
    const PictureAgreement nudged = comparePictures(frameA.data(), frameNudged.data(), width, height);
    std::printf("%s t %5.1f  pass:   %s\n         frame:  %s\n         e+ulp:  %s\n", entryNames[scene],
                static_cast<double>(m.t), pass.describe().c_str(), shown.describe().c_str(),
                nudged.describe().c_str());
    EXPECT_TRUE(agreesAsRounding(pass, nudged)) << entryNames[scene] << " at t " << m.t << ": " << pass.describe()
                                                << "; e one ulp up: " << nudged.describe();
    EXPECT_TRUE(agreesAsRounding(shown, nudged)) << entryNames[scene] << " then ZZ at t " << m.t << ": "
                                                 << shown.describe() << "; e one ulp up: " << nudged.describe();
    // The title and the clear pass have no march to round differently: the same bytes.
    if (scene == 1 || scene == 11) {
      EXPECT_EQ(frameA, frameB) << entryNames[scene] << " at t " << m.t;
    }
  }
  for (int scene = 1; scene <= 11; ++scene) EXPECT_GE(scenesSeen[scene], 3) << entryNames[scene];
}

}  // namespace
