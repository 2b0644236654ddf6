// intro-tool song, run as a program: exit codes, the WAV and CSV it writes, and that a failure
// leaves no file behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "synth/synth.h"
#include "tests/synth/song_builder.h"
#include "tests/tools/tool_spawn.h"
#include "tools/song_file.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int code;
  std::string errors;
};

class ToolTest : public ::testing::Test {
 protected:
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("intro-tool-test-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  ToolRun tool(const std::string& arguments) {
    const fs::path errors = dir / "stderr.txt";
    const std::string command = std::string(INTRO_TOOL_PATH) + " " + arguments + " >/dev/null 2>" + errors.string();
    const int status = std::system(command.c_str());
    std::ifstream in(errors);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(errors);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
  }
  std::string path(const char* name) const { return (dir / name).string(); }
  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(dir)) out.push_back(entry.path().filename().string());
    return out;
  }
  void write(const char* name, const std::string& text) const { std::ofstream(dir / name) << text; }
  std::string read(const char* name) const {
    std::ifstream in(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

TEST_F(ToolTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(tool("").code, 2);
  EXPECT_EQ(tool("juggle").code, 2);
  EXPECT_EQ(tool("--help").code, 0);
  EXPECT_EQ(tool("song").code, 2);
  EXPECT_EQ(tool("song --help").code, 0);
  EXPECT_EQ(tool("song --out").code, 2);
  EXPECT_EQ(tool("song --loud --out " + path("a.wav")).code, 2);
  for (const char* frames : {"0", "-5", "12057921", "12x", "lots"}) {
    const ToolRun run = tool("song --frames " + std::string(frames) + " --out " + path("a.wav"));
    EXPECT_EQ(run.code, 2) << frames;
    EXPECT_NE(run.errors.find("--frames"), std::string::npos) << run.errors;
  }
  EXPECT_EQ(tool("song --envelope-log " + path("a.csv")).code, 2);
  EXPECT_TRUE(files().empty());
}

// The numbers of every command follow one grammar: what --frames refuses, --t and --fps refuse.
TEST_F(ToolTest, FramesTakeTheSharedNumberGrammar) {
  for (const char* frames : {"' 5'", "'5 '", "0x10", "1e-320", "5.5", "+", "1e999"}) {
    const ToolRun run = tool("song --frames " + std::string(frames) + " --out " + path("a.wav"));
    EXPECT_EQ(run.code, 2) << frames;
    EXPECT_NE(run.errors.find("expected a whole number"), std::string::npos) << run.errors;
  }
  EXPECT_TRUE(files().empty());
  for (const char* frames : {"1e3", "1000.0", "+1000"}) {
    ASSERT_EQ(tool("song --frames " + std::string(frames) + " --out " + path("a.wav")).code, 0) << frames;
    SF_INFO info{};
    SNDFILE* sound = sf_open(path("a.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(info.frames, 1000) << frames;
    sf_close(sound);
  }
  const ToolRun unknown = tool("song --loud --out " + path("b.wav"));
  EXPECT_NE(unknown.errors.find("unknown option '--loud'"), std::string::npos) << unknown.errors;
  const ToolRun stray = tool("song loud --out " + path("b.wav"));
  EXPECT_NE(stray.errors.find("unexpected argument 'loud'"), std::string::npos) << stray.errors;
  // A long value is quoted in part.
  const ToolRun longValue = tool("song --frames " + std::string(5000, '9') + " --out " + path("b.wav"));
  EXPECT_EQ(longValue.code, 2);
  EXPECT_LT(longValue.errors.size(), 2000u);
}

// Two outputs on one file: the second would replace the first. Refused before any work.
TEST_F(ToolTest, TwoOutputsOnOneFileAreRefused) {
  const std::string wav = path("o.wav");
  const std::string sameWav = (dir / "." / "o.wav").string();
  for (const std::string& arguments :
       {"--out " + wav + " --envelope-log " + wav, "--out " + wav + " --envelope-log " + sameWav,
        "--out " + wav + " --export " + sameWav, "--out " + wav + " --envelope-log " + path("o.csv") + " --export " +
        path("o.csv")}) {
    const ToolRun run = tool("song --frames 100 " + arguments);
    EXPECT_EQ(run.code, 2) << arguments;
    EXPECT_NE(run.errors.find("give each output a file of its own"), std::string::npos) << run.errors;
    EXPECT_TRUE(files().empty()) << arguments;
  }
  // Two links to one file.
  write("o.wav", "keep");
  ASSERT_EQ(::link(wav.c_str(), path("p.csv").c_str()), 0);
  EXPECT_EQ(tool("song --frames 100 --out " + wav + " --envelope-log " + path("p.csv")).code, 2);
  EXPECT_EQ(read("o.wav"), "keep");
  EXPECT_EQ(files().size(), 2u);
}

// A song file that is a folder, and outputs that cannot be written, fail before the render.
TEST_F(ToolTest, FoldersAreNeitherSongsNorOutputs) {
  const ToolRun song = tool("song --song " + dir.string() + " --out " + path("a.wav"));
  EXPECT_EQ(song.code, 2);
  EXPECT_NE(song.errors.find("it is a folder"), std::string::npos) << song.errors;
  fs::create_directory(dir / "out.wav");
  const auto start = std::chrono::steady_clock::now();
  const ToolRun out = tool("song --out " + path("out.wav"));  // the whole song, were it rendered
  EXPECT_EQ(out.code, 1);
  EXPECT_NE(out.errors.find("cannot write " + path("out.wav") + ": it is a folder"), std::string::npos) << out.errors;
  EXPECT_EQ(out.errors.find(".partial"), std::string::npos) << out.errors;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << "refused only after the render";
  const ToolRun log = tool("song --out " + path("a.wav") + " --envelope-log " + path("no/such/folder/a.csv"));
  EXPECT_EQ(log.code, 1);
  EXPECT_NE(log.errors.find("cannot write " + path("no/such/folder/a.csv")), std::string::npos) << log.errors;
  fs::remove(dir / "out.wav");
  EXPECT_TRUE(files().empty());
}

// A file of the folder under a temporary name, written at least minimumSize bytes.
bool anyPartial(const fs::path& dir, std::uintmax_t minimumSize = 0) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::error_code error;
    if (entry.path().filename().string().find(".partial") != std::string::npos &&
        fs::file_size(entry.path(), error) >= minimumSize && !error) {
      return true;
    }
  }
  return false;
}

TEST_F(ToolTest, InterruptsLeaveNothingBehind) {
  using tool_spawn::interruptWhen;
  const auto song = [&](std::vector<std::string> options) {
    options.insert(options.begin(), "song");
    return tool_spawn::spawnTool(options, dir.string(), "/dev/null");
  };
  // While the whole song renders and is written.
  EXPECT_EQ(interruptWhen(song({"--out", path("o.wav"), "--envelope-log", path("o.csv")}),
                          [&](pid_t) { return anyPartial(dir); }, SIGINT),
            128 + SIGINT);
  EXPECT_TRUE(files().empty()) << files().front();
  // While it waits to hand a finished WAV to a pipe that nobody reads.
  const std::string fifo = path("pipe.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto written = [&](pid_t) {
    if (!anyPartial(dir, 8000 * 8)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // on to the pipe
    return true;
  };
  EXPECT_EQ(interruptWhen(song({"--frames", "8000", "--out", fifo}), written, SIGTERM), 128 + SIGTERM);
  // While it waits for a song from a pipe: for a writer, then for a writer that sends nothing.
  EXPECT_EQ(interruptWhen(song({"--song", fifo, "--out", path("o.wav")}), tool_spawn::waitsOnPipe, SIGHUP),
            128 + SIGHUP);
  const int silentWriter = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(silentWriter, 0);
  EXPECT_EQ(interruptWhen(song({"--song", fifo, "--out", path("o.wav")}), tool_spawn::waitsOnPipe, SIGINT),
            128 + SIGINT);
  ::close(silentWriter);
  EXPECT_TRUE(fs::is_fifo(fifo));
  fs::remove(fifo);
  EXPECT_TRUE(files().empty()) << files().front();
}

TEST_F(ToolTest, RendersTheWavAndTheEnvelopeLog) {
  const SongBuilder mix = makeMixSong();
  write("mix.json", songToJson(mix.song()));
  const std::uint32_t frames = 3000;
  ASSERT_EQ(tool("song --song " + path("mix.json") + " --frames 3000 --out " + path("mix.wav") +
                 " --envelope-log " + path("mix.csv"))
                .code,
            0);
  SynthMemoryPtr memory = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*memory, mix.song(), frames));

  SF_INFO info{};
  SNDFILE* sound = sf_open(path("mix.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(info.frames, frames);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  std::vector<float> samples(2 * frames + 2);
  EXPECT_EQ(sf_readf_float(sound, samples.data(), frames + 1), frames);
  sf_close(sound);
  for (std::uint32_t i = 0; i < 2 * frames; ++i) ASSERT_EQ(samples[i], memory->soundBuffer[i]) << i;

  std::ifstream csv(path("mix.csv"));
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line.rfind("record,track0,", 0), 0u);
  int rows = 0;
  while (std::getline(csv, line)) {
    std::stringstream fields(line);
    std::string field;
    std::vector<std::string> values;
    while (std::getline(fields, field, ',')) values.push_back(field);
    ASSERT_EQ(values.size(), 16u) << line;
    EXPECT_EQ(std::stoi(values[0]), rows);
    for (int track = 0; track < trackCount; ++track) {
      EXPECT_EQ(std::stof(values[1 + track]), memory->envelopeLog[rows].level[2 * track]) << line;
    }
    ++rows;
  }
  EXPECT_EQ(rows, 12);  // 3000 frames: records 0..11, the last one partial
  EXPECT_EQ(files().size(), 3u);  // nothing left under a temporary name
}

TEST_F(ToolTest, ExportsTheBuiltinSongAndReadsItBack) {
  ASSERT_EQ(tool("song --export " + path("song.json")).code, 0);
  SongData data;
  ASSERT_TRUE(readSongFile(path("song.json"), data).empty());
  EXPECT_TRUE(std::ranges::equal(data.songOrder, builtinSong().songOrder));
  EXPECT_TRUE(std::ranges::equal(data.instrumentParams, builtinSong().instrumentParams));
  ASSERT_EQ(tool("song --song " + path("song.json") + " --frames 500 --out " + path("a.wav")).code, 0);
  ASSERT_EQ(tool("song --frames 500 --out " + path("b.wav")).code, 0);
  // Whole files, header included: a render gives the same bytes whenever it is written.
  const std::string first = read("a.wav");
  EXPECT_TRUE(first == read("b.wav"));
  EXPECT_EQ(first.find("PEAK"), std::string::npos) << "a PEAK chunk holds the time of writing";
}

TEST_F(ToolTest, BadSongFileExitsWithTwoAndWritesNothing) {
  nlohmann::json json = nlohmann::json::parse(songToJson(makeMixSong().song()));
  json["instrumentParams"][3] = 999;
  write("bad.json", json.dump());
  const ToolRun run = tool("song --song " + path("bad.json") + " --out " + path("out.wav") +
                           " --envelope-log " + path("out.csv") + " --export " + path("out.json"));
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.errors.find("instrumentParams[3]: is 999, expected an integer 0..255"), std::string::npos)
      << run.errors;
  write("broken.json", "{\"songPatterns\": [");
  EXPECT_EQ(tool("song --song " + path("broken.json") + " --out " + path("out.wav")).code, 2);
  EXPECT_EQ(tool("song --song " + path("missing.json") + " --out " + path("out.wav")).code, 2);
  const std::vector<std::string> left = files();
  EXPECT_EQ(left.size(), 2u);  // bad.json and broken.json only
}

TEST_F(ToolTest, UnwritableOutputFailsWithItsReasonAndLeavesNoPartialFile) {
  const std::string tooLong = path(std::string(256, 'n').c_str());
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"--frames 100 --out " + path("no/such/dir/a.wav"),
       "cannot write " + path("no/such/dir/a.wav") + ": No such file"},
      // The WAV is fine but the log cannot be written: neither appears.
      {"--frames 100 --out " + path("a.wav") + " --envelope-log " + path("no/a.csv"),
       "cannot write " + path("no/a.csv") + ": No such file"},
      {"--frames 100 --out " + tooLong, "cannot write " + tooLong + ": File name too long"},
      {"--frames 100 --out /dev/full", "cannot write /dev/full: No space left on device"},
      {"--export /dev/full", "cannot write /dev/full: No space left on device"},
  };
  for (const auto& c : cases) {
    if (c.arguments.find("/dev/full") != std::string::npos && !fs::exists("/dev/full")) continue;
    const ToolRun run = tool("song " + c.arguments);
    EXPECT_EQ(run.code, 1) << c.arguments;
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << c.arguments << "\n" << run.errors;
    EXPECT_TRUE(files().empty()) << files().front();
  }
  // The longest name the file system takes (255 bytes) has room for no suffix: the temporary's
  // name must not grow with it.
  const std::string longest(255 - 4, 'n');
  const ToolRun run = tool("song --frames 100 --out " + path((longest + ".wav").c_str()));
  EXPECT_EQ(run.code, 0) << run.errors;
  EXPECT_EQ(files(), std::vector<std::string>{longest + ".wav"});
}

}  // namespace

namespace {

// An output that is not a regular file (a pipe here, /dev/null in practice) must receive the
// bytes and stay what it was: moving a finished temporary over it would replace it.
TEST_F(ToolTest, AnOutputThatIsNotARegularFileIsWrittenNotReplaced) {
  const std::string fifo = path("pipe.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string received = path("received.wav");
  const std::string reader = "cat " + fifo + " > " + received + " &";
  ASSERT_EQ(std::system(reader.c_str()), 0);

  EXPECT_EQ(tool("song --frames 1000 --out " + fifo).code, 0);
  // The reader copies on its own; give it time on a loaded machine.
  const auto receivedSize = [&] {
    std::error_code error;
    const auto size = fs::file_size(received, error);
    return error ? std::uintmax_t{0} : size;
  };
  for (int i = 0; i < 1000 && receivedSize() < 8000; ++i) ::usleep(10000);

  EXPECT_TRUE(fs::is_fifo(fifo));
  std::ifstream in(received, std::ios::binary);
  std::string header(4, '\0');
  in.read(header.data(), 4);
  EXPECT_EQ(header, "RIFF");
  EXPECT_GE(receivedSize(), 1000u * 8u);
  for (const std::string& name : files()) EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
}

}  // namespace
