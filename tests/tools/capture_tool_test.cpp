// intro-tool capture: the MP4 holds exactly the planned frames and the matching sound (ffprobe);
// every picture handed to the encoder is the one intro-tool frame renders for the same music
// time and sync values, with sync values as the intro has them live; bad arguments, a missing or
// failing encoder and an interrupt leave no file behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <thread>

#include "shaders/shader_source.h"
#include "tests/common/tool_runner.h"
#include "tests/tools/tool_spawn.h"
#include "tools/capture_encoder.h"
#include "tools/show_render.h"

namespace {

using tool_test::Png;
using tool_test::readPng;
using tool_test::runTool;
using tool_test::Scratch;

// key=value lines of ffprobe for one stream of file.
std::map<std::string, std::string> probeStream(const Scratch& scratch, const std::string& file,
                                               const std::string& stream) {
  const auto out = scratch / "probe.txt";
  const std::string command = "ffprobe -v error -count_frames -select_streams " + stream +
                              " -show_entries stream=codec_type,codec_name,profile,pix_fmt,width,height,"
                              "color_space,color_primaries,color_transfer,color_range,nb_read_frames,duration,"
                              "sample_rate,channels,bit_rate -of default=noprint_wrappers=1 \"" +
                              file + "\" >\"" + out.string() + "\" 2>&1";
  std::map<std::string, std::string> values;
  const int status = std::system(command.c_str());
  std::istringstream lines(tool_test::readFile(out));
  std::filesystem::remove(out);
  if (status != 0) return values;
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

bool haveProgram(const char* name) { return !findProgram(name).empty(); }

// A renderer at width x height as the tool sets one up; skips the test without a Vulkan device.
#define START_RENDERER(renderer, width, height)                                          \
  do {                                                                                   \
    std::string startError;                                                              \
    if (!startShowRenderer(renderer, width, height, true, startError)) {                 \
      if (renderer.noDevice()) GTEST_SKIP() << "no Vulkan device: " << renderer.error().text(); \
      FAIL() << startError;                                                              \
    }                                                                                    \
  } while (false)

TEST(CaptureTool, FirstMusicUnitHasTheExpectedFramesStreamsAndDuration) {
  if (!haveProgram("ffmpeg") || !haveProgram("ffprobe")) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  Scratch scratch("capture_unit");
  const std::string file = (scratch / "first.mp4").string();
  // The temporary sound file goes to TMPDIR: the scratch folder, checked for leftovers below.
  const auto result = runTool(scratch, "capture --out \"" + file + "\" --size 64x48 --fps 30 --from 0 --to 1",
                              "TMPDIR=\"" + scratch.path().string() + "\"");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.err.find("17/17 frames"), std::string::npos) << result.err;  // the last progress line

  // t = 1 is play position 24,608; frames at 30 fps are 1,470 sample frames apart.
  std::uint64_t expectedFrames = 0;
  while (std::llround(static_cast<double>(expectedFrames) * 44100.0 / 30.0) < std::llround(1.0 / 2.5 * 61520.0)) {
    ++expectedFrames;
  }
  ASSERT_EQ(expectedFrames, 17u);
  const double expectedSeconds = static_cast<double>(expectedFrames) / 30.0;

  auto video = probeStream(scratch, file, "v");
  EXPECT_EQ(video["codec_type"], "video");
  EXPECT_EQ(video["codec_name"], "h264");
  EXPECT_EQ(video["profile"], "High");
  EXPECT_EQ(video["pix_fmt"], "yuv420p");
  EXPECT_EQ(video["width"], "64");
  EXPECT_EQ(video["height"], "48");
  EXPECT_EQ(video["color_space"], "bt709");
  EXPECT_EQ(video["color_primaries"], "bt709");
  EXPECT_EQ(video["color_transfer"], "bt709");
  EXPECT_EQ(video["color_range"], "tv");
  EXPECT_EQ(video["nb_read_frames"], std::to_string(expectedFrames));
  EXPECT_NEAR(std::atof(video["duration"].c_str()), expectedSeconds, 1e-3);

  auto audio = probeStream(scratch, file, "a");
  EXPECT_EQ(audio["codec_type"], "audio");
  EXPECT_EQ(audio["codec_name"], "aac");
  EXPECT_EQ(audio["sample_rate"], "44100");
  EXPECT_EQ(audio["channels"], "2");
  // AAC works in blocks of 1,024 samples (23 ms); the stream ends within one of the video's end.
  EXPECT_NEAR(std::atof(audio["duration"].c_str()), expectedSeconds, 1024.0 / 44100.0);
  const double bitRate = std::atof(audio["bit_rate"].c_str());
  EXPECT_GT(bitRate, 150e3);
  EXPECT_LT(bitRate, 240e3);

  // The index (moov) ahead of the media data (mdat), for playback while downloading.
  const std::string bytes = tool_test::readFile(file);
  const auto moov = bytes.find("moov");
  const auto mdat = bytes.find("mdat");
  ASSERT_NE(moov, std::string::npos);
  ASSERT_NE(mdat, std::string::npos);
  EXPECT_LT(moov, mdat);

  EXPECT_EQ(scratch.files(), std::vector<std::string>{"first.mp4"});  // no temporary left
}

// Root mean square of each block of 1,024 stereo frames.
std::vector<double> blockLevels(const float* samples, std::size_t frames) {
  std::vector<double> levels;
  for (std::size_t at = 0; at + 1024 <= frames; at += 1024) {
    double sum = 0.0;
    for (std::size_t i = 2 * at; i < 2 * (at + 1024); ++i) sum += static_cast<double>(samples[i]) * samples[i];
    levels.push_back(std::sqrt(sum / 2048.0));
  }
  return levels;
}

// Pearson correlation of a against b shifted by lag blocks, over the blocks both cover.
double correlation(const std::vector<double>& a, const std::vector<double>& b, int lag) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  int n = 0;
  for (int i = 0; i < static_cast<int>(a.size()); ++i) {
    const int j = i + lag;
    if (j < 0 || j >= static_cast<int>(b.size())) continue;
    sa += a[i];
    sb += b[j];
    saa += a[i] * a[i];
    sbb += b[j] * b[j];
    sab += a[i] * b[j];
    ++n;
  }
  const double cov = sab - sa * sb / n;
  const double va = saa - sa * sa / n;
  const double vb = sbb - sb * sb / n;
  return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0.0;
}

