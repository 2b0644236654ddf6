#include "output_file.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

bool isSpecialFile(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  return !error && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status);
}

}  // namespace

std::string temporaryOutputPath(const std::string& target) {
  const std::string suffix = ".partial-" + std::to_string(::getpid());
  if (!isSpecialFile(target)) return target + suffix;
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error);
  return ((error ? fs::path("/tmp") : folder) / ("intro-tool-output" + suffix)).string();
}

bool publishOutput(const std::string& temporary, const std::string& target, std::string& error) {
  std::error_code code;
  if (isSpecialFile(target)) {
    std::ifstream in(temporary, std::ios::binary);
    std::ofstream out(target, std::ios::binary | std::ios::app);
    if (in && out) out << in.rdbuf();
    const bool written = in && out && out.flush();
    fs::remove(temporary, code);
    if (!written) error = "cannot write " + target;
    return written;
  }
  fs::rename(temporary, target, code);
  if (code) {
    error = "cannot write " + target + ": " + code.message();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
}

PendingOutput::PendingOutput(std::string target)
    : target_(std::move(target)), temporary_(temporaryOutputPath(target_)) {}

PendingOutput::~PendingOutput() {
  if (committed_) return;
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

bool PendingOutput::commit(std::string& error) {
  committed_ = publishOutput(temporary_, target_, error);
  return committed_;
}
