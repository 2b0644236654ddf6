// The intro's own scenes on the Direct3D 11 back end (Windows, or wine with a display), compared
// with the Linux pictures of the same frames. The back end runs as the intro runs it (window,
// device, b0/u0/t0..t5, the five text textures, the render texture, the scene and then the final
// pass). The shaders are the intro's text through the back end's own D3DCompile when
// INTRO_SCENE_SHADERS is "text"; otherwise they come from ready cs_5_0 bytecode, for a system
// whose HLSL compiler does not take the text (wine 8's). scene_references.sh prepares the folder
// named by INTRO_SCENE_DIR:
//   Z1.dxbc .. ZB.dxbc, ZZ.dxbc   the bytecode of each entry point
//   frames.txt                    "size W H", then one frame a line: "T E E2 E3 REFERENCE"
//   REFERENCE                     the Linux picture of that frame, raw RGBA8, W * H * 4 bytes
// Each picture drawn here is left beside its reference as REFERENCE.d3d11.rgba for inspection.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/backend_rules.h"
#include "host/d3d11/win_host.h"
#include "host/platform.h"
#include "host/show.h"
#include "shaders/shader_source.h"
#include "tests/common/picture_agreement.h"
#include "tests/host/d3d11/d3d11_readback.h"
#include "tests/host/d3d11/shader_bytecode.h"
#include "text/text_textures.h"

namespace {

struct Frame {
  float t = 0, e = 0, e2 = 0, e3 = 0;
  std::string reference;
  int scene() const { return sceneIndexOf(t / 2.5f); }
};

struct Manifest {
  int width = 0, height = 0;
  std::vector<Frame> frames;
  std::string error;  // empty when it was read whole
};

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

Manifest readManifest(const std::string& path) {
  Manifest manifest;
  std::ifstream in(path);
  if (!in) {
    manifest.error = "cannot read " + path;
    return manifest;
  }
  std::string line, word;
  for (int number = 1; std::getline(in, line); ++number) {
    std::istringstream fields(line);
    if (!(fields >> word) || word[0] == '#') continue;
    if (word == "size") {
      if (!(fields >> manifest.width >> manifest.height) || manifest.width <= 0 || manifest.height <= 0) {
        manifest.error = path + ":" + std::to_string(number) + ": size wants a width and a height";
        return manifest;
      }
      continue;
    }
    Frame frame;
    std::istringstream whole(line);
    if (!(whole >> frame.t >> frame.e >> frame.e2 >> frame.e3 >> frame.reference)) {
      manifest.error = path + ":" + std::to_string(number) + ": wants T E E2 E3 REFERENCE";
      return manifest;
    }
    manifest.frames.push_back(frame);
  }
  if (manifest.width == 0) manifest.error = path + ": no size line";
  return manifest;
}

std::string sceneName(int pipelineIndex) { return shaderEntryPoints[pipelineIndex == 0 ? 11 : pipelineIndex - 1]; }

class Scenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* directory = std::getenv("INTRO_SCENE_DIR");
    if (directory == nullptr || *directory == '\0') {
      setUpError = "INTRO_SCENE_DIR is not set (cross_windows_test.sh prepares the folder and sets it)";
      return;
    }
    folder = directory;
    manifest = readManifest(folder + "/frames.txt");
    if (!manifest.error.empty()) {
      setUpError = manifest.error;
      return;
    }
    platform::createWindow(manifest.width, manifest.height);
    if (platform::createDevice(manifest.width, manifest.height, 0) != 0) {
      setUpError = "no Direct3D 11 device";
      return;
    }
    const char* shaders = std::getenv("INTRO_SCENE_SHADERS");
    char message[4096];
    if (shaders != nullptr && std::string(shaders) == "text") {
      const auto start = std::chrono::steady_clock::now();
      if (!platform::compileShaders(shaderSource, message, sizeof message)) {
        setUpError = std::string("D3DCompile: ") + message;
        return;
      }
      std::printf("the text through D3DCompile: %.2f s for the twelve entry points\n",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    } else {
      std::vector<std::uint8_t> bytecode[backend_rules::entryPointCount];
      ShaderBytecode blobs[backend_rules::entryPointCount];
      for (int order = 0; order < backend_rules::entryPointCount; ++order) {
        bytecode[order] = readFile(folder + "/" + shaderEntryPoints[order] + ".dxbc");
        blobs[order] = {bytecode[order].data(), bytecode[order].size()};
      }
      if (!createShadersFromBytecode(blobs, message, sizeof message)) {
        setUpError = message;
        return;
      }
    }
    static TextTexture texts[textCount];
    rasteriseTexts(texts);
    platform::createTextTextures(texts, textCount);
    platform::createRenderTexture();
  }
  void SetUp() override { ASSERT_TRUE(setUpError.empty()) << setUpError; }