TEST(CaptureTool, SoundIsTheStretchOfTheSoundtrackUnderTheFrames) {
  if (!haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  Scratch scratch("capture_sound");
  const std::string file = (scratch / "sound.mp4").string();
  const double from = 20.0;
  const double to = 22.0;
  char arguments[256];
  std::snprintf(arguments, sizeof arguments, "capture --out \"%s\" --size 32x32 --fps 10 --from %g --to %g",
                file.c_str(), from, to);
  const auto result = runTool(scratch, arguments);
  ASSERT_EQ(result.exitCode, 0) << result.err;

  // The decoded sound (AAC; its encoder delay is undone by the file's edit list).
  const auto raw = scratch / "sound.f32";
  const std::string decode = "ffmpeg -v error -i \"" + file + "\" -map 0:a -f f32le -ac 2 -ar 44100 \"" +
                             raw.string() + "\"";
  ASSERT_EQ(std::system(decode.c_str()), 0);
  const std::string bytes = tool_test::readFile(raw);
  std::vector<float> decoded(bytes.size() / sizeof(float));
  std::memcpy(decoded.data(), bytes.data(), decoded.size() * sizeof(float));

  // The soundtrack from the first frame's play position on.
  const auto plan = planCapture(10, from, to);
  ASSERT_TRUE(plan);
  SynthMemoryPtr memory = allocateSynthMemory();
  ASSERT_TRUE(renderSongFor(*memory, plan->soundEnd + 44100, 0));
  const std::uint32_t frames = plan->soundEnd - plan->soundBegin;
  EXPECT_NEAR(static_cast<double>(decoded.size() / 2), frames, 1024.0);
  // A longer stretch, starting a whole number of blocks (about half the length) early, to look for
  // a shift either way.
  const std::uint32_t early = frames / 2 / 1024 * 1024;
  std::vector<float> soundtrack(2 * std::size_t{2 * frames});
  copySoundFrames(*memory, plan->soundBegin - early, 2 * frames, soundtrack.data());

  const std::vector<double> heard = blockLevels(decoded.data(), decoded.size() / 2);
  const std::vector<double> song = blockLevels(soundtrack.data(), 2 * frames);
  ASSERT_GT(heard.size(), 40u);
  const int offset = static_cast<int>(early / 1024);  // blocks of the early part
  int bestLag = 0;
  double best = -2.0;
  for (int lag = -offset; lag <= offset; ++lag) {
    const double c = correlation(heard, song, offset + lag);
    if (c > best) {
      best = c;
      bestLag = lag;
    }
  }
  EXPECT_EQ(bestLag, 0) << "the sound is shifted by about " << bestLag * 1024 << " sample frames";
  EXPECT_GT(best, 0.9);
  double loudest = 0.0;
  for (double level : heard) loudest = std::max(loudest, level);
  EXPECT_GT(loudest, 0.01) << "silence where the song plays";
}

// Reads intro-tool frame's PNG for music time t and sync values at the renderer's size.
void frameToolPicture(const Scratch& scratch, const ShaderParams& params, int width, int height, Png& png) {
  const std::string file = (scratch / "frame.png").string();
  char arguments[512];
  std::snprintf(arguments, sizeof arguments, "frame --t %.9g --e %.9g --e2 %.9g --e3 %.9g --size %dx%d --out \"%s\"",
                static_cast<double>(params.t), static_cast<double>(params.e), static_cast<double>(params.e2),
                static_cast<double>(params.e3), width, height, file.c_str());
  const auto result = runTool(scratch, arguments);
  ASSERT_EQ(result.exitCode, 0) << arguments << "\n" << result.err;
  ASSERT_TRUE(readPng(file, png));
  std::filesystem::remove(file);
}

TEST(CaptureTool, FramesHandedToTheEncoderAreTheFrameToolsPictures) {
  constexpr int width = 64;
  constexpr int height = 48;
  HeadlessRenderer renderer;
  START_RENDERER(renderer, width, height);
  Scratch scratch("capture_frames");

  // Z1 with the final pass's glow (t 77) and Z3 just after its start, mid-mosaic (t 161), both at
  // 30 frames per second: sync values run from the start of the song, not from --from.
  const double ranges[][2] = {{77.0, 77.15}, {161.0, 161.15}};
  const int fps = 30;
  SynthMemoryPtr memory = allocateSynthMemory();
  const auto last = planCapture(fps, ranges[1][0], ranges[1][1]);
  ASSERT_TRUE(last);
  ASSERT_TRUE(renderSongFor(*memory, last->soundEnd, framePosition(last->endFrame - 1, fps)));

  for (const auto& range : ranges) {
    const auto plan = planCapture(fps, range[0], range[1]);
    ASSERT_TRUE(plan);
    ASSERT_GE(plan->frameCount(), 2u);
    struct Kept {
      CapturedFrame frame;
      std::vector<std::uint8_t> rgba;
    };
    std::vector<Kept> kept;
    const CaptureResult result = runCapture(*plan, *memory, renderer, [&kept](const CapturedFrame& frame) {
      kept.push_back({frame, *frame.rgba});
      return true;
    });
    ASSERT_EQ(result, CaptureResult::finished) << renderer.error().text();
    ASSERT_EQ(kept.size(), plan->frameCount());
    for (std::size_t i = 0; i < kept.size(); ++i) {
      const CapturedFrame& frame = kept[i].frame;
      SCOPED_TRACE(testing::Message() << "frame " << frame.index << ", t " << frame.params.t);
      EXPECT_EQ(frame.index, plan->firstFrame + i);
      EXPECT_EQ(frame.position, framePosition(frame.index, fps));
      EXPECT_GE(frame.params.t, static_cast<float>(range[0]) - 1e-4f);
      EXPECT_LT(frame.params.t, static_cast<float>(range[1]));
      // The loop's state as a live run at this frame rate has it at this position.
      const ShowState live = songShowStateAt(*memory, frame.position, fps);
      EXPECT_EQ(frame.state.e, live.e);
      EXPECT_EQ(frame.state.e2, live.e2);
      EXPECT_EQ(frame.state.e3, live.e3);
      EXPECT_EQ(frame.state.t, live.t);
      EXPECT_EQ(frame.params.e, live.e);
      EXPECT_EQ(frame.params.t, live.t);
      EXPECT_EQ(frame.params.x, static_cast<float>(width));
      EXPECT_EQ(frame.params.y, static_cast<float>(height));
      EXPECT_GT(frame.state.e, 0.0f);  // the music has driven e since the start of the song
    }
    // The first and the last picture against intro-tool frame (the others differ only in t).
    for (const std::size_t i : {std::size_t{0}, kept.size() - 1}) {
      Png png;
      frameToolPicture(scratch, kept[i].frame.params, width, height, png);
      ASSERT_EQ(png.width, width);
      ASSERT_EQ(png.height, height);
      EXPECT_TRUE(png.rgba == kept[i].rgba) << "t " << kept[i].frame.params.t << ": capture and frame disagree";
    }
    EXPECT_NE(kept.front().rgba, kept.back().rgba) << "the picture should move within " << range[0] << " to "
                                                   << range[1];
  }
  EXPECT_TRUE(renderer.validationErrors().empty()) << renderer.validationErrors().front();
}

TEST(CaptureTool, EveryFrameIsReadBackIntoOneBuffer) {
  // A capture allocates no picture per frame: the sink sees the same buffer every time, holding
  // that frame's picture.
  constexpr int width = 64;
  constexpr int height = 48;
  HeadlessRenderer renderer;
  START_RENDERER(renderer, width, height);
  const int fps = 30;
  const auto plan = planCapture(fps, 77.0, 77.2);
  ASSERT_TRUE(plan);
  ASSERT_GE(plan->frameCount(), 3u);
  SynthMemoryPtr memory = allocateSynthMemory();
  ASSERT_TRUE(renderSongFor(*memory, plan->soundEnd, framePosition(plan->endFrame - 1, fps)));
  std::vector<const std::vector<std::uint8_t>*> buffers;
  std::vector<const std::uint8_t*> storage;
  std::vector<std::vector<std::uint8_t>> pictures;
  std::vector<ShaderParams> params;
  std::vector<int> scenes;
  ASSERT_EQ(runCapture(*plan, *memory, renderer,
                       [&](const CapturedFrame& frame) {
                         buffers.push_back(frame.rgba);
                         storage.push_back(frame.rgba->data());
                         pictures.push_back(*frame.rgba);
                         params.push_back(frame.params);
                         scenes.push_back(frame.state.sceneIndex);
                         return true;
                       }),
            CaptureResult::finished)
      << renderer.error().text();
  ASSERT_EQ(buffers.size(), plan->frameCount());
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    EXPECT_EQ(buffers[i], buffers.front()) << "frame " << i;
    EXPECT_EQ(storage[i], storage.front()) << "frame " << i;
    ASSERT_EQ(pictures[i].size(), static_cast<std::size_t>(width) * height * 4);
    // Each picture is its own frame's, not a later one's.
    EXPECT_TRUE(pictures[i] == renderer.render(params[i], scenes[i])) << "frame " << i;
  }
  EXPECT_NE(pictures.front(), pictures.back());
  EXPECT_TRUE(renderer.validationErrors().empty()) << renderer.validationErrors().front();
}

