// Frame time of every scene plus the final pass on the headless renderer (no validation layer),
// and the time each entry point takes to compile. Prints figures; asserts nothing.
//   gpu_frame_benchmark [WIDTHxHEIGHT] [FRAMES] [glslang|vkd3d]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "host/vulkan/vk_headless.h"
#include "shaders/shader_source.h"
#include "tools/vkd3d_route.h"

namespace {

// The route being measured, and the time it took for each entry point (SPIR-V only, without
// the pipeline's creation).
vk_compile::SpirvCompiler measuredCompiler = vk_compile::compileHlsl;
std::vector<std::pair<std::string, double>> compileTimes;

bool timedCompile(const char* source, std::size_t length, const char* entryPoint, std::vector<std::uint32_t>& spirv,
                  std::string& message) {
  const auto start = std::chrono::steady_clock::now();
  const bool ok = measuredCompiler(source, length, entryPoint, spirv, message);
  compileTimes.emplace_back(entryPoint,
                            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int width = 320;
  int height = 180;
  int frames = 5;
  ShaderRoute route = ShaderRoute::glslang;
  if ((argc > 1 && std::sscanf(argv[1], "%dx%d", &width, &height) != 2) ||
      (argc > 3 && !parseShaderRoute(argv[3], route))) {
    std::fprintf(stderr, "usage: gpu_frame_benchmark [WIDTHxHEIGHT] [FRAMES] [glslang|vkd3d]\n");
    return 2;
  }
  if (argc > 2) frames = std::max(1, std::atoi(argv[2]));
  measuredCompiler = spirvCompilerFor(route);
  HeadlessRenderer renderer;
  if (!renderer.init(width, height, false)) {
    std::fprintf(stderr, "no Vulkan device: %s\n", renderer.error().text().c_str());
    return 1;
  }
  const auto compileStart = std::chrono::steady_clock::now();
  if (!renderer.compile(shaderSource, timedCompile)) {
    std::fprintf(stderr, "%s\n", renderer.error().text().c_str());
    return 1;
  }
  const double compileMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - compileStart).count();
  std::printf("device: %s, %dx%d, %d frames per scene after one warm-up frame\n", renderer.deviceName(), width,
              height, frames);
  std::printf("compiling the twelve entry points through %s: %.0f ms with the pipelines\n", shaderRouteName(route),
              compileMs);
  double sourceToSpirv = 0;
  for (const auto& [entry, ms] : compileTimes) {
    std::printf("  %s %.1f ms\n", entry.c_str(), ms);
    sourceToSpirv += ms;
  }
  std::printf("  text to SPIR-V in all: %.0f ms\n", sourceToSpirv);
  std::printf("%-6s %8s %10s %10s\n", "scene", "t", "mean ms", "min ms");
  const float times[12] = {0, 40, 120, 180, 220, 260, 300, 340, 380, 420, 460, 485};
  for (int index = 1; index <= 11; ++index) {
    const float t = times[index];
    const ShaderParams params = {t * 0.37f, 0.5f, 0.25f, t, static_cast<float>(width), static_cast<float>(height)};
    renderer.render(params, index);
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) {
      const auto start = std::chrono::steady_clock::now();
      renderer.render(params, index);
      ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    double sum = 0;
    for (double v : ms) sum += v;
    std::printf("%-6s %8.0f %10.1f %10.1f\n", shaderEntryPoints[index - 1], static_cast<double>(t),
                sum / frames, *std::min_element(ms.begin(), ms.end()));
  }
  // The final pass's own cost: the clear pass with and without it.
  const ShaderParams params = {0, 0, 0, 100, static_cast<float>(width), static_cast<float>(height)};
  double with = 1e30;
  double without = 1e30;
  for (int i = 0; i < frames + 1; ++i) {
    auto start = std::chrono::steady_clock::now();
    renderer.render(params, 11);
    with = std::min(with, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    start = std::chrono::steady_clock::now();
    renderer.renderPass(params, 11);
    without = std::min(without, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::printf("final pass ZZ alone (best of %d): %.1f ms (ZB with ZZ %.1f ms, ZB alone %.1f ms)\n", frames + 1,
              with - without, with, without);
  return 0;
}
