// The intro's own song: the readable source in song/ turned into the byte tables at compile time.
#include "synth/song.h"

#include "synth/song/arrangement.h"
#include "synth/song/instruments.h"
#include "synth/song/patterns.h"

namespace {
using namespace song;

constexpr auto patternBytes = [] {
  std::array<std::uint8_t, 16 * patterns.size()> bytes{};
  for (std::size_t p = 0; p < patterns.size(); ++p) {
    const Pattern rows = pattern(patterns[p].rows);
    for (std::size_t r = 0; r < 16; ++r) bytes[16 * p + r] = rows[r];
  }
  return bytes;
}();

constexpr auto orderBytes = [] {
  std::array<std::uint8_t, 15 * songLength> bytes{};
  for (std::size_t t = 0; t < tracks.size(); ++t)
    for (std::size_t k = 0; k < songLength; ++k) bytes[songLength * t + k] = tracks[t][k];
  return bytes;
}();

constexpr auto commandBytes = [] {
  std::array<std::uint8_t, opcodeBytes(instruments)> bytes{};
  std::size_t n = 0;
  for (const auto& instrument : instruments) {
    for (const auto& unit : instrument) bytes[n++] = unit.opcode;
    bytes[n++] = synth::opEnd;
  }
  return bytes;
}();

constexpr auto paramBytes = [] {
  std::array<std::uint8_t, parameterBytes(instruments)> bytes{};
  std::size_t n = 0;
  for (const auto& instrument : instruments)
    for (const auto& unit : instrument)
      for (std::size_t i = 0; i < unit.count; ++i) bytes[n++] = unit.bytes[i];
  return bytes;
}();

// Delay lengths in samples. 1..8 and 9..16: two sets of reverberator lines (the second 24
// longer); 17, 18, 20: four, six and three ticks; 19, 21: short reflections.
constexpr std::array<std::uint16_t, 22> delays{0,    1116, 1188, 1276, 1356,  1422,  1492, 1556,
                                              1618, 1140, 1212, 1300, 1380,  1446,  1516, 1580,
                                              1642, 15383, 23075, 480, 11537, 544};

static_assert(commandBytes.size() == 279, "the instruments' unit lists changed length");
static_assert(paramBytes.size() == 946, "the instruments' parameter streams changed length");

const Song builtin{patternBytes, orderBytes, commandBytes, paramBytes, delays};
}  // namespace

const Song& builtinSong() { return builtin; }