// Mean absolute difference of the colour channels of two RGBA pictures.
double meanColourError(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    if (i % 4 == 3) continue;
    sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    ++count;
  }
  return sum / static_cast<double>(count);
}

TEST(CaptureTool, VideoHoldsTheRenderedFramesInOrderWithTheBt709Matrix) {
  if (!haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  constexpr int width = 64;
  constexpr int height = 48;
  HeadlessRenderer renderer;
  START_RENDERER(renderer, width, height);
  Scratch scratch("capture_video");
  // Z1 with the final pass's glow: colourful, and moving from frame to frame.
  const double from = 77.0;
  const double to = 77.5;
  const int fps = 30;
  const auto plan = planCapture(fps, from, to);
  ASSERT_TRUE(plan);
  SynthMemoryPtr memory = allocateSynthMemory();
  ASSERT_TRUE(renderSongFor(*memory, plan->soundEnd, framePosition(plan->endFrame - 1, fps)));
  std::vector<std::vector<std::uint8_t>> rendered;
  ASSERT_EQ(runCapture(*plan, *memory, renderer,
                       [&rendered](const CapturedFrame& frame) {
                         rendered.push_back(*frame.rgba);
                         return true;
                       }),
            CaptureResult::finished);

  const std::string file = (scratch / "video.mp4").string();
  char arguments[256];
  std::snprintf(arguments, sizeof arguments, "capture --out \"%s\" --size %dx%d --fps %d --from %g --to %g",
                file.c_str(), width, height, fps, from, to);
  const auto result = runTool(scratch, arguments);
  ASSERT_EQ(result.exitCode, 0) << result.err;

  // Decoded back to RGBA with the BT.709 matrix (and, for contrast, the BT.601 one).
  auto decode = [&](const char* matrix) {
    const auto raw = scratch / (std::string(matrix) + ".rgba");
    const std::string command = "ffmpeg -v error -nostdin -i \"" + file + "\" -vf scale=in_color_matrix=" + matrix +
                                ":in_range=tv -pix_fmt rgba -f rawvideo \"" + raw.string() + "\"";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const std::string bytes = tool_test::readFile(raw);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  };
  const std::vector<std::uint8_t> decoded = decode("bt709");
  const std::vector<std::uint8_t> other = decode("bt601");
  const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 4;
  ASSERT_EQ(decoded.size(), rendered.size() * frameBytes);
  ASSERT_EQ(other.size(), decoded.size());

  double total709 = 0.0;
  double total601 = 0.0;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const std::uint8_t* picture = decoded.data() + i * frameBytes;
    const double own = meanColourError(picture, rendered[i].data(), frameBytes);
    total709 += own;
    total601 += meanColourError(other.data() + i * frameBytes, rendered[i].data(), frameBytes);
    // Lossy 4:2:0 coding leaves a few levels of error; each decoded frame is nearest its own.
    EXPECT_LT(own, 5.0) << "frame " << i;
    for (std::size_t j = 0; j < rendered.size(); ++j) {
      if (j != i && rendered[j] != rendered[i]) {
        EXPECT_LT(own, meanColourError(picture, rendered[j].data(), frameBytes)) << "frame " << i << " against " << j;
      }
    }
  }
  std::printf("mean colour error per frame, decoded as BT.709: %.2f levels, as BT.601: %.2f\n",
              total709 / static_cast<double>(rendered.size()), total601 / static_cast<double>(rendered.size()));
  EXPECT_LT(total709 * 1.2, total601) << "the colours should be coded with the BT.709 matrix";
}

