// PLACEHOLDER: a valid but silent song until the soundtrack is composed.
#include "song.h"

#include <array>

namespace {
constexpr std::array<std::uint8_t, 16> patterns{};
constexpr std::array<std::uint8_t, 15 * 196> order{};
constexpr std::array<std::uint8_t, 16> commands{};  // sixteen empty instruments
constexpr std::array<std::uint16_t, 22> delays{0,    1116, 1188, 1276, 1356,  1422,  1492, 1556,
                                              1618, 1140, 1212, 1300, 1380,  1446,  1516, 1580,
                                              1642, 15383, 23075, 480, 11537, 544};
const Song song{patterns, order, commands, {}, delays};
}  // namespace

const Song& builtinSong() { return song; }
