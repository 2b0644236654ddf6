// Mirrors shaders/z2_ring_tunnel.hlsl; a change to that scene meant to change the picture updates this mirror.
#pragma once
//
// Z2's distance function M2 in double, without its noise term (which adds at most .002).
#include "tests/shaders/reference/hlsl.h"

namespace reference {

// Bilinear read of the first channel between texel centres, clamped at the edges (the default
// sampler), at texture coordinate (s, t).
double bilinear(const Text& text, double s, double t);

// M2's result and D.x, D.y, D.z, C.x.
struct RingField {
  double result, body, lettering, tube, foldX;
};
RingField ringField(double px, double py, double pz, double t, double e, const Text& logo);

}  // namespace reference
