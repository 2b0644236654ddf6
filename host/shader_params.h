#pragma once

#include <array>
#include <bit>

// The constant buffer every pass reads, in the order the shaders declare it
// (float e, e2, e3, t, x, y). Uploaded as 32 bytes: Direct3D's constant buffers come in 16-byte
// multiples, so the last two floats only pad.
struct ShaderParams {
  float e = 0, e2 = 0, e3 = 0;  // sync levels
  float t = 0;                  // music time
  float x = 0, y = 0;           // picture size in pixels
  float pad[2] = {0, 0};

  // The eight floats in upload order, for code that walks them (logs, comparisons).
  std::array<float, 8> floats() const { return std::bit_cast<std::array<float, 8>>(*this); }
};
static_assert(sizeof(ShaderParams) == 8 * sizeof(float), "the shaders read eight packed floats");
