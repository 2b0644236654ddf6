// Mirrors shaders/z7_lattice_tunnel.hlsl; a change to that scene meant to change the picture updates this mirror.
#pragma once
#include "tests/shaders/reference/hlsl.h"

namespace reference {

// Z7's march for pixel (vx, vy) up to its first hit. Returns false if the ray hits something or
// comes within `clearance` of a hit; otherwise true with the z at which the loop ended.
bool z7RunsClear(const Params& q, int vx, int vy, float clearance, float& zEnd);

}  // namespace reference
