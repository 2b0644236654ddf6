// intro-tool sheet: one PNG with a still of each of the ten scenes and of the end, every still
// captioned in the intro's own bitmap font with its entry point, music time and a short name.
//
//   intro-tool sheet --out FILE.png [--size WxH] [--compiler glslang|vkd3d]
//
// --size is the size of one still. Each still is the presented picture (scene, then the final
// pass) with e, e2 and e3 from the built-in song as the intro has them at 60 frames per second.
// Four stills across; the sheet is opaque. Written under a temporary name, then renamed.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/music_time.h"
#include "shaders/shader_source.h"
#include "text/text_textures.h"
#include "tools/commands.h"
#include "tools/interrupts.h"
#include "tools/option_values.h"
#include "tools/show_options.h"
#include "tools/output_file.h"
#include "tools/picture_limits.h"
#include "tools/png_file.h"
#include "tools/sheet_layout.h"
#include "tools/show_render.h"
#include "tools/vkd3d_route.h"

namespace {

const std::string sheetUsage =
    std::string("usage: intro-tool sheet --out FILE.png [--size WxH] [--compiler C]\n"
    "  --out FILE.png  the sheet to write: the ten scenes and the end, four stills across\n"
    "  --size WxH      size of one still, each side ") + std::to_string(smallestStillSide) + " to " +
    std::to_string(largestStillSide) + " (default 384x216)\n"
    "  --compiler C    glslang (default: the Linux intro's route) or vkd3d (through Direct3D\n"
    "                  bytecode, as the Windows intro is given it; needs scripts/vkd3d)\n"
    "  INTRO_VALIDATION=1 turns the Vulkan validation layer on\n";

int usageError(const std::string& what) {
  std::fprintf(stderr, "intro-tool sheet: %s\n%s", what.c_str(), sheetUsage.c_str());
  return 2;
}

int failure(const std::string& what) {
  std::fprintf(stderr, "intro-tool sheet: %s\n", what.c_str());
  return 1;
}

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;

  void fill(int x0, int y0, int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y) {
      for (int x = std::max(0, x0); x < std::min(width, x0 + w); ++x) {
        std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 4];
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = 255;
      }
    }
  }
  // The picture at (x0, y0), made opaque.
  void place(const std::vector<std::uint8_t>& picture, int pictureWidth, int pictureHeight, int x0, int y0) {
    for (int y = 0; y < pictureHeight; ++y) {
      std::uint8_t* to = &rgba[(static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(width) + x0) * 4];
      const std::uint8_t* from = &picture[static_cast<std::size_t>(y) * static_cast<std::size_t>(pictureWidth) * 4];
      for (int x = 0; x < pictureWidth; ++x) {
        to[4 * x] = from[4 * x];
        to[4 * x + 1] = from[4 * x + 1];
        to[4 * x + 2] = from[4 * x + 2];
        to[4 * x + 3] = 255;
      }
    }
  }
  // Text in the intro's font, scaled, clipped to the box (x0, y0, w, h).
  void text(const std::string& characters, int x0, int y0, int scale, int clipWidth) {
    if (characters.empty()) return;
    const int length = static_cast<int>(characters.size());
    std::vector<std::uint32_t> glyphs(static_cast<std::size_t>(glyphWidth * length * glyphHeight));
    rasteriseText(characters.data(), length, glyphs.data());
    const int textWidth = glyphWidth * length;
    for (int gy = 0; gy < glyphHeight; ++gy) {
      for (int gx = 0; gx < textWidth; ++gx) {
        if (glyphs[static_cast<std::size_t>(gy * textWidth + gx)] == 0) continue;
        if ((gx + 1) * scale > clipWidth) break;
        fill(x0 + gx * scale, y0 + gy * scale, scale, scale, 255, 255, 255);
      }
    }
  }
};

// "Z3 T 180  CORRIDOR", without the name where it does not fit (the font has no "=" or ":").
std::string caption(const SheetMoment& moment, int room) {
  char text[64];
  std::snprintf(text, sizeof text, "%s T %g", moment.entryPoint, static_cast<double>(moment.t));
  const std::string full = std::string(text) + "  " + moment.name;
  return static_cast<int>(full.size()) * glyphWidth <= room ? full : text;
}

}  // namespace

