#pragma once
// The video encoder of intro-tool capture: ffmpeg as a child process in a process group of its
// own (a Ctrl-C at the terminal reaches intro-tool only), raw RGBA frames on its standard input,
// the soundtrack from a file of raw 32-bit float stereo samples.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct EncoderSettings {
  std::string program = "ffmpeg";  // a name looked up on PATH, or a path
  int width = 0;
  int height = 0;
  int framesPerSecond = 0;
  std::string soundPath;  // interleaved left, right float samples at 44,100 Hz, little-endian
  std::string outPath;    // written as MP4 whatever its name
};

// The command line: rawvideo RGBA in, H.264 High 4:2:0 with BT.709 matrix and tags, AAC at
// 192 kb/s, MP4 with the index at the front. Files are named absolute, with ffmpeg's "file:"
// prefix, whatever colons or leading dashes their names hold.
std::vector<std::string> encoderArguments(const EncoderSettings& settings);

// The program's path when it can be run: a path with a slash as given, a bare name from PATH;
// empty when there is none.
std::string findProgram(const std::string& program);

class Encoder {
 public:
  Encoder() = default;
  ~Encoder();  // aborts a running encoder
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  bool start(const EncoderSettings& settings, std::string& error);
  // Writes all of the bytes. Fails when the encoder has gone, or when a signal arrives while
  // stopRequested() is true (the caller's interrupt flag is checked through that callback).
  bool write(const std::uint8_t* data, std::size_t size, bool (*stopRequested)(), std::string& error);
  // Ends the input and waits for the encoder; false unless it exited with status 0 and left an
  // MP4 at outPath. When stopRequested() turns true during the wait, the encoder is ended as
  // abort() ends it.
  bool finish(std::string& error, bool (*stopRequested)() = nullptr);
  // Ends the encoder: SIGTERM, then SIGKILL when it has not gone after a short grace.
  void abort();

  // How long abort() waits between SIGTERM and SIGKILL.
  static constexpr int graceMilliseconds = 2000;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::string name_;
  std::string outPath_;
};
