#include "tools/output_file.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "tools/interrupts.h"

namespace fs = std::filesystem;

namespace {

bool isSpecialFile(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  return !error && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status);
}

// A new file under a hidden name of fixed length in folder; its descriptor, or -1 with errno set.
// O_EXCL: a leftover, or a link someone placed in a shared temporary folder, is never written
// through.
int createTemporary(const fs::path& folder, std::string& path) {
  static std::atomic<unsigned> count{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = ".intro-tool-" + std::to_string(::getpid()) + "-" + std::to_string(count++) + ".partial";
    path = (folder / name).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Copies the file at `from` into target, which is not a regular file. Without blocking, so that
// an interrupt is seen while a pipe has no reader yet or a full buffer.
bool copyInto(const std::string& from, const std::string& target, std::string& error) {
  const auto failed = [&](int code) {
    error = "cannot write " + target + ": " + (interrupted() ? std::string("interrupted") : std::strerror(code));
    return false;
  };
  std::error_code ignored;
  const bool pipe = fs::is_fifo(target, ignored);
  int out = -1;
  while ((out = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) < 0) {
    if (!(errno == EINTR || (errno == ENXIO && pipe)) || interrupted()) return failed(errno);
    ::usleep(20000);  // a pipe that nobody reads yet
  }
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    const int code = errno;
    ::close(out);
    return failed(code);
  }
  int code = 0;
  char buffer[1 << 16];
  for (ssize_t got; code == 0 && (got = ::read(in, buffer, sizeof buffer)) != 0;) {
    if (got < 0) {
      if (errno != EINTR) code = errno;
      continue;
    }
    for (ssize_t done = 0; code == 0 && done < got;) {
      const ssize_t written = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
      if (written >= 0) {
        done += written;
      } else if ((errno != EAGAIN && errno != EINTR) || interrupted()) {
        code = errno;
      } else {
        pollfd ready{out, POLLOUT, 0};
        ::poll(&ready, 1, 100);
      }
    }
  }
  ::close(in);
  // A device may report its failure only when closed.
  if (::close(out) != 0 && code == 0) code = errno;
  return code == 0 || failed(code);
}

}  // namespace

bool sameOutput(const std::string& a, const std::string& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error) && !error) return true;
  std::error_code errorA, errorB;
  const fs::path canonicalA = fs::weakly_canonical(fs::absolute(a, errorA), errorA);
  const fs::path canonicalB = fs::weakly_canonical(fs::absolute(b, errorB), errorB);
  return !errorA && !errorB && canonicalA == canonicalB;
}

PendingOutput::PendingOutput(std::string target) : target_(std::move(target)) {}

PendingOutput::~PendingOutput() {
  if (committed_ || temporary_.empty()) return;
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

bool PendingOutput::reserve(std::string& error) {
  std::error_code code;
  if (fs::is_directory(target_, code)) {
    error = "cannot write " + target_ + ": it is a folder; give a file name";
    return false;
  }
  fs::path folder = fs::path(target_).parent_path();
  if (isSpecialFile(target_)) {
    folder = fs::temp_directory_path(code);
    if (code) folder = "/tmp";
  }
  std::string path;
  const int fd = createTemporary(folder, path);
  if (fd < 0) {
    error = "cannot write " + target_ + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  temporary_ = path;
  return true;
}

bool PendingOutput::commit(std::string& error) {
  if (temporary_.empty()) {
    error = "cannot write " + target_ + ": nothing was reserved for it";
    return false;
  }
  if (isSpecialFile(target_)) {
    committed_ = copyInto(temporary_, target_, error);
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    return committed_;
  }
  std::error_code code;
  fs::rename(temporary_, target_, code);
  if (code) {
    error = "cannot write " + target_ + ": " + code.message();
    return false;
  }
  committed_ = true;
  return true;
}
