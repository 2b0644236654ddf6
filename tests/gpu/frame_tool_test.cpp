// intro-tool frame: the PNG holds exactly the picture the headless renderer presents for the same
// time, sync values and size (scene by the timeline, then the final pass); bad arguments exit 2.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gpu_fixture.h"
#include "show.h"
#include "song.h"
#include "synth.h"
#include "text_textures.h"
#include "tool_runner.h"

namespace {

using gpu_test::GpuTest;
using tool_test::Png;
using tool_test::readPng;

int runTool(const std::string& arguments) {
  const std::string command = std::string("\"") + INTRO_TOOL_PATH + "\" frame " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class FrameTool : public GpuTest {
 protected:
  FrameTool() : GpuTest(72, 40) {}
  std::string path(const char* name) const {
    // The process id keeps concurrent runs (other build trees, parallel CTest) apart.
    return (std::filesystem::temp_directory_path() /
            ("intro_frame_tool_" + std::to_string(getpid()) + "_" + name)).string();
  }
};

TEST_F(FrameTool, WritesThePresentedPictureForTheTimelinesScene) {
  // t 77 runs Z1 with the final pass's glow; t 161 runs Z3 just after a scene change (blocks);
  // t 485 the clear pass.
  const struct {
    float t;
    int scene;
  } cases[] = {{77.0f, 1}, {161.0f, 3}, {485.0f, 11}};
  // The tool binds the intro's five texts; so does the reference.
  TextTexture texts[textCount];
  rasteriseTexts(texts);
  for (int id = 0; id < textCount; ++id) {
    ASSERT_TRUE(renderer.setText(textSlot(static_cast<TextId>(id)), texts[id].width, texts[id].height, texts[id].rgba));
  }
  for (const auto& c : cases) {
    const std::string file = path("picture.png");
    std::filesystem::remove(file);
    char arguments[256];
    std::snprintf(arguments, sizeof arguments, "--t %g --e 12.5 --e2 0.25 --e3 0.75 --size 72x40 --out \"%s\"",
                  static_cast<double>(c.t), file.c_str());
    ASSERT_EQ(runTool(arguments), 0) << arguments;
    Png png;
    ASSERT_TRUE(readPng(file, png)) << file;
    EXPECT_EQ(png.width, 72);
    EXPECT_EQ(png.height, 40);
    EXPECT_EQ(png.rgba, frame(c.scene, c.t, 12.5f, 0.25f, 0.75f)) << "t " << c.t;
    std::filesystem::remove(file);
  }
}

TEST_F(FrameTool, SyncValuesComeFromTheSongWhenLeftOut) {
  // The frame loop's update at 60 frames per second over the built-in song up to t = 100 (Z2,
  // whose picture moves with e), as the intro would have it there.
  const float t = 100.0f;
  const auto target = static_cast<std::uint32_t>(std::llround(static_cast<double>(t) / 2.5 * 61520.0));
  SynthMemoryPtr memory = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*memory, builtinSong(), (target / 256 + 2) * 256));
  const SynthMemory& song = *memory;
  const ShowState state = simulateShow(target, 60.0, [&song](std::uint32_t position) {
    EnvelopeLevels levels;
    for (int track = 0; track < syncTrackCount; ++track) levels.level[track] = trackLevel(song, position, track);
    return levels;
  });
  EXPECT_GT(state.e, 0.0f) << "the song drives e by t = 100";

  TextTexture texts[textCount];
  rasteriseTexts(texts);
  for (int id = 0; id < textCount; ++id) {
    ASSERT_TRUE(renderer.setText(textSlot(static_cast<TextId>(id)), texts[id].width, texts[id].height, texts[id].rgba));
  }
  const std::string file = path("song.png");
  ASSERT_EQ(runTool("--t 100 --size 72x40 --out \"" + file + "\""), 0);
  Png png;
  ASSERT_TRUE(readPng(file, png));
  EXPECT_EQ(png.width, 72);
  EXPECT_EQ(png.height, 40);
  EXPECT_EQ(png.rgba, frame(2, t, state.e, state.e2, state.e3));
  // Given on the command line, a value replaces the song's.
  ASSERT_EQ(runTool("--t 100 --e 0 --size 72x40 --out \"" + file + "\""), 0);
  ASSERT_TRUE(readPng(file, png));
  EXPECT_EQ(png.rgba, frame(2, t, 0.0f, state.e2, state.e3));
  std::filesystem::remove(file);
}

TEST_F(FrameTool, BadArgumentsExitWithTwo) {
  const std::string file = path("bad.png");
  EXPECT_EQ(runTool(""), 2);
  EXPECT_EQ(runTool("--out \"" + file + "\""), 2);                     // no --t
  EXPECT_EQ(runTool("--t 10"), 2);                                     // no --out
  EXPECT_EQ(runTool("--t ten --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 10x --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t -1 --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 491 --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t nan --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 10 --e --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 10 --size 0x10 --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 10 --size 64 --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 10 --size 64x-3 --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 10 --bogus 1 --out \"" + file + "\""), 2);
  EXPECT_EQ(runTool("--t 10 --out"), 2);
  EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
