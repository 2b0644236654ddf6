#pragma once
#include <cstdint>
#include <span>

// A song in the synthesizer's format: note patterns, pattern lists, instrument programs
// (opcode and parameter byte streams) and the delay-length table. Read-only while rendering.
struct Song {
  std::span<const std::uint8_t> songPatterns;        // 16 note bytes per pattern
  std::span<const std::uint8_t> songOrder;           // 196 pattern numbers per track, tracks 0..14
  std::span<const std::uint8_t> instrumentCommands;  // opcodes, each instrument ended by 0
  std::span<const std::uint8_t> instrumentParams;    // parameter bytes, in opcode order
  std::span<const std::uint16_t> delayLengths;       // indexed by a DelayBank's first entry
};

// The intro's own song.
const Song& builtinSong();