TEST(CaptureTool, BadArgumentsGiveClearErrors) {
  Scratch scratch("capture_bad");
  const std::string out = "--out \"" + (scratch / "bad.mp4").string() + "\"";
  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"", "--out is required"},
      {"--size 1920x1080", "--out is required"},
      {out + " --size 0x48", "--size wants"},
      {out + " --size 63x48", "even sides"},
      {out + " --size 64", "--size wants"},
      {out + " --size 64x-48", "--size wants"},
      {out + " --size 16384x16384", "--size wants"},
      {out + " --fps 0", "--fps wants"},
      {out + " --fps 29.97", "--fps wants"},
      {out + " --fps 1000", "--fps wants"},
      {out + " --from -1", "--from wants a music time"},
      {out + " --to 491", "--to wants a music time"},
      {out + " --from ten", "--from wants a music time"},
      {out + " --from nan", "--from wants a music time"},
      {out + " --from 5 --to 5", "is empty"},
      {out + " --from 6 --to 5", "is empty"},
      {out + " --from 490", "is empty"},
      {out + " --fps 1 --from 1 --to 1.01", "holds no frame"},
      {out + " --bogus 1", "unknown option '--bogus'"},
      {out + " --fps", "--fps needs a value"},
  };
  for (const auto& c : cases) {
    const auto result = runTool(scratch, "capture " + c.arguments);
    EXPECT_EQ(result.exitCode, 2) << c.arguments;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << "\n" << result.err;
    EXPECT_NE(result.err.find("usage: intro-tool capture"), std::string::npos) << c.arguments;
  }
  EXPECT_TRUE(scratch.files().empty());
}

