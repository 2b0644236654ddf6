#pragma once
// The small rules of the Windows back end's own that need no Windows header: the play position
// from the units a wave-out device may report. Portable, so that they are tested on every
// platform. The rules both back ends share are in backend_rules.h.
#include <cstdint>

#include "timing.h"

namespace d3d11rules {

// Bytes of one sample frame: two 32-bit floats.
inline constexpr std::uint32_t bytesPerFrame = 8;

// Units in which a wave-out device reports its position (the values of MMTIME.wType).
enum class PositionUnit : std::uint32_t { milliseconds = 1, samples = 2, bytes = 4 };

// A position report in sample frames of sampleRate per second and bytesPerFrame bytes each;
// reports in other units (SMPTE, MIDI, ticks) give `previous` unchanged.
inline std::uint32_t framesOfReport(std::uint32_t unit, std::uint32_t value, std::uint32_t previous) {
  switch (static_cast<PositionUnit>(unit)) {
    case PositionUnit::samples:
      return value;
    case PositionUnit::bytes:
      return value / bytesPerFrame;
    case PositionUnit::milliseconds:
      return static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) * sampleRate / 1000);
  }
  return previous;
}

// The play position the frame loop sees: never behind the previous one, never past the song's end.
inline std::uint32_t nextPlayPosition(std::uint32_t previous, std::uint32_t reported, std::uint32_t endFrame) {
  std::uint32_t position = reported < previous ? previous : reported;
  return position > endFrame ? endFrame : position;
}

}  // namespace d3d11rules
