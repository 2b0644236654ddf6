#include "tools/capture_encoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

extern char** environ;

namespace {

// ffmpeg reads "NAME:..." as a protocol's URL and "-..." as an option: a file is named as one.
std::string fileArgument(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return "file:" + (error ? path : absolute.string());
}

}  // namespace

std::vector<std::string> encoderArguments(const EncoderSettings& s) {
  const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
  const std::string rate = std::to_string(s.framesPerSecond);
  return {s.program,
          "-hide_banner", "-loglevel", "error", "-nostats", "-y",
          // pictures: raw RGBA on standard input
          "-f", "rawvideo", "-pix_fmt", "rgba", "-video_size", size, "-framerate", rate, "-i", "pipe:0",
          // sound: the stretch of the soundtrack
          "-f", "f32le", "-ar", "44100", "-ac", "2", "-i", fileArgument(s.soundPath),
          "-map", "0:v:0", "-map", "1:a:0",
          // RGB to limited-range BT.709 4:2:0, tagged as such
          "-vf", "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int,format=yuv420p",
          "-c:v", "libx264", "-profile:v", "high", "-pix_fmt", "yuv420p", "-preset", "medium", "-crf", "16",
          "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
          "-c:a", "aac", "-b:a", "192k",
          "-movflags", "+faststart", "-f", "mp4", fileArgument(s.outPath)};
}

std::string findProgram(const std::string& program) {
  auto runnable = [](const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
  };
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return runnable(program) ? program : std::string();
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t from = 0;
  while (from <= folders.size()) {
    std::size_t to = folders.find(':', from);
    if (to == std::string::npos) to = folders.size();
    const std::string folder = to > from ? folders.substr(from, to - from) : ".";
    const std::string candidate = folder + "/" + program;
    if (runnable(candidate)) return candidate;
    from = to + 1;
  }
  return {};
}

Encoder::~Encoder() { abort(); }

bool Encoder::start(const EncoderSettings& settings, std::string& error) {
  name_ = settings.program;
  outPath_ = settings.outPath;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  const std::vector<std::string> arguments = encoderArguments(settings);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A process group of its own, so that Ctrl-C reaches only intro-tool, which then ends it; the
  // signals that intro-tool catches or ignores start out with their default actions.
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int failure = ::posix_spawnp(&pid, settings.program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(fds[0]);
  if (failure != 0) {
    ::close(fds[1]);
    error = failure == ENOENT ? settings.program + " was not found; install ffmpeg (apt-get install ffmpeg) or set "
                                                   "INTRO_FFMPEG to its path"
                              : "cannot start " + settings.program + ": " + std::strerror(failure);
    return false;
  }
  pid_ = pid;
  input_ = fds[1];
  // A larger pipe (where the system allows) takes a good part of a frame per write.
  ::fcntl(input_, F_SETPIPE_SZ, 1 << 20);
  return true;
}

bool Encoder::write(const std::uint8_t* data, std::size_t size, bool (*stopRequested)(), std::string& error) {
  if (input_ < 0) {
    error = name_ + " is not running";
    return false;
  }
  while (size > 0) {
    const ssize_t written = ::write(input_, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        if (stopRequested != nullptr && stopRequested()) {
          error = "interrupted";
          return false;
        }
        continue;
      }
      error = errno == EPIPE ? name_ + " stopped reading its input" : std::string("cannot write to ") + name_ + ": " +
                                                                          std::strerror(errno);
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

namespace {
std::string describeStatus(int status) {
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return std::string("was ended by signal ") + strsignal(WTERMSIG(status));
  return "ended abnormally";
}

constexpr int gone = -1;      // cannot be waited for
constexpr int stopped = -2;   // stopRequested() before it ended

// The child's status. Polls rather than blocks, so that an interrupt that arrives just before
// the wait is seen as surely as one during it; stopRequested (or the deadline, when positive)
// ends the wait early.
int waitFor(pid_t pid, bool (*stopRequested)(), int deadlineMilliseconds = 0) {
  for (int waited = 0;; waited += 5) {
    int status = 0;
    const pid_t got = ::waitpid(pid, &status, WNOHANG);
    if (got == pid) return status;
    if (got < 0 && errno != EINTR) return gone;
    if (stopRequested != nullptr && stopRequested()) return stopped;
    if (deadlineMilliseconds > 0 && waited >= deadlineMilliseconds) return stopped;
    ::usleep(5000);
  }
}
}  // namespace

bool Encoder::finish(std::string& error, bool (*stopRequested)()) {
  if (pid_ < 0) {
    error = name_ + " is not running";
    return false;
  }
  ::close(input_);
  input_ = -1;
  const int status = waitFor(pid_, stopRequested);
  if (status == stopped) {
    abort();
    error = "interrupted while " + name_ + " finished";
    return false;
  }
  pid_ = -1;
  if (status == gone || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = name_ + " " + (status == gone ? std::string("could not be waited for") : describeStatus(status));
    return false;
  }
  // An MP4 opens with its ftyp box; a program that is not ffmpeg may end well having written nothing.
  char head[8] = {};
  std::ifstream written(outPath_, std::ios::binary);
  written.read(head, sizeof head);
  if (written.gcount() < static_cast<std::streamsize>(sizeof head) || std::memcmp(head + 4, "ftyp", 4) != 0) {
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(outPath_, sizeError);
    error = name_ + " exited with status 0 but wrote no MP4 (" +
            (sizeError ? std::string("no file") : std::to_string(size) + " bytes") +
            "); set INTRO_FFMPEG to the path of an ffmpeg with libx264 and aac";
    return false;
  }
  return true;
}

void Encoder::abort() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    if (waitFor(pid_, nullptr, graceMilliseconds) == stopped) {
      ::kill(pid_, SIGKILL);
      waitFor(pid_, nullptr);
    }
  }
  pid_ = -1;
}