TEST(CaptureTool, MissingOrFailingEncoderLeavesNoFile) {
  Scratch scratch("capture_encoder");
  const std::string out = "--out \"" + (scratch / "x.mp4").string() + "\" --size 64x48 --fps 30 --to 0.2";
  {
    const auto result = runTool(scratch, "capture " + out, "INTRO_FFMPEG=/no/such/folder/ffmpeg");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("/no/such/folder/ffmpeg was not found"), std::string::npos) << result.err;
  }
  {
    const auto result = runTool(scratch, "capture " + out, "PATH=/nonexistent");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("ffmpeg was not found"), std::string::npos) << result.err;
  }
  {
    // An encoder that stops at once: the first frames find the pipe closed.
    const auto result = runTool(scratch, "capture " + out,
                                "TMPDIR=\"" + scratch.path().string() + "\" INTRO_FFMPEG=" + findProgram("false"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("exited with status 1"), std::string::npos) << result.err;
  }
  {
    // An encoder that takes every frame and ends well, having written nothing.
    Scratch programs("capture_encoder_program");
    const std::string idle = (programs / "idle-encoder").string();
    std::ofstream(idle) << "#!/bin/sh\ncat >/dev/null\n";
    std::filesystem::permissions(idle, std::filesystem::perms::owner_all);
    const auto result =
        runTool(scratch, "capture " + out, "TMPDIR=\"" + scratch.path().string() + "\" INTRO_FFMPEG=" + idle);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(idle + " exited with status 0 but wrote no MP4"), std::string::npos) << result.err;
  }
  {
    const auto result =
        runTool(scratch, "capture --out \"" + (scratch / "no-such-folder" / "x.mp4").string() + "\" --to 1");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot write"), std::string::npos) << result.err;
  }
  EXPECT_TRUE(scratch.files().empty());
}

