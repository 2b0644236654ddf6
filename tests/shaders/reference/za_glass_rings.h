// Mirrors shaders/za_glass_rings.hlsl; a change to that scene meant to change the picture updates this mirror.
#pragma once
#include "tests/shaders/reference/hlsl.h"

namespace reference {

// The whole ZA pixel (vx, vy) as stored, before the 8-bit conversion; hit tells whether any hit
// happened.
float3 zaPixel(const Params& q, int vx, int vy, bool& hit);

}  // namespace reference
