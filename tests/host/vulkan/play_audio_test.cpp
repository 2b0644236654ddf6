// The preview player's sound on SDL's disk audio driver, which consumes the sound at about the
// pace of a real device and writes what it was given to a file: play, pause, seek and a new song
// move the heard position as a listener would hear them, and the file holds each target's frames
// with no click anywhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "player/player_backend.h"
#include "synth/synth.h"
#include "synth/timing.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t songLength = 600'000;  // frames of test signal in each memory
constexpr std::uint32_t fade = 256;            // the mixer's crossfade

// The left channel names the frame (frame / 2^24, exact); the right is a quiet sine.
float leftOf(std::uint32_t frame, float sign) { return sign * static_cast<float>(frame) / 16777216.0f; }
float rightOf(std::uint32_t frame, double hertz) {
  return 0.25f * static_cast<float>(std::sin(2.0 * 3.141592653589793 * hertz * frame / 44100.0));
}

// A memory whose "rendered" song is the test signal.
SynthMemoryPtr signalMemory(float sign, double hertz) {
  SynthMemoryPtr memory = allocateSynthMemory();
  for (std::uint32_t i = 0; i < songLength; ++i) {
    memory->soundBuffer[2 * i] = leftOf(i, sign);
    memory->soundBuffer[2 * i + 1] = rightOf(i, hertz);
  }
  std::atomic_ref<std::uint32_t>(memory->publishedFrames).store(songLength, std::memory_order_release);
  return memory;
}

