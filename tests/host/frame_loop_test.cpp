// host/main.cpp over a fake platform that records every call: the start-up order, the two
// failure exits, and the frame loop (clock, sync values from the envelope log, timeline, end
// test, Escape). Each run happens in a child process, as the intro keeps its state in statics
// and ends through exitProcess.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "host/launch.h"
#include "host/platform.h"
#include "host/show.h"
#include "shaders/shader_source.h"
#include "synth/synth.h"
#include "synth/timing.h"
#include "text/text_textures.h"

int introMain(int argc, char** argv);

namespace {

// What the fake platform does; set by a test before the run (in the child, a copy).
struct Script {
  int deviceResult = 0;
  bool compiles = true;
  const char* compilerMessage = nullptr;  // written into the message buffer on failure
  std::vector<std::uint32_t> positions;  // one per playPosition call; the last one repeats
  std::vector<bool> escapes;             // one per escapePressed call; false beyond
  std::uint32_t publishedFrames = 0;     // the render's progress, set at startAudio
  struct Level {
    std::uint32_t record;
    int track;
    float value;
  };
  std::vector<Level> levels;  // written into the envelope log at startAudio
};

Script script;
std::string callLog;
std::size_t positionCalls = 0;
std::size_t escapeCalls = 0;
int frames = 0;
int logFd = -1;

void record(const std::string& line) { callLog += line + "\n"; }

[[noreturn]] void finish(int code) {
  std::size_t written = 0;
  while (written < callLog.size()) {
    const ssize_t n = write(logFd, callLog.data() + written, callLog.size() - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  _exit(code);
}

std::string number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

}  // namespace

namespace platform {

void showUsage(const char* caption, const char* text) {
  record(std::string("showUsage ") + (caption == usageCaption ? "usageCaption" : caption) + " " +
         (text == usageText ? "usageText" : text));
}
void createWindow(int width, int height) { record("createWindow " + std::to_string(width) + "x" + std::to_string(height)); }
int createDevice(int width, int height, int verticalSync) {
  record("createDevice " + std::to_string(width) + "x" + std::to_string(height) + " vsync " + std::to_string(verticalSync));
  return script.deviceResult;
}
bool compileShaders(const char* source, char* message, std::size_t messageSize) {
  record(std::string("compileShaders ") + (source == shaderSource ? "shaderSource" : "other") + " " +
         std::to_string(messageSize));
  if (!script.compiles) std::snprintf(message, messageSize, "%s", script.compilerMessage);
  return script.compiles;
}
void showError(const char* caption, const char* text) { record(std::string("showError ") + caption + ": " + text); }
void createTextTextures(const TextTexture* textures, int count) {
  std::string line = "createTextTextures";
  for (int i = 0; i < count; ++i)
    line += std::string(" ") + textures[i].stem + ":" + std::to_string(textures[i].width) + "x" +
            std::to_string(textures[i].height) + (textures[i].rgba != nullptr ? "" : "(no pixels)");
  record(line);
}
void createRenderTexture() { record("createRenderTexture"); }
void setFullscreen() { record("setFullscreen"); }
void startAudio(SynthMemory& memory, const Song& song) {
  record(std::string("startAudio ") + (&song == &builtinSong() ? "builtinSong" : "other"));
  for (const Script::Level& level : script.levels) memory.envelopeLog[level.record].level[2 * level.track] = level.value;
  std::atomic_ref<std::uint32_t>(memory.publishedFrames).store(script.publishedFrames, std::memory_order_release);
}
std::uint32_t playPosition() {
  const std::uint32_t p = script.positions.empty()
                              ? 0
                              : script.positions[std::min(positionCalls, script.positions.size() - 1)];
  ++positionCalls;
  record("playPosition " + std::to_string(p));
  return p;
}
void drawFrame(const ShaderParams& shaderParams, int sceneIndex) {
  std::string line = "drawFrame scene " + std::to_string(sceneIndex) + " params";
  for (float value : shaderParams.floats()) {
    line += ' ';
    line += number(value);
  }
  record(line);
  if (++frames > 1000) finish(99);  // a loop that never ends
}
bool escapePressed() {
  const bool pressed = escapeCalls < script.escapes.size() && script.escapes[escapeCalls];
  ++escapeCalls;
  record(std::string("escapePressed ") + (pressed ? "yes" : "no"));
  return pressed;
}
void exitProcess(int code) {
  record("exitProcess " + std::to_string(code));
  finish(code);
}

}  // namespace platform

namespace {

struct IntroRun {
  int exitCode = -1;
  std::vector<std::string> calls;
};

// Runs the intro with these arguments (program name first) in a child process.
IntroRun runIntro(const Script& plan, std::initializer_list<const char*> arguments) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    logFd = pipeEnds[1];
    script = plan;
    std::vector<char*> argv;
    for (const char* argument : arguments) argv.push_back(const_cast<char*>(argument));
    argv.push_back(nullptr);
    const int code = introMain(static_cast<int>(arguments.size()), argv.data());
    record("return " + std::to_string(code));
    finish(code);
  }
  close(pipeEnds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  IntroRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) run.calls.push_back(line);
  return run;
}

std::vector<std::string> callsStartingWith(const IntroRun& run, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& call : run.calls)
    if (call.rfind(prefix, 0) == 0) found.push_back(call);
  return found;
}

