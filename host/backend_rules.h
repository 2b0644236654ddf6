#pragma once
// The rules both back ends (Vulkan on Linux, Direct3D 11 on Windows) follow alike, written once:
// the compute grid, the pipeline index of each entry point, cutting a compiler message to its
// buffer, and the steady clock that drives the show when there is no audio device. Portable and
// free of any graphics header, so that they are tested on every platform.
#include <cstddef>
#include <cstdint>

#include "synth/timing.h"

namespace backend_rules {

// Threads per thread-group side ([numthreads(16,16,1)] in every entry point).
inline constexpr std::uint32_t groupSide = 16;

// Thread groups along one side of a picture of `pixels` pixels: enough to cover every pixel
// (the shaders write nothing outside the picture). Zero or negative sizes give no groups.
inline constexpr std::uint32_t dispatchGroups(int pixels) {
  return pixels <= 0 ? 0u : (static_cast<std::uint32_t>(pixels) + groupSide - 1) / groupSide;
}

// Entry points are compiled in shaderEntryPoints' order: "Z1".."ZB", then "ZZ" (the final pass).
inline constexpr int entryPointCount = 12;
inline constexpr int finalPassPipeline = 0;

// Pipeline index of the entry point compiled in position `compileOrder` (0..11): "Z1".."ZB" are
// 1..11, so that the timeline's scene index is the pipeline index; the twelfth ("ZZ") is 0.
inline constexpr int pipelineIndexOf(int compileOrder) {
  return compileOrder == entryPointCount - 1 ? finalPassPipeline : compileOrder + 1;
}

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

// Sample frames a steady clock has played after `elapsedTicks` ticks of `ticksPerSecond`, at
// framesPerSecond, up to endFrame: the show's clock when there is no audio device. Nothing before
// the start; nothing at all from a clock without a rate.
inline std::uint32_t steadyFrames(std::int64_t elapsedTicks, std::int64_t ticksPerSecond, std::uint32_t endFrame,
                                  std::uint32_t framesPerSecond = sampleRate) {
  if (elapsedTicks <= 0 || ticksPerSecond <= 0) return 0;
  // Whole seconds and the rest apart, so that the product cannot overflow: past the end's second
  // the answer is the end whatever the count of seconds.
  const std::int64_t seconds = elapsedTicks / ticksPerSecond;
  const std::int64_t rest = elapsedTicks % ticksPerSecond;
  if (framesPerSecond == 0 || seconds > static_cast<std::int64_t>(endFrame / framesPerSecond)) return endFrame;
  // rest < ticksPerSecond: rest * framesPerSecond stays below 2^63 for clocks below 2^31 Hz (the
  // system's counters run at 10 MHz or 1 GHz); a faster one takes the fraction in double.
  const std::int64_t restFrames =
      ticksPerSecond < (std::int64_t{1} << 31)
          ? rest * framesPerSecond / ticksPerSecond
          : static_cast<std::int64_t>(static_cast<double>(rest) / static_cast<double>(ticksPerSecond) * framesPerSecond);
  const std::int64_t frames = seconds * framesPerSecond + restFrames;
  return frames >= static_cast<std::int64_t>(endFrame) ? endFrame : static_cast<std::uint32_t>(frames);
}

}  // namespace backend_rules
