// startAudio and playPosition on SDL's disk audio driver, which consumes the sound at about the
// pace of a real device and writes what it was given to a file: the device must receive the
// rendered song from its first frame on (silence only where the render had not got there yet),
// and the play position must only grow, stay behind what was delivered and follow real time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/platform.h"
#include "synth/synth.h"
#include "synth/timing.h"

namespace {

// Outlives the render thread, which is never joined.
SynthMemory* memory = nullptr;

std::vector<float> readFloats(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<float> values(bytes.size() / (2 * sizeof(float)) * 2);
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  return values;
}

TEST(SdlAudio, PlaysTheRenderedSongAndReportsItsPosition) {
  char directory[] = "/tmp/intro-audio-XXXXXX";
  ASSERT_NE(mkdtemp(directory), nullptr);
  const std::string path = std::string(directory) + "/device.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);

  memory = allocateSynthMemory().release();
  EXPECT_EQ(platform::playPosition(), 0u);  // before the start
  const auto start = std::chrono::steady_clock::now();
  platform::startAudio(*memory, builtinSong());

  std::uint32_t last = 0;
  bool monotonic = true;
  int queries = 0;
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1500)) {
    const std::uint32_t p = platform::playPosition();
    monotonic = monotonic && p >= last && p <= songFrames;
    last = p;
    ++queries;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::uint32_t position = platform::playPosition();
  const std::vector<float> played = readFloats(path);
  const std::size_t deliveredFrames = played.size() / 2;

  std::printf("after %.3f s: position %u frames (%.3f s of sound), %zu frames delivered, %d queries\n", seconds,
              position, position / 44100.0, deliveredFrames, queries);
  EXPECT_TRUE(monotonic);
  EXPECT_GT(position, 0u);
  // Never ahead of what the device was given (the file may trail by the buffer being written).
  EXPECT_LE(position, deliveredFrames + 2048);
  // The disk driver paces itself by whole milliseconds per buffer, slightly faster than real time.
  EXPECT_LE(position, seconds * 44100 * 1.05 + 2048);

  // Every delivered frame is the song's frame of the same number, or silence where the render
  // had not reached it yet. SDL's audio thread may write a buffer or two of silence to the file
  // before the device is unpaused and the callback first runs (seen on a loaded machine): the
  // callback's frames then start that many whole buffers in, behind nothing but silence.
  const std::uint32_t rendered = renderedFrames(*memory);
  std::size_t same = 0;
  std::size_t silent = 0;
  std::size_t wrong = 0;
  std::size_t lead = 0;
  for (std::size_t buffers = 0; buffers <= 4; ++buffers) {
    lead = buffers * 1024;
    same = silent = wrong = 0;
    for (std::size_t i = 0; i < deliveredFrames; ++i) {
      const float left = played[2 * i];
      const float right = played[2 * i + 1];
      const std::size_t frame = i - lead;  // the song's frame the callback gave here
      if (i >= lead && frame < rendered && left == memory->soundBuffer[2 * frame] &&
          right == memory->soundBuffer[2 * frame + 1]) {
        ++same;
      } else if (left == 0.0f && right == 0.0f) {
        ++silent;
      } else {
        ++wrong;
      }
    }
    if (wrong == 0) break;
  }
  if (lead > 0) std::printf("%zu frames of silence before the first callback\n", lead);
  std::printf("delivered frames: %zu as rendered, %zu silent (not rendered yet), %zu other\n", same, silent, wrong);
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(same, 0u);
  std::remove(path.c_str());
  rmdir(directory);
}

}  // namespace
