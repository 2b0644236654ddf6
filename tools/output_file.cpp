#include "tools/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

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
  // Numbered: one command may have several outputs that are not regular files.
  static std::atomic<int> count{0};
  const std::string name = "intro-tool-output" + suffix + "-" + std::to_string(count++);
  return ((error ? fs::path("/tmp") : folder) / name).string();
}

bool sameOutput(const std::string& a, const std::string& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error) && !error) return true;
  std::error_code errorA, errorB;
  const fs::path canonicalA = fs::weakly_canonical(fs::absolute(a, errorA), errorA);
  const fs::path canonicalB = fs::weakly_canonical(fs::absolute(b, errorB), errorB);
  return !errorA && !errorB && canonicalA == canonicalB;
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

bool PendingOutput::reserve(std::string& error) {
  std::error_code code;
  if (fs::is_directory(target_, code)) {
    error = "cannot write " + target_ + ": it is a folder; give a file name";
    return false;
  }
  const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot write " + target_ + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  return true;
}

bool PendingOutput::commit(std::string& error) {
  committed_ = publishOutput(temporary_, target_, error);
  return committed_;
}
