#pragma once
// Live shaders for a player: the scene files of a folder are watched, and when one is saved the
// text is joined again and built on a worker thread while frames go on. A build that succeeds is
// installed from poll() on the caller's thread, between frames; one that fails leaves the
// installed pipelines as they are and its message, said in the folder's files, comes back once.
//
//   LiveShaders live(folder,
//       [](const std::string& text, std::string& message) {
//         return player_backend::buildPipelines(text.data(), text.size(), message);
//       },
//       [] { player_backend::installPipelines(); });
//   for (;;) {  // the frame loop
//     const LiveReport report = live.poll();
//     if (report.outcome == LiveOutcome::failed) ... stderr and the window title ...
//     drawFrame(...);
//   }
//
// The first poll() loads the folder and starts the first build; until it is installed, whatever
// the caller compiled before draws.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "player/shader_files.h"

enum class LiveOutcome {
  nothing,    // no build finished since the last poll
  installed,  // a build succeeded and its pipelines were installed
  failed,     // a build or a read of the folder failed; the installed pipelines stay
};

struct LiveReport {
  LiveOutcome outcome = LiveOutcome::nothing;
  // failed: the compiler's message with its locations in the folder's files, or why a file
  // could not be read.
  std::string message;
};

class LiveShaders {
 public:
  // On the worker thread: the joined text -> pipelines staged for install; false with the
  // compiler's message (locations in the joined text, as the compiler gives them).
  using Builder = std::function<bool(const std::string& text, std::string& message)>;
  // On poll()'s thread, after a build succeeded: put the staged pipelines in place.
  using Installer = std::function<void()>;

  // checkEvery: how often poll() looks at the files (a stat per file each time).
  LiveShaders(ShaderFiles files, Builder builder, Installer installer,
              std::chrono::milliseconds checkEvery = std::chrono::milliseconds(200));
  LiveShaders(std::string folder, Builder builder, Installer installer,
              std::chrono::milliseconds checkEvery = std::chrono::milliseconds(200));
  // Waits for a build that is still running (its result is dropped, not installed).
  ~LiveShaders();
  LiveShaders(const LiveShaders&) = delete;
  LiveShaders& operator=(const LiveShaders&) = delete;

  // Once per frame on the caller's thread. Reports a finished build once (installing it first
  // when it succeeded); when no build runs and the files changed since they were last read (or
  // were never read), reads them and starts the next build. A save while a build runs is built
  // after it.
  LiveReport poll();
  // Blocks until the running build (if any) has finished; the next poll() reports it.
  void waitForBuild();
  // A build was started and poll() has not reported it yet.
  bool building() const { return pending_; }

  const ShaderFiles& files() const { return files_; }

 private:
  void startBuild();

  ShaderFiles files_;
  Builder builder_;
  Installer installer_;
  std::chrono::milliseconds checkEvery_;
  std::chrono::steady_clock::time_point lastCheck_{};
  bool checkedOnce_ = false;

  std::thread worker_;
  bool pending_ = false;
  // Written by the worker before it sets done_ (release); read by poll() after it sees it.
  std::atomic<bool> done_{false};
  bool builtOk_ = false;
  std::string builtMessage_;
  std::vector<ShaderPart> builtParts_;  // the parts of the text being built, for its message
};