// intro-tool capture ARGUMENTS with TMPDIR in the scratch folder and standard error into err.
pid_t spawnCapture(const Scratch& scratch, std::vector<std::string> arguments, const std::string& err,
                   const std::vector<std::string>& extraEnvironment) {
  arguments.insert(arguments.begin(), "capture");
  return tool_spawn::spawnTool(arguments, scratch.path().string(), err, extraEnvironment);
}

// Waits up to two minutes until the tool's standard error (in err) holds text; false when the
// tool ended first (its status in status) or the time ran out.
bool waitForMessage(pid_t pid, const std::string& err, const char* text, int& status) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    if (tool_test::readFile(err).find(text) != std::string::npos) return true;
    if (::waitpid(pid, &status, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(CaptureTool, InterruptLeavesNoFile) {
  if (!haveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  Scratch scratch("capture_interrupt");
  const std::string file = (scratch / "long.mp4").string();
  const std::string err = (scratch / "stderr.txt").string();
  // Forty music units at 30 fps: 480 frames, far more than the test waits for. The temporary
  // sound file goes to TMPDIR: the scratch folder, checked for leftovers below.
  const pid_t pid = spawnCapture(scratch, {"--out", file, "--size", "64x48", "--fps", "30", "--to", "40"}, err, {});
  ASSERT_GT(pid, 0);

  // Wait until frames are on their way to the encoder, then press Ctrl-C.
  int status = 0;
  const bool encoding = waitForMessage(pid, err, "frames/s", status);
  ASSERT_TRUE(encoding) << tool_test::readFile(err);
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal instead of cleaning up";
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  const std::string messages = tool_test::readFile(err);
  EXPECT_NE(messages.find("interrupted"), std::string::npos) << messages;
  std::filesystem::remove(err);
  EXPECT_TRUE(scratch.files().empty()) << scratch.files().front();
}

// An encoder that takes every frame and then never exits, and shrugs off SIGTERM: an interrupt
// while the tool waits for it must still end it, and the tool with it.
TEST(CaptureTool, InterruptEndsAnEncoderThatNeverExits) {
  Scratch scratch("capture_stuck");
  Scratch programs("capture_stuck_encoder");
  const std::string encoder = (programs / "stuck-encoder").string();
  const std::string encoderPid = (programs / "pid").string();
  std::ofstream(encoder) << "#!/bin/sh\ntrap '' TERM\necho $$ > '" << encoderPid
                         << "'\ncat >/dev/null\nexec sleep 600 >/dev/null 2>&1\n";
  // Whatever happens to the test, the stuck encoder goes.
  struct EndEncoder {
    std::string pidFile;
    ~EndEncoder() {
      const pid_t stuck = static_cast<pid_t>(std::atoi(tool_test::readFile(pidFile).c_str()));
      if (stuck > 0) ::kill(stuck, SIGKILL);
    }
  } endEncoder{encoderPid};
  std::filesystem::permissions(encoder, std::filesystem::perms::owner_all);
  const std::string err = (programs / "stderr.txt").string();
  const pid_t pid = spawnCapture(scratch, {"--out", (scratch / "x.mp4").string(), "--size", "64x48", "--fps", "30",
                                           "--to", "0.2"},
                                 err, {"INTRO_FFMPEG=" + encoder});
  ASSERT_GT(pid, 0);
  // Every frame handed over: the tool now waits for the encoder to finish.
  int status = 0;
  const bool waiting = waitForMessage(pid, err, "frames (100%)", status);
  if (!waiting) ::kill(pid, SIGKILL);
  ASSERT_TRUE(waiting) << tool_test::readFile(err);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  // The grace before SIGKILL is a couple of seconds; far less than this.
  const auto sent = std::chrono::steady_clock::now();
  bool ended = false;
  while (std::chrono::steady_clock::now() - sent < std::chrono::seconds(30)) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  ASSERT_TRUE(ended) << "the tool did not end within 30 s of SIGTERM";
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal instead of cleaning up";
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_NE(tool_test::readFile(err).find("interrupted"), std::string::npos) << tool_test::readFile(err);
  const pid_t stuck = static_cast<pid_t>(std::atoi(tool_test::readFile(encoderPid).c_str()));
  ASSERT_GT(stuck, 0);
  EXPECT_NE(::kill(stuck, 0), 0) << "the encoder is still running";
  EXPECT_TRUE(scratch.files().empty()) << scratch.files().front();  // no video, no sound file
}

// Every command that writes a picture or a video ends on SIGINT, SIGTERM and SIGHUP with 128 + the
// signal's number and leaves no temporary, also while it waits for a pipe's reader.
TEST(ToolInterrupts, FrameSheetAndCaptureLeaveNothingBehind) {
  HeadlessRenderer probe;
  if (!probe.init(16, 16, false) && probe.noDevice()) GTEST_SKIP() << "no Vulkan device: " << probe.error().text();
  Scratch scratch("interrupts");
  Scratch messages("interrupts_messages");
  const std::string err = (messages / "stderr.txt").string();
  const std::string pipe = (scratch / "pipe").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // A temporary in the scratch folder (TMPDIR too), at least minimumSize bytes.
  const auto temporary = [&](std::uintmax_t minimumSize) {
    for (const std::string& name : scratch.files()) {
      std::error_code error;
      if (name.find(".partial") != std::string::npos &&
          std::filesystem::file_size(scratch / name, error) >= minimumSize && !error) {
        return true;
      }
    }
    return false;
  };
  const auto started = [&](pid_t) { return temporary(0); };
  const auto atThePipe = [&](pid_t pid) {
    const std::string children = tool_test::readFile("/proc/" + std::to_string(pid) + "/task/" +
                                                     std::to_string(pid) + "/children");
    if (!temporary(1) || !children.empty()) return false;  // written, the encoder (if any) gone
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return true;
  };
  const struct {
    std::vector<std::string> arguments;
    int signal;
    std::function<bool(pid_t)> ready;
  } cases[] = {
      {{"frame", "--t", "300", "--size", "64x48", "--out", (scratch / "f.png").string()}, SIGINT, started},
      {{"sheet", "--size", "64x36", "--out", (scratch / "s.png").string()}, SIGTERM, started},
      {{"frame", "--t", "77", "--e", "1", "--e2", "0", "--e3", "0", "--size", "64x48", "--out", pipe},
       SIGHUP,
       atThePipe},
      {{"capture", "--size", "64x48", "--fps", "10", "--to", "0.5", "--out", pipe}, SIGINT, atThePipe},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back() + ", signal " + std::to_string(c.signal));
    const int status =
        tool_spawn::interruptWhen(tool_spawn::spawnTool(c.arguments, scratch.path().string(), err), c.ready, c.signal);
    EXPECT_EQ(status, 128 + c.signal) << tool_test::readFile(err);
    EXPECT_NE(tool_test::readFile(err).find("interrupted"), std::string::npos) << tool_test::readFile(err);
    EXPECT_EQ(scratch.files(), std::vector<std::string>{"pipe"});
    for (const std::string& name : scratch.files()) {
      if (name != "pipe") std::filesystem::remove(scratch / name);  // the next case starts clean
    }
  }
}

// An output that cannot be written is found before the soundtrack and the pictures are made.
TEST(CaptureTool, UnwritableOutputFailsBeforeTheWork) {
  Scratch scratch("capture_unwritable");
  std::filesystem::create_directory(scratch / "folder.mp4");
  for (const std::string& out : {(scratch / "folder.mp4").string(), (scratch / "no" / "x.mp4").string()}) {
    const auto result = runTool(scratch, "capture --out \"" + out + "\" --size 64x48 --to 1");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot write " + out), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("rendering the soundtrack"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(".partial"), std::string::npos) << result.err;
  }
  std::filesystem::remove(scratch / "folder.mp4");
  EXPECT_TRUE(scratch.files().empty());
}

}  // namespace
