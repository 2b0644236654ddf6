// intro-tool sheet: eleven captioned stills (ten scenes and the end) in a grid four across; each
// still is the picture intro-tool frame renders at that moment with the song's sync values.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/common/tool_runner.h"
#include "tools/sheet_layout.h"
#include "tools/show_render.h"

namespace {

using tool_test::Png;
using tool_test::readPng;
using tool_test::runTool;
using tool_test::Scratch;

constexpr int stillWidth = 64;
constexpr int stillHeight = 36;

struct Cell {
  int x0, y0;
};
Cell cellOf(int i) {
  return {(i % sheetColumns) * stillWidth, (i / sheetColumns) * (stillHeight + sheetCaptionHeight(stillWidth))};
}

// The region's pixels as RGBA words.
std::vector<std::uint32_t> region(const Png& png, int x0, int y0, int w, int h) {
  std::vector<std::uint32_t> pixels;
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      const std::uint8_t* p = &png.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(png.width) + x) * 4];
      pixels.push_back(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                       static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    }
  }
  return pixels;
}

// One sheet for all the checks (it renders nearly the whole song first).
TEST(SheetTool, CaptionedStillsOfEveryScene) {
  {
    HeadlessRenderer probe;
    if (!probe.init(16, 16, false) && probe.noDevice()) GTEST_SKIP() << "no Vulkan device: " << probe.error().text();
  }
  Scratch scratch("sheet");
  char arguments[256];
  std::snprintf(arguments, sizeof arguments, "sheet --out \"%s\" --size %dx%d", (scratch / "sheet.png").string().c_str(),
                stillWidth, stillHeight);
  const auto result = runTool(scratch, arguments);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  Png sheet;
  ASSERT_TRUE(readPng((scratch / "sheet.png").string(), sheet));

  // Eleven stills four across, a caption under each, opaque.
  EXPECT_EQ(sheetMomentCount, 11);
  ASSERT_EQ(sheet.width, 4 * stillWidth);
  ASSERT_EQ(sheet.height, 3 * (stillHeight + sheetCaptionHeight(stillWidth)));
  const std::uint32_t white = 0xFFFFFFFFu;
  for (int i = 0; i < sheetColumns * sheetRows; ++i) {
    const Cell cell = cellOf(i);
    const auto caption = region(sheet, cell.x0, cell.y0 + stillHeight, stillWidth, sheetCaptionHeight(stillWidth));
    const bool inked = std::find(caption.begin(), caption.end(), white) != caption.end();
    EXPECT_EQ(inked, i < sheetMomentCount) << "caption of cell " << i;
  }
  for (std::uint32_t word : region(sheet, 0, 0, sheet.width, sheet.height)) {
    ASSERT_EQ(word >> 24, 255u) << "the sheet is opaque";
  }

  // Every scene shows a picture (no flat mosaic block), each a different one; the end is black.
  std::vector<std::vector<std::uint32_t>> stills;
  for (int i = 0; i < sheetMomentCount; ++i) {
    const Cell cell = cellOf(i);
    stills.push_back(region(sheet, cell.x0, cell.y0, stillWidth, stillHeight));
  }
  for (int i = 0; i + 1 < sheetMomentCount; ++i) {
    const std::set<std::uint32_t> colours(stills[i].begin(), stills[i].end());
    EXPECT_GT(colours.size(), 20u) << sheetMoments[i].entryPoint << " at t " << sheetMoments[i].t
                                   << " should show a picture, not a flat block";
    for (int j = 0; j < i; ++j) EXPECT_NE(stills[i], stills[j]) << "cells " << i << " and " << j;
  }
  for (std::uint32_t word : stills.back()) ASSERT_EQ(word, 0xFF000000u) << "the end is black";

  // Z1 at t 40 and Z2 at t 120 against intro-tool frame, sync values from the song on both sides
  // (the later scenes differ only in how far the song is rendered first).
  for (const int i : {0, 1}) {
    const SheetMoment& moment = sheetMoments[i];
    const std::string file = (scratch / "frame.png").string();
    std::snprintf(arguments, sizeof arguments, "frame --t %g --size %dx%d --out \"%s\"", static_cast<double>(moment.t),
                  stillWidth, stillHeight, file.c_str());
    const auto frameResult = runTool(scratch, arguments);
    ASSERT_EQ(frameResult.exitCode, 0) << frameResult.err;
    Png frame;
    ASSERT_TRUE(readPng(file, frame));
    for (std::size_t p = 3; p < frame.rgba.size(); p += 4) frame.rgba[p] = 255;  // the sheet is opaque
    const Cell cell = cellOf(i);
    EXPECT_EQ(region(sheet, cell.x0, cell.y0, stillWidth, stillHeight), region(frame, 0, 0, stillWidth, stillHeight))
        << moment.entryPoint << " at t " << moment.t;
  }
}

