#pragma once
// The small rules of the Windows back end that need no Windows header: the pipeline index of each
// entry point, the compute grid, cutting a compiler message to its buffer, the play position from
// the units a wave-out device may report, and the steady clock used without a device. Portable, so
// that they are tested on every platform.
#include <cstddef>
#include <cstdint>

namespace d3d11rules {

// Threads per thread-group side ([numthreads(16,16,1)] in every entry point).
inline constexpr std::uint32_t groupSide = 16;

// Thread groups along one side of a picture of `pixels` pixels: enough to cover every pixel
// (the shaders write nothing outside the picture). Zero or negative sizes give no groups.
inline constexpr std::uint32_t dispatchGroups(int pixels) {
  return pixels <= 0 ? 0u : (static_cast<std::uint32_t>(pixels) + groupSide - 1) / groupSide;
}

// Pipeline index (pCS) of the entry point compiled in position `compileOrder` (0..11): "Z1".."ZB"
// are 1..11, the twelfth ("ZZ", the final pass) is 0.
inline constexpr int pipelineIndexOf(int compileOrder) { return compileOrder == 11 ? 0 : compileOrder + 1; }

inline constexpr const char* unknownCompilerError = "unknown compiler error";

// Writes the compiler's message into message (messageSize bytes): the text up to its first zero
// byte or textSize bytes, whichever comes first, cut to messageSize - 1 bytes and zero-terminated.
// Without a text (null) the message is "unknown compiler error". Returns the length written.
inline std::size_t copyCompilerMessage(char* message, std::size_t messageSize, const char* text,
                                       std::size_t textSize) {
  if (message == nullptr || messageSize == 0) return 0;
  if (text == nullptr) {
    text = unknownCompilerError;
    textSize = sizeof "unknown compiler error" - 1;
  }
  std::size_t length = 0;
  while (length < textSize && length + 1 < messageSize && text[length] != '\0') {
    message[length] = text[length];
    ++length;
  }
  message[length] = '\0';
  return length;
}

// Units in which a wave-out device reports its position (the values of MMTIME.wType).
enum class PositionUnit : std::uint32_t { milliseconds = 1, samples = 2, bytes = 4 };

// A position report in sample frames of 44,100 per second and 8 bytes (two floats) each; reports in
// other units (SMPTE, MIDI, ticks) give `previous` unchanged.
inline std::uint32_t framesOfReport(std::uint32_t unit, std::uint32_t value, std::uint32_t previous) {
  switch (static_cast<PositionUnit>(unit)) {
    case PositionUnit::samples:
      return value;
    case PositionUnit::bytes:
      return value / 8;
    case PositionUnit::milliseconds:
      return static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) * 44100 / 1000);
  }
  return previous;
}

// The play position the frame loop sees: never behind the previous one, never past the song's end.
inline std::uint32_t nextPlayPosition(std::uint32_t previous, std::uint32_t reported, std::uint32_t endFrame) {
  std::uint32_t position = reported < previous ? previous : reported;
  return position > endFrame ? endFrame : position;
}

// Sample frames a steady clock has played after `elapsedTicks` ticks of `ticksPerSecond`, up to
// endFrame: the show's clock when there is no audio device.
inline std::uint32_t steadyFrames(std::int64_t elapsedTicks, std::int64_t ticksPerSecond, std::uint32_t endFrame) {
  if (elapsedTicks <= 0 || ticksPerSecond <= 0) return 0;
  // Whole seconds and the rest apart, so that the product cannot overflow.
  const std::int64_t seconds = elapsedTicks / ticksPerSecond;
  const std::int64_t rest = elapsedTicks % ticksPerSecond;
  const std::int64_t frames = seconds * 44100 + rest * 44100 / ticksPerSecond;
  return frames >= static_cast<std::int64_t>(endFrame) ? endFrame : static_cast<std::uint32_t>(frames);
}

}  // namespace d3d11rules
