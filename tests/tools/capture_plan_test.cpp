// Which frames and which stretch of the soundtrack a capture holds, against a frame-by-frame
// count; how the encoder program is found and what it is handed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "synth/timing.h"
#include "tools/capture_encoder.h"
#include "tools/show_render.h"

namespace {

// Play position of frame k, and of music time t, worked out here from their definitions.
std::uint32_t positionOfFrame(std::uint64_t k, int fps) {
  return static_cast<std::uint32_t>(std::llround(static_cast<double>(k) * 44100.0 / fps));
}
std::uint32_t positionOfTime(double t) { return static_cast<std::uint32_t>(std::llround(t / 2.5 * 61520.0)); }

TEST(CapturePlan, FirstMusicUnitAtThirtyFramesPerSecond) {
  // t = 1 is 24,608 sample frames; frames fall every 1,470: frames 0 to 16 (16 at 23,520).
  const auto plan = planCapture(30, 0.0, 1.0);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->firstFrame, 0u);
  EXPECT_EQ(plan->endFrame, 17u);
  EXPECT_EQ(plan->frameCount(), 17u);
  EXPECT_EQ(plan->soundBegin, 0u);
  EXPECT_EQ(plan->soundEnd, 17u * 1470u);  // exactly 17 / 30 s of sound
}

TEST(CapturePlan, WholeShowAtSixtyFramesPerSecond) {
  const auto plan = planCapture(60, 0.0, 490.0);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->firstFrame, 0u);
  // 12,057,920 / 735 = 16,405.3: frames 0 .. 16,405 lie before the end of the song.
  EXPECT_EQ(plan->endFrame, 16406u);
  EXPECT_LT(positionOfFrame(plan->endFrame - 1, 60), songFrames);
  EXPECT_GE(positionOfFrame(plan->endFrame, 60), songFrames);
  EXPECT_EQ(plan->soundEnd, positionOfFrame(16406, 60));
}

TEST(CapturePlan, AgreesWithAFrameByFrameCount) {
  const int rates[] = {1, 24, 25, 30, 50, 60, 144, 240};
  const double ranges[][2] = {{0, 1},       {0.5, 0.6},     {79.9, 80.3}, {160, 161}, {3, 3.0001},
                              {12.34, 13.0}, {489.5, 490.0}, {0, 0.0125},  {100, 100.5}};
  for (int fps : rates) {
    for (const auto& range : ranges) {
      const std::uint32_t begin = positionOfTime(range[0]);
      const std::uint32_t end = positionOfTime(range[1]);
      std::uint64_t first = 0;
      std::uint64_t count = 0;
      for (std::uint64_t k = 0; positionOfFrame(k, fps) < end; ++k) {
        if (positionOfFrame(k, fps) < begin) continue;
        if (count++ == 0) first = k;
      }
      const auto plan = planCapture(fps, range[0], range[1]);
      SCOPED_TRACE(testing::Message() << fps << " fps, t " << range[0] << " to " << range[1]);
      if (count == 0) {
        EXPECT_FALSE(plan);
        continue;
      }
      ASSERT_TRUE(plan);
      EXPECT_EQ(plan->framesPerSecond, fps);
      EXPECT_EQ(plan->firstFrame, first);
      EXPECT_EQ(plan->frameCount(), count);
      EXPECT_EQ(plan->soundBegin, positionOfFrame(first, fps));
      EXPECT_EQ(plan->soundEnd, positionOfFrame(first + count, fps));
    }
  }
}

TEST(CapturePlan, EmptyRangesHoldNoFrame) {
  EXPECT_FALSE(planCapture(60, 5.0, 5.0));
  EXPECT_FALSE(planCapture(60, 6.0, 5.0));
  EXPECT_FALSE(planCapture(0, 0.0, 1.0));
  // 1 to 1.01 is 246 sample frames, all between two frames at 1 fps (0 and 44,100).
  EXPECT_FALSE(planCapture(1, 1.0, 1.01));
  EXPECT_TRUE(planCapture(1, 0.0, 0.01));
}

TEST(EncoderProgram, FoundOnThePathOrAsAPath) {
  const std::string shell = findProgram("sh");
  ASSERT_FALSE(shell.empty());
  EXPECT_EQ(shell.find('/') != std::string::npos, true) << shell;
  EXPECT_EQ(findProgram(shell), shell);
  EXPECT_EQ(findProgram("intro-no-such-program-here"), "");
  EXPECT_EQ(findProgram("/no/such/folder/ffmpeg"), "");
  EXPECT_EQ(findProgram("/"), "");  // a folder is not a program
  EXPECT_EQ(findProgram(""), "");
  const std::string plain = (std::filesystem::temp_directory_path() / "intro_capture_not_a_program").string();
  { std::ofstream(plain) << "#!/bin/sh\n"; }
  ::chmod(plain.c_str(), 0644);
  EXPECT_EQ(findProgram(plain), "");
  ::chmod(plain.c_str(), 0755);
  EXPECT_EQ(findProgram(plain), plain);
  std::filesystem::remove(plain);
}

TEST(EncoderProgram, ArgumentsNameTheInputsAndTheOutput) {
  EncoderSettings settings;
  settings.program = "/usr/bin/ffmpeg";
  settings.width = 64;
  settings.height = 48;
  settings.framesPerSecond = 30;
  settings.soundPath = "/tmp/sound.f32";
  settings.outPath = "/tmp/.intro-tool-1-0.partial";
  const std::vector<std::string> arguments = encoderArguments(settings);
  ASSERT_FALSE(arguments.empty());
  EXPECT_EQ(arguments.front(), settings.program);
  EXPECT_EQ(arguments.back(), "file:" + settings.outPath);
  auto valueOf = [&arguments](const std::string& option, std::size_t from = 0) {
    for (std::size_t i = from; i + 1 < arguments.size(); ++i) {
      if (arguments[i] == option) return arguments[i + 1];
    }
    return std::string();
  };
  EXPECT_EQ(valueOf("-video_size"), "64x48");
  EXPECT_EQ(valueOf("-framerate"), "30");
  EXPECT_EQ(valueOf("-pix_fmt"), "rgba");  // the input's, which comes first
  // The sound file is the second input, after the video pipe.
  std::vector<std::string> inputs;
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == "-i") inputs.push_back(arguments[i + 1]);
  }
  EXPECT_EQ(inputs, (std::vector<std::string>{"pipe:0", "file:" + settings.soundPath}));
}

// ffmpeg reads a name with a colon as a protocol's ("file:x.mp4" is x.mp4) and one that starts with
// a dash as an option: every file it is given is handed over absolute, as a file's.
TEST(EncoderProgram, FilesAreHandedOverAbsoluteAsFiles) {
  const std::string here = std::filesystem::current_path().string();
  for (const std::string name : {"file:x.mp4", "12:30.mp4", "-dash.mp4", "pipe:1", "/tmp/-a:b.mp4"}) {
    EncoderSettings settings;
    settings.soundPath = name;
    settings.outPath = name;
    const std::vector<std::string> arguments = encoderArguments(settings);
    const std::string handed = "file:" + (name.front() == '/' ? name : here + "/" + name);
    EXPECT_EQ(arguments.back(), handed);
    EXPECT_EQ(std::count(arguments.begin(), arguments.end(), handed), 2) << name << ": the sound and the video";
  }
}

}  // namespace
