#pragma once
// The small rules of the Windows back end's own that need no Windows header: the play position
// from the units a wave-out device may report, and what a failed Direct3D call says. Portable, so
// that they are tested on every platform. The rules both back ends share are in backend_rules.h.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "synth/timing.h"

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

// The two results (DXGI_ERROR_DEVICE_REMOVED, DXGI_ERROR_DEVICE_RESET) after which the device is
// gone; d3d11_device.cpp checks them against the Windows headers.
inline constexpr std::uint32_t deviceRemoved = 0x887A0005;
inline constexpr std::uint32_t deviceReset = 0x887A0007;

// Only a negative HRESULT is a failure: Present's positive statuses (an occluded window) are not.
inline bool failed(std::int32_t result) { return result < 0; }

// The line a failed call leaves on standard error, cut to messageSize - 1 bytes:
// "intro: CreateTexture2D of the render texture (320 x 180) failed (0x80070057)"; subject may be
// null. A removed device adds its removal reason, a reset one says so.
inline void failureMessage(char* message, std::size_t messageSize, std::int32_t result, const char* call,
                           const char* subject, std::int32_t removedReason = 0) {
  const auto code = static_cast<std::uint32_t>(result);
  char after[96] = "";
  if (code == deviceRemoved)
    std::snprintf(after, sizeof after, ": the device was removed (reason 0x%08X)",
                  static_cast<unsigned>(static_cast<std::uint32_t>(removedReason)));
  else if (code == deviceReset)
    std::snprintf(after, sizeof after, ": the device was reset");
  std::snprintf(message, messageSize, "intro: %s%s%s failed (0x%08X)%s", call, subject != nullptr ? " of " : "",
                subject != nullptr ? subject : "", static_cast<unsigned>(code), after);
}

}  // namespace d3d11rules