const std::string textTexturesCall =
    "createTextTextures Intro:2048x13 Greetz:2048x13 VELM:256x13 Thirty:80x13 Creditz:96x13";

TEST(IntroStartUp, WithoutArgumentsShowsTheUsageAndRunsAt1280x720) {
  Script plan;
  plan.positions = {songFrames};
  const IntroRun run = runIntro(plan, {"intro"});
  EXPECT_EQ(run.exitCode, 0);
  const std::vector<std::string> expected = {
      "showUsage usageCaption usageText",
      "createWindow 1280x720",
      "createDevice 1280x720 vsync 0",
      "compileShaders shaderSource 4096",
      textTexturesCall,
      "createRenderTexture",
      "startAudio builtinSong",
      "playPosition 12057920",
      "drawFrame scene 11 params 0 0 0 490 1280 720 0 0",
      "exitProcess 0",
  };
  EXPECT_EQ(run.calls, expected);
}

TEST(IntroStartUp, FullScreenAndVerticalSyncFromTheCommandLine) {
  Script plan;
  plan.positions = {songFrames};
  const IntroRun run = runIntro(plan, {"intro", "320", "176", "1", "1"});
  EXPECT_EQ(run.exitCode, 0);
  const std::vector<std::string> expected = {
      "createWindow 320x176",
      "createDevice 320x176 vsync 1",
      "compileShaders shaderSource 4096",
      textTexturesCall,
      "createRenderTexture",
      "setFullscreen",
      "startAudio builtinSong",
      "playPosition 12057920",
      "drawFrame scene 11 params 0 0 0 490 320 176 0 0",
      "exitProcess 0",
  };
  EXPECT_EQ(run.calls, expected);
}

