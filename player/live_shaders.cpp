#include "player/live_shaders.h"

#include <exception>
#include <utility>

LiveShaders::LiveShaders(ShaderFiles files, Builder builder, Installer installer, std::chrono::milliseconds checkEvery)
    : files_(std::move(files)), builder_(std::move(builder)), installer_(std::move(installer)), checkEvery_(checkEvery) {}

LiveShaders::LiveShaders(std::string folder, Builder builder, Installer installer, std::chrono::milliseconds checkEvery)
    : LiveShaders(ShaderFiles(std::move(folder)), std::move(builder), std::move(installer), checkEvery) {}

LiveShaders::~LiveShaders() { waitForBuild(); }

void LiveShaders::waitForBuild() {
  if (worker_.joinable()) worker_.join();
}

LiveReport LiveShaders::poll() {
  LiveReport report;
  if (pending_) {
    if (!done_.load(std::memory_order_acquire)) return report;
    waitForBuild();
    pending_ = false;
    if (builtOk_) {
      installer_();
      report.outcome = LiveOutcome::installed;
    } else {
      report.outcome = LiveOutcome::failed;
      report.message = mapCompilerMessage(builtMessage_, builtParts_);
    }
    return report;
  }
  const auto now = std::chrono::steady_clock::now();
  if (checkedOnce_ && now - lastCheck_ < checkEvery_) return report;
  checkedOnce_ = true;
  lastCheck_ = now;
  if (!files_.changed()) return report;
  std::string error;
  if (!files_.load(error)) {
    // As a compile error would be: the installed pipelines stay until the files read again.
    report.outcome = LiveOutcome::failed;
    report.message = std::move(error);
    return report;
  }
  startBuild();
  return report;
}

void LiveShaders::startBuild() {
  builtParts_ = files_.parts();
  builtOk_ = false;
  builtMessage_.clear();
  done_.store(false, std::memory_order_relaxed);
  pending_ = true;
  worker_ = std::thread([this, text = files_.text()] {
    std::string message;
    bool ok = false;
    try {
      ok = builder_(text, message);
    } catch (const std::exception& failure) {
      message = std::string("the shader build stopped: ") + failure.what();
    } catch (...) {
      message = "the shader build stopped with an unknown exception";
    }
    if (!ok && message.empty()) message = "the shader build failed without a message";
    builtOk_ = ok;
    builtMessage_ = std::move(message);
    done_.store(true, std::memory_order_release);
  });
}
