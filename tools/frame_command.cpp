// intro-tool frame: one picture as the intro presents it at music time T (the scene that the
// timeline picks, then the final pass), rendered without a window on the intro's Vulkan code and
// written as an RGBA PNG with the alpha as stored (under a temporary name until it is complete).
//
//   intro-tool frame --t T [--e E] [--e2 A] [--e3 B] [--size WxH] [--compiler C] --out FILE.png
//
// Sync values not given on the command line come from the built-in song: the song is rendered up
// to T and the frame loop's update runs at 60 frames per second up to T, as in the intro.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "host/music_time.h"
#include "host/show.h"
#include "host/vulkan/vk_headless.h"
#include "shaders/shader_source.h"
#include "synth/synth.h"
#include "tools/commands.h"
#include "tools/interrupts.h"
#include "tools/option_values.h"
#include "tools/show_options.h"
#include "tools/output_file.h"
#include "tools/picture_limits.h"
#include "tools/png_file.h"
#include "tools/show_render.h"
#include "tools/vkd3d_route.h"

namespace {

const char* const frameUsage =
    "usage: intro-tool frame --t T [--e E] [--e2 A] [--e3 B] [--size WxH] [--compiler C] --out FILE.png\n"
    "  --t T        music time, 0 to 490 (the scene follows the timeline, then the final pass)\n"
    "  --e, --e2, --e3  sync values; those left out come from the built-in song at T\n"
    "  --size WxH   picture size in pixels (default 1280x720)\n"
    "  --compiler C glslang (default: the Linux intro's route) or vkd3d (through Direct3D bytecode,\n"
    "               as the Windows intro is given it; needs scripts/vkd3d)\n"
    "  --out FILE   the PNG to write (RGBA, alpha as stored)\n"
    "  INTRO_VALIDATION=1 turns the Vulkan validation layer on\n";

int usageError(const std::string& what) {
  std::fprintf(stderr, "intro-tool frame: %s\n%s", what.c_str(), frameUsage);
  return 2;
}

}  // namespace

int frameCommand(int argc, char** argv) {
  std::optional<float> t;
  std::optional<float> sync[3];
  int width = 1280;
  int height = 720;
  std::string out;
  ShaderRoute route = ShaderRoute::glslang;
  const auto number = [](std::string_view name, std::optional<float>& target) -> OptionTake {
    return [name, &target](std::string_view value) {
      target = parseDecimalFloat(value);
      return target ? std::string() : std::string(name) + " wants a number, not " + quotedValue(value);
    };
  };
  const ToolOption options[] = {
      {"--t", OptionValue::next, takeMusicTime("--t", t)},
      {"--e", OptionValue::next, number("--e", sync[0])},
      {"--e2", OptionValue::next, number("--e2", sync[1])},
      {"--e3", OptionValue::next, number("--e3", sync[2])},
      {"--size", OptionValue::next,
       [&](std::string_view value) {
         if (parseSize(value, largestPictureSide, width, height)) return std::string();
         return "--size wants WIDTHxHEIGHT, each 1 to " + std::to_string(largestPictureSide) + ", not " +
                quotedValue(value);
       }},
      {"--compiler", OptionValue::next, takeShaderRoute(route)},
      {"--out", OptionValue::next, keepText(out, "--out wants a file name")},
  };
  const OptionsRead read = readOptions(argc, argv, options);
  if (!read.problem.empty()) return usageError(read.problem);
  if (read.help) {
    std::fputs(frameUsage, stdout);
    return 0;
  }
  if (!t) return usageError("--t is required");
  if (out.empty()) return usageError("--out is required");
  // From here on a signal ends the work and removes the temporary.
  catchInterrupts();
  const auto stopped = [&out] { return interruptedExit("frame", out + " not written"); };
  // The output's temporary before any work: a file that cannot be written fails at once.
  PendingOutput output(out);
  std::string error;
  if (!output.reserve(error)) {
    std::fprintf(stderr, "intro-tool frame: %s\n", error.c_str());
    return 1;
  }

  const float patternClock = *t / musicTimePerPattern;
  const int sceneIndex = sceneIndexOf(patternClock);
  if (!sync[0] || !sync[1] || !sync[2]) {
    const std::uint32_t target = songPositionAt(*t);
    SynthMemoryPtr memory = allocateSynthMemory();
    if (!renderSongFor(*memory, 0, target, interrupted)) {
      if (interrupted()) return stopped();
      std::fprintf(stderr, "intro-tool frame: the built-in song does not render\n");
      return 1;
    }
    const ShowState state = songShowStateAt(*memory, target, 60.0);
    if (!sync[0]) sync[0] = state.e;
    if (!sync[1]) sync[1] = state.e2;
    if (!sync[2]) sync[2] = state.e3;
  }

  HeadlessRenderer renderer;
  if (!startShowRenderer(renderer, width, height, validationRequested(), error, spirvCompilerFor(route))) {
    std::fprintf(stderr, "intro-tool frame: %s\n", error.c_str());
    return 1;
  }
  if (interrupted()) return stopped();
  const ShaderParams params = {*sync[0], *sync[1], *sync[2], *t, static_cast<float>(width), static_cast<float>(height)};
  const std::vector<std::uint8_t> picture = renderer.render(params, sceneIndex);
  if (picture.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
    std::fprintf(stderr, "intro-tool frame: rendering failed: %s\n", renderer.error().text().c_str());
    return 1;
  }
  for (const std::string& message : renderer.validationErrors()) {
    std::fprintf(stderr, "intro-tool frame: validation: %s\n", message.c_str());
  }
  if (!renderer.validationErrors().empty()) return 1;
  if (interrupted()) return stopped();
  // Under a temporary name, published once complete: a failed write leaves nothing behind, and an
  // output that is not a regular file (/dev/null, a pipe) is written, never replaced.
  if (!writeRgbaPng(output.path(), picture, width, height, out, error) || !output.commit(error)) {
    if (interrupted()) return stopped();  // while waiting for a pipe's reader
    std::fprintf(stderr, "intro-tool frame: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %dx%d, t %g, scene %s, e %g, e2 %g, e3 %g, through %s, on %s\n", out.c_str(), width, height,
              static_cast<double>(*t), shaderEntryPoints[sceneIndex - 1], static_cast<double>(*sync[0]),
              static_cast<double>(*sync[1]), static_cast<double>(*sync[2]), shaderRouteName(route), renderer.deviceName());
  return 0;
}
