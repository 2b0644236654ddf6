// The preview player's mixer over a small computed song: what each command makes the device
// play, that no change clicks, which sources it still reads, and which song position the
// listener hears.
#include "player/play_mix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/player/test_song_source.h"

namespace {

constexpr std::uint32_t fade = PlayMixer::fadeFrames;

// Fills frames frames in device buffers of bufferFrames, as a callback would.
std::vector<float> fill(PlayMixer& mixer, std::uint32_t frames, std::uint32_t bufferFrames = 1024) {
  std::vector<float> out(2 * std::size_t{frames});
  for (std::uint32_t done = 0; done < frames; done += bufferFrames)
    mixer.fill(out.data() + 2 * std::size_t{done}, std::min(bufferFrames, frames - done));
  return out;
}

void append(std::vector<float>& all, const std::vector<float>& more) { all.insert(all.end(), more.begin(), more.end()); }

// The largest step between neighbouring frames of either channel.
float maxJump(const std::vector<float>& out) {
  float jump = 0.0f;
  for (std::size_t i = 2; i < out.size(); ++i) jump = std::max(jump, std::fabs(out[i] - out[i - 2]));
  return jump;
}

bool silent(const std::vector<float>& out, std::size_t firstFrame) {
  for (std::size_t i = 2 * firstFrame; i < out.size(); ++i) {
    if (out[i] != 0.0f) return false;
  }
  return true;
}

// The song's frames from `from` on, exactly, in out's frames from firstFrame on.
::testing::AssertionResult playsFrom(const std::vector<float>& out, std::size_t firstFrame, const TestSong& song,
                                     std::uint32_t from) {
  for (std::size_t k = firstFrame; k < out.size() / 2; ++k) {
    const auto frame = static_cast<std::uint32_t>(from + k - firstFrame);
    if (out[2 * k] != song.left(frame) || out[2 * k + 1] != song.right(frame))
      return ::testing::AssertionFailure() << "output frame " << k << " is not song frame " << frame << ": left "
                                           << out[2 * k] << " (song " << song.left(frame) << ")";
  }
  return ::testing::AssertionSuccess();
}

TEST(PlayMixer, StartsPausedAtZeroInSilence) {
  TestSong song{100000};
  PlayMixer mixer(song.source());
  EXPECT_FALSE(mixer.playing());
  const std::vector<float> out = fill(mixer, 3000);
  EXPECT_TRUE(silent(out, 0));
  EXPECT_EQ(song.reads, 0);
  EXPECT_EQ(mixer.deliveredFrames(), 3000u);
  EXPECT_EQ(mixer.heardPosition(0), 0u);
  EXPECT_EQ(mixer.heardPosition(3000), 0u);
}

TEST(PlayMixer, PlayFadesInThenDeliversThePositionsFrames) {
  TestSong song{100000};
  PlayMixer mixer(song.source());
  mixer.play(30000);
  EXPECT_TRUE(mixer.playing());
  const std::vector<float> out = fill(mixer, 3072);
  // Rising from silence over the fade, frame for frame the song's from 30000...
  for (std::uint32_t k = 0; k + 1 < fade; ++k) {
    const float gain = static_cast<float>(k + 1) / fade;
    ASSERT_NEAR(out[2 * k], song.left(30000 + k) * gain, 1e-6f) << "frame " << k;
    ASSERT_NEAR(out[2 * k + 1], song.right(30000 + k) * gain, 1e-6f) << "frame " << k;
  }
  // ...then exactly the song, across buffer boundaries.
  EXPECT_TRUE(playsFrom(out, fade - 1, song, 30000 + fade - 1));
}

TEST(PlayMixer, PauseFadesToSilenceWithinTheFadeAndHoldsWhereTheFadeBegan) {
  TestSong song{100000};
  PlayMixer mixer(song.source());
  mixer.play(10000);
  fill(mixer, 2048);
  EXPECT_EQ(mixer.heardPosition(1000), 11000u);
  mixer.pause();
  EXPECT_FALSE(mixer.playing());
  const std::vector<float> out = fill(mixer, 4096);
  // The stream plays on while it fades: from 12048, where the pause found it.
  for (std::uint32_t k = 0; k + 1 < fade; ++k) {
    const float gain = static_cast<float>(fade - 1 - k) / fade;
    ASSERT_NEAR(out[2 * k], song.left(12048 + k) * gain, 1e-6f) << "frame " << k;
  }
  EXPECT_TRUE(silent(out, fade - 1));
  const int readsAfterFade = song.reads;
  EXPECT_TRUE(silent(fill(mixer, 4096), 0));
  EXPECT_EQ(song.reads, readsAfterFade);
  // Heard: the old stream up to the pause's first buffer, then the position where the fade began.
  EXPECT_EQ(mixer.heardPosition(2000), 12000u);
  EXPECT_EQ(mixer.heardPosition(2048), 12048u);
  EXPECT_EQ(mixer.heardPosition(5000), 12048u);
  EXPECT_EQ(mixer.heardPosition(10240), 12048u);
}

TEST(PlayMixer, ResumeContinuesFromThePausePosition) {
  TestSong song{100000};
  {
    // Paused where the fade began, resumed from the position the listener is shown.
    PlayMixer mixer(song.source());
    mixer.play(10000);
    fill(mixer, 2048);
    mixer.pause();
    fill(mixer, 2048);
    const std::uint32_t held = mixer.heardPosition(4096);
    EXPECT_EQ(held, 12048u);
    mixer.play(held);
    EXPECT_EQ(mixer.heardPosition(4096), held);
    const std::vector<float> out = fill(mixer, 2048);
    EXPECT_TRUE(playsFrom(out, fade - 1, song, held + fade - 1));
    EXPECT_EQ(mixer.heardPosition(4096 + 1500), held + 1500);
  }
  {
    // Paused at the position being heard, behind what the device was given: the resumed sound
    // starts there, not where the device's stream had got to.
    PlayMixer mixer(song.source());
    mixer.play(10000);
    fill(mixer, 2048);
    const std::uint32_t heard = mixer.heardPosition(1500);
    EXPECT_EQ(heard, 11500u);
    mixer.pauseAt(heard);
    EXPECT_EQ(mixer.heardPosition(1600), heard);  // at once, although the old stream still plays
    const std::vector<float> fadeOut = fill(mixer, 1024);
    for (std::uint32_t k = 0; k + 1 < fade; ++k) {
      const float gain = static_cast<float>(fade - 1 - k) / fade;
      ASSERT_NEAR(fadeOut[2 * k], song.left(12048 + k) * gain, 1e-6f) << "frame " << k;
    }
    EXPECT_TRUE(silent(fadeOut, fade - 1));
    EXPECT_EQ(mixer.heardPosition(3072), heard);
    mixer.play(mixer.heardPosition(3072));
    EXPECT_TRUE(playsFrom(fill(mixer, 2048), fade - 1, song, heard + fade - 1));
  }
}

TEST(PlayMixer, SeekCrossfadesWithoutAClick) {
  // Far apart in the song: cut over, the left channel would step by about 0.85.
  TestSong song{2'000'000};
  const float allowed = song.maxStep() + 1.0f / fade + 1e-6f;  // the channels differ by at most 1
  ASSERT_GT(std::fabs(song.left(900'000) - song.left(5096)), 40 * allowed);
  {
    PlayMixer mixer(song.source());
    mixer.play(1000);
    std::vector<float> out = fill(mixer, 4096);
    mixer.seek(900'000);
    EXPECT_TRUE(mixer.playing());
    const std::vector<float> after = fill(mixer, 4096);
    EXPECT_TRUE(playsFrom(after, fade - 1, song, 900'000 + fade - 1));
    append(out, after);
    EXPECT_LE(maxJump(out), allowed);
  }
  // A seek in every buffer, back and forth, on the device's buffer size and on one a fade long.
  for (const std::uint32_t buffer : {1024u, 256u}) {
    PlayMixer mixer(song.source());
    mixer.play(1000);
    std::vector<float> out = fill(mixer, buffer);
    for (int i = 0; i < 20; ++i) {
      mixer.seek(i % 2 == 0 ? 900'000 + 3000 * i : 1000 + 3000 * i);
      append(out, fill(mixer, buffer, buffer));
    }
    EXPECT_LE(maxJump(out), allowed) << buffer << "-frame buffers";
  }
  {
    // Buffers shorter than the fade: several streams fade out at once; each moves its gain by
    // one step a frame and the gains never sum above one.
    PlayMixer mixer(song.source());
    mixer.play(1000);
    std::vector<float> out = fill(mixer, 64, 64);
    for (int i = 0; i < 40; ++i) {
      mixer.seek(i % 2 == 0 ? 900'000 + 3000 * i : 1000 + 3000 * i);
      append(out, fill(mixer, 64, 64));
    }
    const int streams = fade / 64 + 1;
    EXPECT_LE(maxJump(out), song.maxStep() + streams * 1.0f / fade + 1e-6f);
  }
}

TEST(PlayMixer, NewSourceTakesOverAtTheCursorAndTheOldOneIsLeftAlone) {
  TestSong a{200000};
  TestSong b{200000, 330.0, 0.5f, -1.0f};
  {
    PlayMixer mixer(a.source());
    mixer.play(5000);
    std::vector<float> out = fill(mixer, 2048);
    mixer.setSource(b.source());
    EXPECT_TRUE(mixer.playing());
    EXPECT_TRUE(mixer.reads(&a));  // the next fill fades it out
    EXPECT_TRUE(mixer.reads(&b));
    const std::vector<float> after = fill(mixer, 1024);
    for (std::uint32_t k = 0; k + 1 < fade; ++k) {
      const float expected =
          a.left(7048 + k) * (fade - 1 - k) / static_cast<float>(fade) + b.left(7048 + k) * (k + 1) / static_cast<float>(fade);
      ASSERT_NEAR(after[2 * k], expected, 1e-6f) << "frame " << k;
    }
    EXPECT_TRUE(playsFrom(after, fade - 1, b, 7048 + fade - 1));
    append(out, after);
    EXPECT_LE(maxJump(out), std::max(a.maxStep(), b.maxStep()) + 1.0f / fade + 1e-6f);
    // One device buffer is longer than the fade: the old source is done with.
    EXPECT_FALSE(mixer.reads(&a));
    const int readsOfA = a.reads;
    fill(mixer, 4096);
    EXPECT_EQ(a.reads, readsOfA);
    // The position runs on through the swap.
    EXPECT_EQ(mixer.heardPosition(1000), 6000u);
    EXPECT_EQ(mixer.heardPosition(2048), 7048u);
    EXPECT_EQ(mixer.heardPosition(3000), 8000u);
  }
  {
    // Buffers a quarter of the fade: the old source is read for four more fills.
    PlayMixer mixer(a.source());
    mixer.play(5000);
    fill(mixer, 1024, 64);
    mixer.setSource(b.source());
    int fills = 0;
    while (mixer.reads(&a) && fills < 100) {
      fill(mixer, 64, 64);
      ++fills;
    }
    EXPECT_EQ(fills, static_cast<int>(fade / 64));
  }
  {
    // Swapped while paused: nothing sounds, nothing of the old source is read, and the resume
    // plays the new one from the held position.
    PlayMixer mixer(a.source());
    mixer.play(5000);
    fill(mixer, 2048);
    mixer.pauseAt(6000);
    fill(mixer, 1024);
    const int readsOfA = a.reads;
    const int readsOfB = b.reads;
    mixer.setSource(b.source());
    EXPECT_FALSE(mixer.reads(&a));
    EXPECT_TRUE(silent(fill(mixer, 1024), 0));
    EXPECT_EQ(a.reads, readsOfA);
    EXPECT_EQ(b.reads, readsOfB);
    EXPECT_EQ(mixer.heardPosition(4000), 6000u);
    mixer.play(6000);
    EXPECT_TRUE(playsFrom(fill(mixer, 1024), fade - 1, b, 6000 + fade - 1));
  }
}

TEST(PlayMixer, SilenceAfterTheSongsEnd) {
  TestSong song{5000};
  PlayMixer mixer(song.source());
  mixer.play(4000);
  const std::vector<float> out = fill(mixer, 2048);
  EXPECT_TRUE(playsFrom(std::vector<float>(out.begin(), out.begin() + 2 * 1000), fade - 1, song, 4000 + fade - 1));
  EXPECT_TRUE(silent(out, 1000));
  EXPECT_LE(song.readEnd, 5000u);
  EXPECT_EQ(mixer.heardPosition(999), 4999u);
  EXPECT_EQ(mixer.heardPosition(1500), 5000u);
  EXPECT_EQ(mixer.heardPosition(1u << 20), 5000u);  // even beyond what was delivered
  // A position beyond the end is the end.
  mixer.play(9000);
  EXPECT_EQ(mixer.heardPosition(1u << 20), 5000u);
  EXPECT_TRUE(silent(fill(mixer, 2048), 0));
  EXPECT_LE(song.readEnd, 5000u);
}

TEST(PlayMixer, CommandsBetweenTwoFillsTakeEffectTogether) {
  TestSong song{100000};
  PlayMixer mixer(song.source());
  // Play then pause before the device asks: paused at the play's position, without a blip.
  mixer.play(20000);
  mixer.pause();
  EXPECT_FALSE(mixer.playing());
  EXPECT_TRUE(silent(fill(mixer, 1024), 0));
  EXPECT_EQ(song.reads, 0);
  EXPECT_EQ(mixer.heardPosition(500), 20000u);
  // Two plays: only the second is heard.
  mixer.play(1000);
  mixer.play(60000);
  EXPECT_TRUE(playsFrom(fill(mixer, 1024), fade - 1, song, 60000 + fade - 1));
  EXPECT_EQ(mixer.heardPosition(1024 + 100), 60100u);
}

TEST(PlayHeardPosition, ReportsASeeksTargetUntilItsFirstFrameIsHeardThenFollowsIt) {
  TestSong song{1'000'000};
  PlayMixer mixer(song.source());
  mixer.play(0);
  fill(mixer, 4096);
  EXPECT_EQ(mixer.heardPosition(1000), 1000u);
  mixer.seek(50000);
  // The device still plays the old stream, and will for three more buffers.
  EXPECT_EQ(mixer.heardPosition(1500), 50000u);
  fill(mixer, 1024);  // the seek's first buffer: device frames 4096 on
  EXPECT_EQ(mixer.heardPosition(3000), 50000u);
  EXPECT_EQ(mixer.heardPosition(4095), 50000u);
  EXPECT_EQ(mixer.heardPosition(4096), 50000u);
  EXPECT_EQ(mixer.heardPosition(4500), 50404u);
  fill(mixer, 2048);
  EXPECT_EQ(mixer.heardPosition(6000), 51904u);
  // Backwards in the song is a new target, reported as such.
  mixer.seek(100);
  EXPECT_EQ(mixer.heardPosition(6100), 100u);
  fill(mixer, 1024);
  EXPECT_EQ(mixer.heardPosition(7168 + 10), 110u);
}

TEST(PlayHeardPosition, HoldsWhilePaused) {
  TestSong song{1'000'000};
  PlayMixer mixer(song.source());
  mixer.play(0);
  fill(mixer, 2048);
  mixer.pauseAt(1500);
  for (std::uint64_t device = 1600; device < 20000; device += 1000) {
    fill(mixer, 1024);
    ASSERT_EQ(mixer.heardPosition(device), 1500u) << "device frame " << device;
  }
  // A seek while paused moves the held position, still silent.
  mixer.seek(70000);
  EXPECT_FALSE(mixer.playing());
  EXPECT_EQ(mixer.heardPosition(20000), 70000u);
  EXPECT_TRUE(silent(fill(mixer, 4096), 0));
  EXPECT_EQ(mixer.heardPosition(mixer.deliveredFrames()), 70000u);
}

TEST(PlayHeardPosition, NeverGoesBackwardsWithinOneCommand) {
  TestSong a{1'000'000};
  TestSong b{1'000'000, 330.0};
  PlayMixer mixer(a.source());
  mixer.play(10000);
  fill(mixer, 2048);
  EXPECT_EQ(mixer.heardPosition(1500), 11500u);
  // The device estimate steps back a little: the position does not.
  EXPECT_EQ(mixer.heardPosition(1200), 11500u);
  // A new song at the cursor is no new position: it runs on from where it was.
  mixer.setSource(b.source());
  EXPECT_EQ(mixer.heardPosition(1600), 11600u);
  fill(mixer, 1024);
  EXPECT_EQ(mixer.heardPosition(2100), 12100u);
  // Past the log's memory: a long session of small buffers, read at every one.
  std::uint32_t last = mixer.heardPosition(2100);
  bool monotonic = true;
  for (int i = 0; i < 500; ++i) {
    fill(mixer, 128, 128);
    const std::uint32_t now = mixer.heardPosition(mixer.deliveredFrames() - 1024 + 64);
    monotonic = monotonic && now >= last;
    last = now;
  }
  EXPECT_TRUE(monotonic);
  EXPECT_EQ(last, 10000 + mixer.deliveredFrames() - 1024 + 64);
}

}  // namespace
