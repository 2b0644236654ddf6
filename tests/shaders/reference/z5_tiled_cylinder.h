// Mirrors shaders/z5_tiled_cylinder.hlsl; a change to that scene meant to change the picture updates this mirror.
#pragma once
#include "tests/shaders/reference/hlsl.h"

namespace reference {

// The colour Z5 stores at u (before the store's quantisation).
float3 Z5(const Params& q, float ux, float uy);

}  // namespace reference
