// The watch and the background build over a builder that stands in for the device: what is
// built, what is installed, what is said, and when.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "player/live_shaders.h"
#include "tests/player/shader_folder.h"

namespace {

using shader_test::ScratchFolder;

// Builds "successfully" unless the text holds "broken", which it reports as a compiler would, at
// the joined line of the word. Can be held at the start of a build until released.
class FakeBuilder {
 public:
  bool build(const std::string& text, std::string& message) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      texts_.push_back(text);
      started_.notify_all();
      released_.wait(lock, [this] { return !holding_; });
    }
    const std::size_t at = text.find("broken");
    if (at == std::string::npos) return true;
    const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    message = "intro.hlsl:" + std::to_string(line) + ": error: 'broken' : unknown variable\n1 error generated.";
    return false;
  }
  void hold() {
    const std::lock_guard<std::mutex> lock(mutex_);
    holding_ = true;
  }
  void release() {
    const std::lock_guard<std::mutex> lock(mutex_);
    holding_ = false;
    released_.notify_all();
  }
  // Blocks until count builds have started.
  void waitForStarts(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    started_.wait(lock, [&] { return texts_.size() >= count; });
  }
  std::vector<std::string> texts() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable started_;
  std::condition_variable released_;
  bool holding_ = false;
  std::vector<std::string> texts_;
};

class LiveShadersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("a.hlsl", "a1\na2\n");
    folder.write("b.hlsl", "b1\nb2\nb3\n");
  }

  std::unique_ptr<LiveShaders> watch() {
    // Every poll looks at the files: no test waits for a clock.
    return std::make_unique<LiveShaders>(
        ShaderFiles(folder.path(), {"a.hlsl", "b.hlsl"}),
        [this](const std::string& text, std::string& message) { return builder.build(text, message); },
        [this] { ++installs; }, std::chrono::milliseconds(0));
  }
  // The report of the build now running, once it has finished.
  LiveReport finish(LiveShaders& live) {
    EXPECT_TRUE(live.building());
    live.waitForBuild();
    return live.poll();
  }

  ScratchFolder folder{"live_shaders"};
  FakeBuilder builder;
  int installs = 0;
};

TEST_F(LiveShadersTest, AGoodBuildIsInstalledAndReportedOnce) {
  auto live = watch();
  EXPECT_EQ(live->poll().outcome, LiveOutcome::nothing) << "the first poll starts the first build";
  const LiveReport report = finish(*live);
  EXPECT_EQ(report.outcome, LiveOutcome::installed);
  EXPECT_TRUE(report.message.empty());
  EXPECT_EQ(installs, 1);
  ASSERT_EQ(builder.texts().size(), 1u);
  EXPECT_EQ(builder.texts()[0], "a1\na2\nb1\nb2\nb3\n");
  // Nothing changed: no more builds, no more reports.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(live->poll().outcome, LiveOutcome::nothing);
  EXPECT_FALSE(live->building());
  EXPECT_EQ(builder.texts().size(), 1u);
  EXPECT_EQ(installs, 1);
}

TEST_F(LiveShadersTest, ABrokenBuildKeepsTheInstalledSetAndSaysWhereInTheFolder) {
  auto live = watch();
  live->poll();
  ASSERT_EQ(finish(*live).outcome, LiveOutcome::installed);

  folder.saveByRename("b.hlsl", "b1\nbroken\nb3\n");
  EXPECT_EQ(live->poll().outcome, LiveOutcome::nothing);
  const LiveReport report = finish(*live);
  EXPECT_EQ(report.outcome, LiveOutcome::failed);
  EXPECT_EQ(installs, 1) << "a failed build is not installed";
  EXPECT_EQ(report.message, folder.file("b.hlsl") + ":2: error: 'broken' : unknown variable\n1 error generated.");
  EXPECT_EQ(live->poll().outcome, LiveOutcome::nothing) << "said once";

  // Mended: built and installed again.
  folder.saveByRename("b.hlsl", "b1\nb2 mended\nb3\n");
  live->poll();
  EXPECT_EQ(finish(*live).outcome, LiveOutcome::installed);
  EXPECT_EQ(installs, 2);
}

TEST_F(LiveShadersTest, ASaveDuringABuildIsBuiltAfterIt) {
  auto live = watch();
  builder.hold();
  live->poll();
  builder.waitForStarts(1);
  folder.write("a.hlsl", "a1 saved while building\na2\n");
  // Still building: nothing to report, and no second build beside it.
  EXPECT_EQ(live->poll().outcome, LiveOutcome::nothing);
  EXPECT_EQ(builder.texts().size(), 1u);
  builder.release();

  EXPECT_EQ(finish(*live).outcome, LiveOutcome::installed);
  EXPECT_EQ(live->poll().outcome, LiveOutcome::nothing) << "this poll starts the build of the save";
  EXPECT_EQ(finish(*live).outcome, LiveOutcome::installed);
  const auto texts = builder.texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "a1\na2\nb1\nb2\nb3\n");
  EXPECT_EQ(texts[1], "a1 saved while building\na2\nb1\nb2\nb3\n");
  EXPECT_EQ(installs, 2);
}

TEST_F(LiveShadersTest, AFileThatCannotBeReadIsReportedAndNothingIsBuilt) {
  auto live = watch();
  live->poll();
  ASSERT_EQ(finish(*live).outcome, LiveOutcome::installed);

  std::filesystem::remove(folder.file("a.hlsl"));
  const LiveReport report = live->poll();
  EXPECT_EQ(report.outcome, LiveOutcome::failed);
  EXPECT_NE(report.message.find(folder.file("a.hlsl")), std::string::npos) << report.message;
  EXPECT_FALSE(live->building());
  EXPECT_EQ(live->poll().outcome, LiveOutcome::nothing) << "said once, until the file changes";
  EXPECT_EQ(builder.texts().size(), 1u);
  EXPECT_EQ(installs, 1);

  folder.write("a.hlsl", "a1 back\n");
  live->poll();
  EXPECT_EQ(finish(*live).outcome, LiveOutcome::installed);
  EXPECT_EQ(builder.texts().back(), "a1 back\nb1\nb2\nb3\n");
}

TEST_F(LiveShadersTest, TheFilesAreLookedAtNoMoreOftenThanAsked) {
  LiveShaders live(
      ShaderFiles(folder.path(), {"a.hlsl", "b.hlsl"}),
      [this](const std::string& text, std::string& message) { return builder.build(text, message); },
      [this] { ++installs; }, std::chrono::hours(1));
  live.poll();  // the first look is at once
  live.waitForBuild();
  EXPECT_EQ(live.poll().outcome, LiveOutcome::installed);
  folder.write("a.hlsl", "a1 saved\n");
  EXPECT_EQ(live.poll().outcome, LiveOutcome::nothing);
  EXPECT_FALSE(live.building()) << "the next look is an hour away";
  EXPECT_EQ(builder.texts().size(), 1u);
}

TEST_F(LiveShadersTest, ABuildStillRunningIsWaitedForAndNotInstalled) {
  auto live = watch();
  builder.hold();
  live->poll();
  builder.waitForStarts(1);
  // Released from another thread while the destructor waits for the worker.
  std::thread releaser([this] { builder.release(); });
  live.reset();
  releaser.join();
  EXPECT_EQ(installs, 0);
}

}  // namespace