TEST(SheetToolArguments, BadArgumentsGiveClearErrors) {
  Scratch scratch("sheet_bad");
  const std::string out = "--out \"" + (scratch / "bad.png").string() + "\"";
  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"", "--out is required"},
      {out + " --size 8x8", "--size wants"},
      {out + " --size 64", "--size wants"},
      {out + " --size 5000x100", "--size wants"},
      {out + " --frames 3", "unknown option '--frames'"},
      {out + " --size", "--size needs a value"},
  };
  for (const auto& c : cases) {
    const auto result = runTool(scratch, "sheet " + c.arguments);
    EXPECT_EQ(result.exitCode, 2) << c.arguments;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << "\n" << result.err;
  }
  EXPECT_TRUE(scratch.files().empty());
}

// An output that cannot be written is found before any still is rendered.
TEST(SheetToolArguments, UnwritableOutputFailsBeforeTheWork) {
  Scratch scratch("sheet_unwritable");
  std::filesystem::create_directory(scratch / "folder.png");
  for (const std::string& out : {(scratch / "folder.png").string(), (scratch / "no" / "x.png").string()}) {
    const auto result = runTool(scratch, "sheet --out \"" + out + "\"");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot write " + out), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("sheet: Z1"), std::string::npos) << "rendered before refusing:\n" << result.err;
    EXPECT_EQ(result.err.find(".partial"), std::string::npos) << result.err;
  }
  std::filesystem::remove(scratch / "folder.png");
  EXPECT_TRUE(scratch.files().empty());
}

// Every command reads its numbers with one grammar and names an unknown option as such.
TEST(ToolArguments, EveryCommandTakesTheSameNumbers) {
  Scratch scratch("tool_numbers");
  const std::string png = "--out \"" + (scratch / "x.png").string() + "\"";
  const std::string mp4 = "--out \"" + (scratch / "x.mp4").string() + "\"";
  const std::string wav = "--out \"" + (scratch / "x.wav").string() + "\"";
  const std::string commands[] = {"frame " + png + " --t", "frame " + png + " --t 1 --e", "capture " + mp4 + " --from",
                                  "capture " + mp4 + " --fps", "sheet " + png + " --size 64x", "song " + wav + " --frames",
                                  "capture " + mp4 + " --size", "play --from", "play --size 64x"};
  for (const std::string& command : commands) {
    for (const char* value : {"' 5'", "'5 '", "0x10", "inf", "nan", "1e999", "5e", "--"}) {
      const auto result = runTool(scratch, command + " " + value);
      EXPECT_EQ(result.exitCode, 2) << command << " " << value << "\n" << result.err;
    }
  }
  // A tiny number is a number (a music time of almost 0), not an error.
  for (const std::string& command : {"frame " + png + " --t 1e-320 --e", "capture " + mp4 + " --fps 1e1 --from"}) {
    const auto result = runTool(scratch, command + " ' 5'");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.find("--t wants"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("--fps wants"), std::string::npos) << result.err;
  }
  for (const std::string& command :
       {"frame " + png + " --t 1", "sheet " + png, "capture " + mp4, "song " + wav, std::string("play")}) {
    for (const char* option : {"--bogus", "--bogus 1"}) {
      const auto result = runTool(scratch, command + " " + option);
      EXPECT_EQ(result.exitCode, 2) << command;
      EXPECT_NE(result.err.find("unknown option '--bogus'"), std::string::npos) << command << "\n" << result.err;
    }
    const auto stray = runTool(scratch, command + " stray");
    EXPECT_NE(stray.err.find("unexpected argument 'stray'"), std::string::npos) << command << "\n" << stray.err;
  }
  // The player checks its options and its song before it opens a window.
  for (const char* bad : {"--from 490.5", "--from -1", "--size 0x10", "--song", "--shaders ''"}) {
    const auto result = runTool(scratch, std::string("play ") + bad);
    EXPECT_EQ(result.exitCode, 2) << bad << "\n" << result.err;
  }
  const auto missing = runTool(scratch, "play --song \"" + (scratch / "none.json").string() + "\"");
  EXPECT_EQ(missing.exitCode, 2) << missing.err;
  EXPECT_NE(missing.err.find("none.json is not a valid song file"), std::string::npos) << missing.err;
  EXPECT_TRUE(scratch.files().empty());
}

}  // namespace
