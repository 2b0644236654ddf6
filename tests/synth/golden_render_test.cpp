// Golden fingerprints of the synthesizer's output: a hash of the sound and of the envelope log of
// two fixed songs, checked in. The tests that compare the render paths with each other cannot see
// a change that both paths share (a unit's arithmetic, a constant, the order of two additions);
// this one can.
//
// When a change to the sound is intended: listen to it (intro-tool song --out FILE.wav), run this
// test, check that only the fingerprints you meant to change differ, and copy the values it
// prints into the table below, saying in the commit why the sound changed.
//
// The figures hold for Linux builds on x86-64 with glibc (the units call its sin and exp2); a C
// library with different last bits would need figures of its own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "synth/render_paths.h"
#include "synth/synth.h"
#include "tests/synth/song_builder.h"

namespace {

// FNV-1a, 64 bits, over the bytes as they lie in memory (little-endian floats).
std::uint64_t fingerprint(const void* data, std::size_t size, std::uint64_t hash = 0xcbf29ce484222325ull) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

struct Fingerprints {
  std::uint64_t sound = 0;
  std::uint64_t envelopeLog = 0;
};

Fingerprints renderAndHash(const Song& song, std::uint32_t frames, FrameRunner runner) {
  SynthMemoryPtr memory = allocateSynthMemory();
  EXPECT_TRUE(renderSongFramesWith(*memory, song, frames, runner));
  Fingerprints out;
  out.sound = fingerprint(memory->soundBuffer, sizeof(float) * 2 * frames);
  const std::uint32_t records = frames / envelopeLogPeriod;  // the complete ones
  out.envelopeLog = fingerprint(memory->envelopeLog, sizeof(memory->envelopeLog[0]) * records);
  return out;
}

std::string hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

struct Golden {
  const char* name;
  std::uint32_t frames;
  std::uint64_t sound;
  std::uint64_t envelopeLog;
};

// The first 12 seconds of the built-in song (on the compiled song) and 5 of the test songs' mix
// (every unit, on the interpreter). Other tests hold the two paths to each other; one render of
// each song is enough here.
constexpr Golden goldens[] = {
    {"built-in song", 12 * 44100, 0x1bfdd3a64dc0cb7eull, 0x013f12dd84a11cecull},
    {"mix song", 5 * 44100, 0x2ba993332be6b7d5ull, 0x4f5875461b6398e4ull},
};

TEST(GoldenRender, SoundAndEnvelopeLogKeepTheirFingerprints) {
  const SongBuilder mix = makeMixSong();
  const Song songs[] = {builtinSong(), mix.song()};
  for (int i = 0; i < 2; ++i) {
    const Golden& golden = goldens[i];
    const Fingerprints got = renderAndHash(songs[i], golden.frames, FrameRunner::automatic);
    EXPECT_EQ(hex(got.sound), hex(golden.sound)) << golden.name << ": the sound changed";
    EXPECT_EQ(hex(got.envelopeLog), hex(golden.envelopeLog)) << golden.name << ": the envelope log changed";
  }
}

}  // namespace