  // The presented picture of one frame. A discarding swap chain need not keep the back buffer
  // after Present, so the final pass runs once more over the same bindings (its input, t0, is
  // the scene's picture the frame copied) before the back buffer is read.
  static std::vector<std::uint8_t> draw(const Frame& frame) {
    const ShaderParams params = {frame.e, frame.e2, frame.e3, frame.t, static_cast<float>(manifest.width),
                                 static_cast<float>(manifest.height)};
    platform::drawFrame(params, frame.scene());
    winHost.pImmediateContext->CSSetShader(winHost.pCS[0], nullptr, 0);
    winHost.pImmediateContext->Dispatch(backend_rules::dispatchGroups(manifest.width),
                                        backend_rules::dispatchGroups(manifest.height), 1);
    return readBackBuffer();
  }

  static inline std::string setUpError;
  static inline std::string folder;
  static inline Manifest manifest;
};

// Every scene and the end's black (Z1..ZA, ZB), each at three times or more.
TEST_F(Scenes, FramesCoverEveryScene) {
  std::map<int, std::set<float>> times;
  for (const Frame& frame : manifest.frames) times[frame.scene()].insert(frame.t);
  for (int scene = 1; scene <= 11; ++scene)
    EXPECT_GE(times[scene].size(), 3u) << sceneName(scene) << " is drawn at too few times";
}

TEST_F(Scenes, EveryPipelineSlotHasItsShader) {
  for (int index = 0; index < 12; ++index) EXPECT_NE(winHost.pCS[index], nullptr) << sceneName(index);
}

// Each frame agrees with its Linux picture as rounding does: within the bar, or, in a chaotic
// scene, no further than this back end's own picture moves when e is one unit in the last place
// higher.
TEST_F(Scenes, FramesAgreeWithTheLinuxPictures) {
  const std::size_t bytes = static_cast<std::size_t>(manifest.width) * static_cast<std::size_t>(manifest.height) * 4;
  for (const Frame& frame : manifest.frames) {
    const std::vector<std::uint8_t> reference = readFile(folder + "/" + frame.reference);
    ASSERT_EQ(reference.size(), bytes) << frame.reference;
    const std::vector<std::uint8_t> picture = draw(frame);
    ASSERT_EQ(picture.size(), bytes) << "the back buffer cannot be read";
    writeFile(folder + "/" + frame.reference + ".d3d11.rgba", picture);
    Frame nudgedFrame = frame;
    nudgedFrame.e = std::nextafter(frame.e, 1e9f);
    const std::vector<std::uint8_t> nudgedPicture = draw(nudgedFrame);
    ASSERT_EQ(nudgedPicture.size(), bytes) << "the back buffer cannot be read";
    const PictureAgreement agreement = comparePictures(picture.data(), reference.data(), manifest.width,
                                                       manifest.height);
    const PictureAgreement nudged = comparePictures(picture.data(), nudgedPicture.data(), manifest.width,
                                                    manifest.height);
    std::printf("%s t %g e %g e2 %g e3 %g: %s\n    e+ulp here: %s\n", sceneName(frame.scene()).c_str(), frame.t,
                frame.e, frame.e2, frame.e3, agreement.describe().c_str(), nudged.describe().c_str());
    std::fflush(stdout);
    EXPECT_TRUE(agreesAsRounding(agreement, nudged)) << sceneName(frame.scene()) << " at t " << frame.t << ": "
                                                     << agreement.describe() << "; e one ulp up here: "
                                                     << nudged.describe();
  }
}

}  // namespace