TEST(IntroStartUp, OnlyExactlyOneSwitchesFullScreenOrVerticalSync) {
  Script plan;
  plan.positions = {songFrames};
  const IntroRun run = runIntro(plan, {"intro", "1920", "1080", "2", "1"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(callsStartingWith(run, "setFullscreen").empty());
  EXPECT_EQ(callsStartingWith(run, "createDevice"), std::vector<std::string>{"createDevice 1920x1080 vsync 1"});
  const IntroRun windowed = runIntro(plan, {"intro", "1920", "1080", "1", "0"});
  EXPECT_EQ(callsStartingWith(windowed, "setFullscreen").size(), 1u);
  EXPECT_EQ(callsStartingWith(windowed, "createDevice"), std::vector<std::string>{"createDevice 1920x1080 vsync 0"});
}

TEST(IntroStartUp, AnUnusableSizeShowsTheUsageAndTakesTheDefaults) {
  Script plan;
  plan.positions = {songFrames};
  for (std::initializer_list<const char*> arguments :
       {std::initializer_list<const char*>{"intro", "1920"}, {"intro", "abc", "600"}, {"intro", "-640", "480", "1", "1"}}) {
    const IntroRun run = runIntro(plan, arguments);
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_GE(run.calls.size(), 3u);
    EXPECT_EQ(run.calls[0], "showUsage usageCaption usageText");
    EXPECT_EQ(run.calls[1], "createWindow 1280x720");
  }
  // Z and W are still read after an unusable size.
  const IntroRun run = runIntro(plan, {"intro", "-640", "480", "1", "1"});
  EXPECT_EQ(callsStartingWith(run, "createDevice"), std::vector<std::string>{"createDevice 1280x720 vsync 1"});
  EXPECT_EQ(callsStartingWith(run, "setFullscreen").size(), 1u);
}

TEST(IntroStartUp, ADeviceFailureEndsTheRunWithItsCode) {
  Script plan;
  plan.deviceResult = 3;
  const IntroRun run = runIntro(plan, {"intro", "640", "360"});
  EXPECT_EQ(run.exitCode, 3);
  const std::vector<std::string> expected = {"createWindow 640x360", "createDevice 640x360 vsync 0", "return 3"};
  EXPECT_EQ(run.calls, expected);
}

TEST(IntroStartUp, ACompilerErrorIsShownAndEndsTheRunWithTen) {
  Script plan;
  plan.compiles = false;
  plan.compilerMessage = "Z5: undeclared identifier";
  const IntroRun run = runIntro(plan, {"intro", "640", "360"});
  EXPECT_EQ(run.exitCode, 10);
  const std::vector<std::string> expected = {"createWindow 640x360", "createDevice 640x360 vsync 0",
                                             "compileShaders shaderSource 4096",
                                             "showError Error: Z5: undeclared identifier", "return 10"};
  EXPECT_EQ(run.calls, expected);
}

TEST(IntroFrameLoop, FollowsThePlayPositionThroughTheTimelineUntilEscape) {
  Script plan;
  plan.positions = {0, 32 * framesPerPattern, 64 * framesPerPattern, 191 * framesPerPattern, 192 * framesPerPattern};
  plan.escapes = {false, false, false, false, true};
  const IntroRun run = runIntro(plan, {"intro", "320", "176"});
  EXPECT_EQ(run.exitCode, 0);
  const std::vector<std::string> expected = {
      "playPosition 0",        "drawFrame scene 1 params 0 0 0 0 320 176 0 0",    "escapePressed no",
      "playPosition 1968640",  "drawFrame scene 2 params 0 0 0 80 320 176 0 0",   "escapePressed no",
      "playPosition 3937280",  "drawFrame scene 3 params 0 0 0 160 320 176 0 0",  "escapePressed no",
      "playPosition 11750320", "drawFrame scene 10 params 0 0 0 477.5 320 176 0 0", "escapePressed no",
      "playPosition 11811840", "drawFrame scene 11 params 0 0 0 480 320 176 0 0", "escapePressed yes",
      "exitProcess 0",
  };
  const std::vector<std::string> loop(run.calls.begin() + 6, run.calls.end());
  EXPECT_EQ(loop, expected);
}

TEST(IntroFrameLoop, TheFrameThatReachesTheEndIsShownAndTheKeysAreNotRead) {
  Script plan;
  plan.positions = {songFrames - 1, songFrames};
  plan.escapes = {false, false};
  const IntroRun run = runIntro(plan, {"intro", "320", "176"});
  EXPECT_EQ(run.exitCode, 0);
  const std::vector<std::string> expected = {
      "playPosition 12057919", "drawFrame scene 11 params 0 0 0 489.999969 320 176 0 0", "escapePressed no",
      "playPosition 12057920", "drawFrame scene 11 params 0 0 0 490 320 176 0 0",         "exitProcess 0",
  };
  const std::vector<std::string> loop(run.calls.begin() + 6, run.calls.end());
  EXPECT_EQ(loop, expected);
}

TEST(IntroFrameLoop, SyncValuesComeFromTheRecordOfThePlayPosition) {
  // Position one pattern in: d = 1 on the first frame; record 61520 >> 8 = 240.
  Script plan;
  plan.positions = {framesPerPattern, framesPerPattern + framesPerPattern / 44};
  plan.escapes = {false, true};
  plan.publishedFrames = 4 * framesPerPattern;
  plan.levels = {{240, 6, 1.0f}, {240, 13, 0.75f}, {240, 9, 0.7f}};
  const IntroRun run = runIntro(plan, {"intro", "320", "176"});
  EXPECT_EQ(run.exitCode, 0);
  const std::vector<std::string> draws = callsStartingWith(run, "drawFrame");
  ASSERT_EQ(draws.size(), 2u);
  // e = 1 x 1 x 0.7; e2 set by track 13 above 0.7; track 9 at exactly 0.7 sets nothing.
  EXPECT_EQ(draws[0], "drawFrame scene 1 params " + number(0.7f) + " 1 0 2.5 320 176 0 0");
  // The second frame's record (1398 >> 8 = 5 records on) holds nothing: e stays, e2 falls by
  // d x 22 with d = 1398 / 61520 patterns.
  const float clock0 = static_cast<float>(framesPerPattern) / 61520.0f;
  const float clock1 = static_cast<float>(framesPerPattern + framesPerPattern / 44) / 61520.0f;
  const float e2 = 1.0f - (clock1 - clock0) * 22.0f;
  EXPECT_EQ(draws[1], "drawFrame scene 1 params " + number(0.7f) + " " + number(e2) + " 0 " +
                          number(clock1 * 2.5f) + " 320 176 0 0");
}

TEST(IntroFrameLoop, ARecordTheRenderHasNotFinishedReadsAsSilence) {
  Script plan;
  plan.positions = {framesPerPattern};
  plan.escapes = {true};
  plan.publishedFrames = framesPerPattern;  // the record of 61520 ends at 61696: not yet complete
  plan.levels = {{240, 6, 1.0f}, {240, 13, 1.0f}};
  const IntroRun run = runIntro(plan, {"intro", "320", "176"});
  EXPECT_EQ(callsStartingWith(run, "drawFrame"), std::vector<std::string>{"drawFrame scene 1 params 0 0 0 2.5 320 176 0 0"});
}

TEST(IntroFrameLoop, ReachingAMomentAtAFixedRateGivesWhatTheReplayToItGives) {
  // The preview player and the tools start at a moment by replaying the frame update from the
  // start at a fixed rate; the intro's own loop, shown frames at that rate, must arrive at the
  // same e, e2 and e3. Levels over 10 s for the tracks that drive them.
  constexpr double rate = 60.0;
  constexpr std::uint64_t lastFrame = 600;
  Script plan;
  for (std::uint64_t k = 0; k <= lastFrame; ++k) plan.positions.push_back(framePosition(k, rate));
  plan.escapes.assign(lastFrame, false);
  plan.escapes.push_back(true);
  plan.publishedFrames = songFrames;
  const int tracks[] = {6, 7, 8, 0, 13, 2, 3, 9, 10, 11, 12};
  std::uint32_t seed = 12345;
  for (std::uint32_t record = 0; record < framePosition(lastFrame, rate) / 256 + 1; ++record) {
    for (int track : tracks) {
      seed = seed * 1664525u + 1013904223u;
      plan.levels.push_back({record, track, static_cast<float>(seed >> 8) / 16777216.0f});
    }
  }
  const IntroRun run = runIntro(plan, {"intro", "320", "176"});
  const std::vector<std::string> draws = callsStartingWith(run, "drawFrame");
  ASSERT_EQ(draws.size(), lastFrame + 1);

  SynthMemoryPtr memory = allocateSynthMemory();
  for (const Script::Level& level : plan.levels) memory->envelopeLog[level.record].level[2 * level.track] = level.value;
  std::atomic_ref<std::uint32_t>(memory->publishedFrames).store(songFrames, std::memory_order_release);
  const ShowState replayed = songShowStateAt(*memory, framePosition(lastFrame, rate), rate);
  EXPECT_GT(replayed.e, 1.0f);  // the levels moved it: the comparison means something
  EXPECT_EQ(draws.back(), "drawFrame scene 1 params " + number(replayed.e) + " " + number(replayed.e2) + " " +
                              number(replayed.e3) + " " + number(replayed.t) + " 320 176 0 0");
}

}  // namespace
