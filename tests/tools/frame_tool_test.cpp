// intro-tool frame: the PNG holds exactly the picture the headless renderer presents for the same
// time, sync values and size (scene by the timeline, then the final pass); bad arguments exit 2;
// a failed write leaves no file, and an output that is not a regular file is written, not replaced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "host/show.h"
#include "synth/song.h"
#include "synth/synth.h"
#include "tests/common/gpu_fixture.h"
#include "tests/common/tool_runner.h"
#include "text/text_textures.h"

namespace {

using gpu_test::GpuTest;
using tool_test::Png;
using tool_test::readPng;
using tool_test::Scratch;

int runTool(const std::string& arguments, const std::string& environment = "") {
  const std::string command = environment + (environment.empty() ? "" : " ") + "\"" + INTRO_TOOL_PATH + "\" frame " +
                              arguments + " >/dev/null 2>&1";
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
  const ShowState state = songShowStateAt(song, target, 60.0);
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

TEST_F(FrameTool, AFailedWriteLeavesNoFile) {
  Scratch scratch("frame_failed_write");
  // The target is a folder with a file in it: the finished picture cannot take its place.
  const auto folder = scratch / "taken.png";
  std::filesystem::create_directory(folder);
  { std::ofstream(folder / "keep.txt") << "kept"; }
  EXPECT_EQ(runTool("--t 77 --e 1 --e2 0 --e3 0 --size 72x40 --out \"" + folder.string() + "\""), 1);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(tool_test::readFile(folder / "keep.txt"), "kept");
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"taken.png"});
}

TEST_F(FrameTool, AWriteThatStopsHalfWayLeavesTheOldPicture) {
  // A file size limit of 4 KiB stops the PNG part way (with SIGXFSZ ignored the write fails
  // instead of ending the tool): the old picture stays as it was and nothing else is left.
  Scratch scratch("frame_half_write");
  const auto file = scratch / "picture.png";
  { std::ofstream(file) << "an old picture"; }
  const std::string limit = "trap '' XFSZ; ulimit -f 8; MESA_SHADER_CACHE_DISABLE=true";
  // Z2 at t 100: a busy picture that does not compress to a few bytes.
  EXPECT_EQ(runTool("--t 100 --e 12.5 --e2 0.25 --e3 0.75 --size 320x180 --out \"" + file.string() + "\"", limit), 1);
  EXPECT_TRUE(tool_test::readFile(file) == "an old picture") << "the old picture was overwritten";
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"picture.png"});
  // Without the limit the same picture is larger than that, so the limit is what stopped it.
  ASSERT_EQ(runTool("--t 100 --e 12.5 --e2 0.25 --e3 0.75 --size 320x180 --out \"" + file.string() + "\""), 0);
  EXPECT_GT(std::filesystem::file_size(file), 4096u);
}

TEST_F(FrameTool, WritesIntoAPipeAndLeavesItAPipe) {
  TextTexture texts[textCount];
  rasteriseTexts(texts);
  for (int id = 0; id < textCount; ++id) {
    ASSERT_TRUE(renderer.setText(textSlot(static_cast<TextId>(id)), texts[id].width, texts[id].height, texts[id].rgba));
  }
  Scratch scratch("frame_pipe");
  const auto fifo = scratch / "picture.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto temporaries = scratch / "temporaries";
  std::filesystem::create_directory(temporaries);
  // Everything written into the pipe, read on its own thread until the writer closes it.
  std::string received;
  std::thread reader([&fifo, &received] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    if (fd < 0) return;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) received.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
  });
  const int exitCode = runTool("--t 77 --e 12.5 --e2 0.25 --e3 0.75 --size 72x40 --out \"" + fifo.string() + "\"",
                               "TMPDIR=\"" + temporaries.string() + "\"");
  // Should the tool never have opened the pipe, open it here so that the reader sees its end.
  const int unblock = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (unblock >= 0) ::close(unblock);
  reader.join();
  EXPECT_EQ(exitCode, 0);
  struct stat status {};
  ASSERT_EQ(::lstat(fifo.c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the pipe was replaced";
  EXPECT_TRUE(std::filesystem::is_empty(temporaries)) << "the temporary outlived the write";
  // What came through the pipe is the picture.
  const auto copy = scratch / "received.png";
  { std::ofstream(copy, std::ios::binary) << received; }
  Png png;
  ASSERT_TRUE(readPng(copy.string(), png)) << received.size() << " bytes came through the pipe";
  EXPECT_EQ(png.width, 72);
  EXPECT_EQ(png.height, 40);
  EXPECT_EQ(png.rgba, frame(1, 77.0f, 12.5f, 0.25f, 0.75f));
}

TEST_F(FrameTool, ReplacesAnOldPictureAndLeavesNoTemporary) {
  Scratch scratch("frame_replace");
  const auto file = scratch / "picture.png";
  { std::ofstream(file) << "an old picture"; }
  ASSERT_EQ(runTool("--t 77 --e 12.5 --e2 0.25 --e3 0.75 --size 72x40 --out \"" + file.string() + "\""), 0);
  Png png;
  ASSERT_TRUE(readPng(file.string(), png));
  EXPECT_EQ(png.width, 72);
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"picture.png"});
}

}  // namespace
