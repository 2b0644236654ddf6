// Mirrors shaders/z1_title.hlsl; a change to that scene meant to change the picture updates this mirror.
#pragma once
//
// Z1 is two-dimensional, so its formulas, in 32-bit float, predict every pixel. A pixel whose text
// read or line test lies where a rounding error could flip it is marked undecided.
#include "tests/shaders/reference/hlsl.h"

namespace reference {

struct TitlePixel {
  float3 colour{};
  bool decided = true;  // no read or line test lies where a rounding error could flip it
};

class TitleModel {
 public:
  TitleModel(const Text& logo, const Text& scroller, const Text& credits)
      : logo_(logo), scroller_(scroller), credits_(credits) {}

  TitlePixel at(int vx, int vy, float t, float e2, float x, float y) const;

  // Texel address of the scroller itself (not its echoes) at pixel (vx, vy).
  static void scrollerAddress(int vx, int vy, float t, float x, float y, float& col, float& row);

  // A read whose value would change if its address moved by a rounding error is undecided.
  static float read(const Text& text, float px, float py, TitlePixel& out);

 private:
  static void near(TitlePixel& out, float v, float edge);

  Text logo_, scroller_, credits_;
};

}  // namespace reference
