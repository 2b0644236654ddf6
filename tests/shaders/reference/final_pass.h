// Mirrors shaders/final.hlsl (ZZ); a change to the final pass meant to change the picture updates this mirror.
#pragma once
#include <cstdint>
#include <vector>

#include "tests/shaders/reference/hlsl.h"

namespace reference {

// ZZ over the scene pass's picture (RGBA8, width x height) at music time t, stored as RGBA8.
std::vector<std::uint8_t> finalPass(const std::vector<std::uint8_t>& scene, int width, int height, float t);

// ZZ's colour at pixel (vx, vy) where the blocks are single pixels (the middle of a scene), before
// the store, with the glow spiral scaled by alpha instead of the pixel's own alpha. Its cube is a
// product, where finalPass takes std::pow.
float3 finalPassGlow(const std::vector<std::uint8_t>& scene, int width, int height, int vx, int vy, float alpha);

}  // namespace reference