std::vector<float> readFloats(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<float> values(bytes.size() / (2 * sizeof(float)) * 2);
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  return values;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// From `from` on by no more than real time since `since` allows (the disk driver paces itself
// by whole milliseconds per buffer, slightly faster than real time), plus a device buffer or two.
::testing::AssertionResult followsRealTime(std::uint32_t position, std::uint32_t from, Clock::time_point since) {
  const double limit = from + secondsSince(since) * 44100 * 1.05 + 2048;
  if (position >= from && position <= limit) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "position " << position << " outside " << from << ".." << limit;
}

// Polls the position for a while: whether it never went backwards, and where it ended.
struct Watch {
  bool monotonic = true;
  std::uint32_t last = 0;
};
Watch watchFor(std::chrono::milliseconds duration, std::uint32_t from) {
  Watch watch{true, from};
  const auto start = Clock::now();
  while (Clock::now() - start < duration) {
    const std::uint32_t p = player_backend::heardPosition();
    watch.monotonic = watch.monotonic && p >= watch.last;
    watch.last = p;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return watch;
}

// Whether the device was given song frame `frame` at full level, then the one after it.
bool delivered(const std::vector<float>& played, std::uint32_t frame, float sign) {
  for (std::size_t i = 0; i + 3 < played.size(); i += 2) {
    if (played[i] == leftOf(frame, sign) && played[i + 2] == leftOf(frame + 1, sign)) return true;
  }
  return false;
}

TEST(PlayAudio, PlayPauseSeekAndNewSongFollowTheListener) {
  char directory[] = "/tmp/intro-play-audio-XXXXXX";
  ASSERT_NE(mkdtemp(directory), nullptr);
  const std::string path = std::string(directory) + "/device.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  const SynthMemoryPtr first = signalMemory(1.0f, 220.0);
  const SynthMemoryPtr second = signalMemory(-1.0f, 330.0);

  EXPECT_EQ(player_backend::heardPosition(), 0u);  // before open
  ASSERT_TRUE(player_backend::openSound(first.get()));
  EXPECT_TRUE(player_backend::hasSoundDevice());
  EXPECT_FALSE(player_backend::soundPlaying());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(player_backend::heardPosition(), 0u);  // opened paused at 0

  // Play from a second in: the target at once, then real time from there.
  auto since = Clock::now();
  player_backend::playSound(44100);
  EXPECT_TRUE(player_backend::soundPlaying());
  EXPECT_TRUE(followsRealTime(player_backend::heardPosition(), 44100, since));
  Watch watch = watchFor(std::chrono::milliseconds(600), 44100);
  EXPECT_TRUE(watch.monotonic);
  EXPECT_GT(watch.last, 44100u);
  EXPECT_TRUE(followsRealTime(watch.last, 44100, since));

  // Pause: the position stops where it is heard and holds.
  player_backend::pauseSound();
  EXPECT_FALSE(player_backend::soundPlaying());
  const std::uint32_t paused = player_backend::heardPosition();
  EXPECT_GE(paused, watch.last);
  EXPECT_TRUE(followsRealTime(paused, 44100, since));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(player_backend::heardPosition(), paused);

  // Seek while paused: the new position, held.
  player_backend::seekSound(441'000);
  EXPECT_FALSE(player_backend::soundPlaying());
  EXPECT_EQ(player_backend::heardPosition(), 441'000u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(player_backend::heardPosition(), 441'000u);

  // Resume from there.
  since = Clock::now();
  player_backend::playSound(player_backend::heardPosition());
  watch = watchFor(std::chrono::milliseconds(400), 441'000);
  EXPECT_TRUE(watch.monotonic);
  EXPECT_GT(watch.last, 441'000u);
  EXPECT_TRUE(followsRealTime(watch.last, 441'000, since));

  // Seek back while playing: the target at once, never the stream it left.
  since = Clock::now();
  player_backend::seekSound(100'000);
  EXPECT_TRUE(player_backend::soundPlaying());
  EXPECT_TRUE(followsRealTime(player_backend::heardPosition(), 100'000, since));
  watch = watchFor(std::chrono::milliseconds(300), 100'000);
  EXPECT_TRUE(watch.monotonic);
  EXPECT_TRUE(followsRealTime(watch.last, 100'000, since));

  // A new song at the current position: the position runs on; the old memory is soon let go.
  const std::uint32_t beforeSwap = player_backend::heardPosition();
  since = Clock::now();
  player_backend::setSoundSource(second.get());
  EXPECT_TRUE(player_backend::soundReads(second.get()));
  while (player_backend::soundReads(first.get()) && secondsSince(since) < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(player_backend::soundReads(first.get()));
  watch = watchFor(std::chrono::milliseconds(300), beforeSwap);
  EXPECT_TRUE(watch.monotonic);
  EXPECT_TRUE(followsRealTime(watch.last, beforeSwap, since));
  const std::uint32_t afterSwap = watch.last;

  player_backend::closeSound();
  EXPECT_FALSE(player_backend::hasSoundDevice());
  EXPECT_FALSE(player_backend::soundReads(second.get()));

  // What the device was given: each target's frames once its fade-in is done, the new song after
  // the swap, silence during the pause, and no step a crossfade would not make.
  const std::vector<float> played = readFloats(path);
  std::printf("%zu frames delivered; paused at %u, swapped at %u, closed at %u\n", played.size() / 2, paused,
              beforeSwap, afterSwap);
  EXPECT_TRUE(delivered(played, 44100 + fade - 1, 1.0f));
  EXPECT_TRUE(delivered(played, 441'000 + fade - 1, 1.0f));
  EXPECT_TRUE(delivered(played, 100'000 + fade - 1, 1.0f));
  bool secondSong = false;
  for (std::uint32_t frame = beforeSwap; frame < afterSwap && !secondSong; frame += 97)
    secondSong = delivered(played, frame, -1.0f);
  EXPECT_TRUE(secondSong);
  std::size_t longestSilence = 0;
  std::size_t silence = 0;
  float leftJump = 0.0f;
  float rightJump = 0.0f;
  for (std::size_t i = 0; i + 1 < played.size(); i += 2) {
    silence = played[i] == 0.0f && played[i + 1] == 0.0f ? silence + 1 : 0;
    longestSilence = std::max(longestSilence, silence);
    if (i >= 2) {
      leftJump = std::max(leftJump, std::fabs(played[i] - played[i - 2]));
      rightJump = std::max(rightJump, std::fabs(played[i + 1] - played[i - 1]));
    }
  }
  EXPECT_GE(longestSilence, 44100u / 5);  // paused for half a second, silent after its fade
  // Cut over, the seeks would step the left channel by 0.02 and more and the right by up to 0.5.
  EXPECT_LE(leftJump, 0.04f / fade + 1e-6f);
  EXPECT_LE(rightJump, 0.25f * 2 * 3.1416f * 330 / 44100 + 0.5f / fade + 1e-6f);
  std::printf("largest steps: left %.6f, right %.6f; longest silence %zu frames\n", leftJump, rightJump,
              longestSilence);
  std::remove(path.c_str());
  rmdir(directory);
}

}  // namespace
