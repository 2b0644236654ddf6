// intro-tool capture: the show, or a stretch of it, as an MP4 video with its soundtrack,
// frame-exact whatever the speed of the machine.
//
//   intro-tool capture --out FILE.mp4 [--size WxH] [--fps N] [--from T0] [--to T1] [--compiler glslang|vkd3d]
//
// The soundtrack is rendered first. Frame k then shows play position round(k * 44100 / fps): the
// frame loop's update runs for every frame from the start of the song (so e, e2 and e3 are what
// the intro has at that frame rate), and the frames from T0 to T1 are rendered headless and piped
// as raw RGBA to ffmpeg together with the matching stretch of the soundtrack. The MP4 is written
// under a temporary name and renamed when ffmpeg has finished; a failure or an interrupt leaves
// nothing behind.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "host/music_time.h"
#include "tools/capture_encoder.h"
#include "tools/commands.h"
#include "tools/interrupts.h"
#include "tools/option_values.h"
#include "tools/show_options.h"
#include "tools/output_file.h"
#include "tools/picture_limits.h"
#include "tools/show_render.h"
#include "tools/vkd3d_route.h"

namespace {

const std::string captureUsage =
    std::string("usage: intro-tool capture --out FILE.mp4 [--size WxH] [--fps N] [--from T0] [--to T1] [--compiler C]\n"
    "  --out FILE.mp4  the video to write (H.264 High 4:2:0, BT.709; AAC 192 kb/s)\n"
    "  --size WxH      picture size, even sides from 2 to ") + std::to_string(largestVideoSide) + " (default 1920x1080)\n"
    "  --fps N         frames per second, 1 to 240 (default 60)\n"
    "  --from T0       music time of the first frame, 0 to 490 (default 0; 2.5 per pattern)\n"
    "  --to T1         music time where the capture ends, T0 to 490 (default 490, the end)\n"
    "  --compiler C    glslang (default: the Linux intro's route) or vkd3d (through Direct3D\n"
    "                  bytecode, as the Windows intro is given it; needs scripts/vkd3d)\n"
    "  INTRO_FFMPEG=PATH picks the encoder program (default ffmpeg from PATH);\n"
    "  INTRO_VALIDATION=1 turns the Vulkan validation layer on\n";

constexpr int fastestRate = 240;

int usageError(const std::string& what) {
  std::fprintf(stderr, "intro-tool capture: %s\n%s", what.c_str(), captureUsage.c_str());
  return 2;
}

int failure(const std::string& what) {
  std::fprintf(stderr, "\nintro-tool capture: %s\n", what.c_str());
  return 1;
}

// Files that exist only until the capture has succeeded.
class TemporaryFiles {
 public:
  ~TemporaryFiles() {
    for (const std::string& path : paths_) {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
  }
  void add(const std::string& path) { paths_.push_back(path); }

 private:
  std::vector<std::string> paths_;
};

bool writeSound(const SynthMemory& rendered, const CapturePlan& plan, const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write the soundtrack to the temporary folder: " + std::string(std::strerror(errno));
    return false;
  }
  std::vector<float> chunk(2 * 65536);
  bool ok = true;
  for (std::uint32_t at = plan.soundBegin; ok && at < plan.soundEnd;) {
    const std::uint32_t count = std::min<std::uint32_t>(65536, plan.soundEnd - at);
    copySoundFrames(rendered, at, count, chunk.data());  // beyond the song: silence
    ok = std::fwrite(chunk.data(), sizeof(float) * 2, count, file) == count;
    at += count;
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) error = "cannot write the soundtrack to the temporary folder (" + std::string(std::strerror(errno)) + ")";
  return ok;
}

std::string clock(double seconds) {
  const long whole = std::lround(std::max(0.0, seconds));
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

class Progress {
 public:
  explicit Progress(std::uint64_t total) : total_(total), terminal_(::isatty(STDERR_FILENO) != 0) {}

  void frameDone() {
    ++done_;
    const auto now = std::chrono::steady_clock::now();
    const double sinceShown = std::chrono::duration<double>(now - shown_).count();
    if (done_ == total_ || (terminal_ ? sinceShown >= 0.25 : sinceShown >= 5.0) || done_ == 1) {
      shown_ = now;
      show(now);
    }
  }
  double framesPerSecond() const {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    return elapsed > 0.0 ? static_cast<double>(done_) / elapsed : 0.0;
  }
  void end() const {
    if (terminal_) std::fputc('\n', stderr);
  }

 private:
  void show(std::chrono::steady_clock::time_point now) const {
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double rate = elapsed > 0.0 ? static_cast<double>(done_) / elapsed : 0.0;
    const double left = rate > 0.0 ? static_cast<double>(total_ - done_) / rate : 0.0;
    std::fprintf(stderr, "%scapture: %llu/%llu frames (%.0f%%), %.2f frames/s, %s left%s", terminal_ ? "\r" : "",
                 static_cast<unsigned long long>(done_), static_cast<unsigned long long>(total_),
                 100.0 * static_cast<double>(done_) / static_cast<double>(total_), rate, clock(left).c_str(),
                 terminal_ ? "   " : "\n");
    std::fflush(stderr);
  }

  std::uint64_t total_;
  std::uint64_t done_ = 0;
  bool terminal_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point shown_ = start_;
};

struct Options {
  std::string out;
  int width = 1920;
  int height = 1080;
  int framesPerSecond = 60;
  double from = 0.0;
  double to = lastMusicTime;
  ShaderRoute route = ShaderRoute::glslang;
};

// 0 when the options are good, else the exit code (the message printed).
int parseOptions(int argc, char** argv, Options& options, bool& help) {
  const ToolOption table[] = {
      {"--out", OptionValue::next, keepText(options.out, "--out wants a file name")},
      {"--size", OptionValue::next,
       [&](std::string_view value) {
         if (parseSize(value, largestVideoSide, options.width, options.height) && options.width % 2 == 0 &&
             options.height % 2 == 0) {
           return std::string();
         }
         return "--size wants WIDTHxHEIGHT with even sides from 2 to " + std::to_string(largestVideoSide) +
                " (4:2:0 video), not " + quotedValue(value);
       }},
      {"--fps", OptionValue::next,
       [&](std::string_view value) {
         const std::optional<std::int64_t> rate = parseWholeNumber(value, 1, fastestRate);
         if (!rate) {
           return "--fps wants a whole number from 1 to " + std::to_string(fastestRate) + ", not " +
                  quotedValue(value);
         }
         options.framesPerSecond = static_cast<int>(*rate);
         return std::string();
       }},
      {"--from", OptionValue::next, takeMusicTime("--from", options.from)},
      {"--to", OptionValue::next, takeMusicTime("--to", options.to)},
      {"--compiler", OptionValue::next, takeShaderRoute(options.route)},
  };
  const OptionsRead read = readOptions(argc, argv, table);
  help = read.help;
  if (!read.problem.empty()) return usageError(read.problem);
  if (help) return 0;
  if (options.out.empty()) return usageError("--out is required");
  if (!(options.from < options.to)) {
    char text[160];
    std::snprintf(text, sizeof text, "the range from %g to %g is empty: --from must lie before --to", options.from,
                  options.to);
    return usageError(text);
  }
  return 0;
}

}  // namespace

int captureCommand(int argc, char** argv) {
  Options options;
  bool help = false;
  if (const int code = parseOptions(argc, argv, options, help); code != 0) return code;
  if (help) {
    std::fputs(captureUsage.c_str(), stdout);
    return 0;
  }
  const std::optional<CapturePlan> planned = planCapture(options.framesPerSecond, options.from, options.to);
  if (!planned) {
    char text[160];
    std::snprintf(text, sizeof text, "the range from %g to %g holds no frame at %d frames per second", options.from,
                  options.to, options.framesPerSecond);
    return usageError(text);
  }
  const CapturePlan plan = *planned;

  EncoderSettings encoder;
  const char* program = std::getenv("INTRO_FFMPEG");
  encoder.program = findProgram(program != nullptr && *program != '\0' ? program : "ffmpeg");
  if (encoder.program.empty()) {
    return failure(std::string(program != nullptr && *program != '\0' ? program : "ffmpeg") +
                   " was not found; install ffmpeg (apt-get install ffmpeg) or set INTRO_FFMPEG to its path");
  }
  encoder.width = options.width;
  encoder.height = options.height;
  encoder.framesPerSecond = options.framesPerSecond;

  catchInterrupts();
  const auto stopped = [&options] { return interruptedExit("capture", options.out + " not written"); };
  PendingOutput video(options.out);
  std::string error;
  if (!video.reserve(error)) return failure(error);
  encoder.outPath = video.path();
  TemporaryFiles temporaries;
  {
    std::error_code code;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(code);
    std::string pattern = ((code ? "/tmp" : folder) / "intro-capture-sound-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
      return failure("cannot make a temporary sound file " + pattern + ": " + std::strerror(errno) +
                     "; set TMPDIR to a folder that can be written");
    }
    ::close(fd);
    encoder.soundPath = pattern;
    temporaries.add(pattern);
  }

  std::fprintf(stderr, "capture: %llu frames, %dx%d at %d frames/s, t %g to %g; rendering the soundtrack\n",
               static_cast<unsigned long long>(plan.frameCount()), options.width, options.height,
               options.framesPerSecond, options.from, options.to);
  SynthMemoryPtr memory = allocateSynthMemory();
  if (!renderSongFor(*memory, plan.soundEnd, framePosition(plan.endFrame - 1, plan.framesPerSecond), interrupted)) {
    if (interrupted()) return stopped();
    return failure("the built-in song does not render");
  }
  if (!writeSound(*memory, plan, encoder.soundPath, error)) return failure(error);

  HeadlessRenderer renderer;
  if (!startShowRenderer(renderer, options.width, options.height, validationRequested(), error,
                         spirvCompilerFor(options.route))) {
    return failure(error);
  }
  if (interrupted()) return stopped();

  Encoder ffmpeg;
  if (!ffmpeg.start(encoder, error)) return failure(error);
  Progress progress(plan.frameCount());
  const CaptureResult result = runCapture(plan, *memory, renderer, [&](const CapturedFrame& frame) {
    if (interrupted()) return false;
    if (!ffmpeg.write(frame.rgba->data(), frame.rgba->size(), interrupted, error)) return false;
    progress.frameDone();
    return true;
  });
  progress.end();
  if (interrupted()) {
    ffmpeg.abort();
    return stopped();
  }
  if (result == CaptureResult::renderFailed) {
    ffmpeg.abort();
    return failure("rendering failed: " + renderer.error().text());
  }
  for (const std::string& message : renderer.validationErrors()) {
    std::fprintf(stderr, "intro-tool capture: validation: %s\n", message.c_str());
  }
  if (result == CaptureResult::stopped) {
    // The encoder went away: its own message is above; say how it ended.
    std::string status;
    ffmpeg.finish(status, interrupted);
    if (interrupted()) return stopped();
    return failure(error + (status.empty() ? std::string() : "; " + status));
  }
  // The encoder may take a while to finish the file (or never end): an interrupt ends it.
  const bool finished = ffmpeg.finish(error, interrupted);
  if (interrupted()) return stopped();
  if (!finished) return failure(error);
  if (!renderer.validationErrors().empty()) return failure("the Vulkan validation layer reported errors");

  if (!video.commit(error)) return interrupted() ? stopped() : failure(error);  // a pipe's reader awaited
  std::printf("%s: %llu frames, %dx%d at %d frames/s, t %g to %g (%.3f s), %.2f frames/s on %s\n",
              options.out.c_str(), static_cast<unsigned long long>(plan.frameCount()), options.width, options.height,
              options.framesPerSecond, options.from, options.to,
              static_cast<double>(plan.frameCount()) / options.framesPerSecond, progress.framesPerSecond(),
              renderer.deviceName());
  return 0;
}