int sheetCommand(int argc, char** argv) {
  std::string out;
  int width = 384;
  int height = 216;
  ShaderRoute route = ShaderRoute::glslang;
  const ToolOption options[] = {
      {"--out", OptionValue::next, keepText(out, "--out wants a file name")},
      {"--size", OptionValue::next,
       [&](std::string_view value) {
         if (parseSize(value, largestStillSide, width, height) && width >= smallestStillSide &&
             height >= smallestStillSide) {
           return std::string();
         }
         return "--size wants WIDTHxHEIGHT, each side " + std::to_string(smallestStillSide) + " to " +
                std::to_string(largestStillSide) + ", not " + quotedValue(value);
       }},
      {"--compiler", OptionValue::next, takeShaderRoute(route)},
  };
  const OptionsRead read = readOptions(argc, argv, options);
  if (!read.problem.empty()) return usageError(read.problem);
  if (read.help) {
    std::fputs(sheetUsage.c_str(), stdout);
    return 0;
  }
  if (out.empty()) return usageError("--out is required");
  // From here on a signal ends the work and removes the temporary.
  catchInterrupts();
  const auto stopped = [&out] { return interruptedExit("sheet", out + " not written"); };
  // The output's temporary before any work: a file that cannot be written fails at once.
  PendingOutput output(out);
  std::string error;
  if (!output.reserve(error)) return failure(error);

  // The song up to the last moment, then the loop's update at 60 frames per second up to each.
  std::uint32_t lastPosition = 0;
  for (const SheetMoment& moment : sheetMoments) lastPosition = std::max(lastPosition, playPositionAt(moment.t));
  SynthMemoryPtr memory = allocateSynthMemory();
  if (!renderSongFor(*memory, 0, lastPosition, interrupted)) {
    return interrupted() ? stopped() : failure("the built-in song does not render");
  }

  HeadlessRenderer renderer;
  if (!startShowRenderer(renderer, width, height, validationRequested(), error, spirvCompilerFor(route))) {
    return failure(error);
  }

  const int captionHeight = sheetCaptionHeight(width);
  const int scale = sheetFontScale(width);
  Canvas sheet;
  sheet.width = sheetColumns * width;
  sheet.height = sheetRows * (height + captionHeight);
  sheet.rgba.assign(static_cast<std::size_t>(sheet.width) * static_cast<std::size_t>(sheet.height) * 4, 0);
  sheet.fill(0, 0, sheet.width, sheet.height, 16, 16, 20);
  for (int i = 0; i < sheetMomentCount; ++i) {
    if (interrupted()) return stopped();
    const SheetMoment& moment = sheetMoments[i];
    const ShowState state = songShowStateAt(*memory, playPositionAt(moment.t), 60.0);
    ShaderParams params = {};
    writePictureSize(params, width, height);
    writeFrameParams(params, state);
    params.t = moment.t;  // the caption's time exactly
    const int sceneIndex = sceneIndexOf(moment.t / musicTimePerPattern);
    const std::vector<std::uint8_t> picture = renderer.render(params, sceneIndex);
    if (picture.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
      return failure("rendering failed: " + renderer.error().text());
    }
    const int x0 = (i % sheetColumns) * width;
    const int y0 = (i / sheetColumns) * (height + captionHeight);
    sheet.place(picture, width, height, x0, y0);
    const int room = width - 6 * scale;
    sheet.text(caption(moment, room / scale), x0 + 3 * scale, y0 + height + 3 * scale, scale, room);
    std::fprintf(stderr, "sheet: %s at t %g (e %.3g, e2 %.3g, e3 %.3g)\n", shaderEntryPoints[sceneIndex - 1],
                 static_cast<double>(moment.t), static_cast<double>(state.e), static_cast<double>(state.e2),
                 static_cast<double>(state.e3));
  }
  for (const std::string& message : renderer.validationErrors()) {
    std::fprintf(stderr, "intro-tool sheet: validation: %s\n", message.c_str());
  }
  if (!renderer.validationErrors().empty()) return failure("the Vulkan validation layer reported errors");

  if (interrupted()) return stopped();
  if (!writeRgbaPng(output.path(), sheet.rgba, sheet.width, sheet.height, out, error)) return failure(error);
  if (!output.commit(error)) return interrupted() ? stopped() : failure(error);  // a pipe's reader awaited
  std::printf("%s: %dx%d, %d stills of %dx%d on %s\n", out.c_str(), sheet.width, sheet.height, sheetMomentCount, width,
              height, renderer.deviceName());
  return 0;
}
