#pragma once
// What to expect of the show on a CPU implementation of the graphics API (no GPU): a frame rate
// estimated from frame times measured on such a driver, and a smaller picture size to try.
// Portable arithmetic; the back end says it once on stderr when its device is one.
#include <cstdint>

namespace cpu_frame_estimate {

// Mean frame time over the whole show at 320x180 on a CPU driver (Mesa's llvmpipe on a 2-core
// machine; docs/PERFORMANCE.md, "Frame time per scene", glslang at its performance level): each
// scene's mean frame time weighted by its share of the timeline (Z1, Z2 32 patterns each; Z3..ZA
// 16 each; ZB 4):
//   (32 * 11.9 + 32 * 306.5 + 16 * (274.1 + 642.0 + 322.4 + 436.6 + 288.0 + 506.8 + 272.8
//    + 324.4) + 4 * 4.3) / 196 ms.
// Nearly all of it is per-pixel ray marching, so it scales with the pixel count.
inline constexpr double measuredWidth = 320;
inline constexpr double measuredHeight = 180;
inline constexpr double measuredFrameMs =
    (32 * 11.9 + 32 * 306.5 + 16 * (274.1 + 642.0 + 322.4 + 436.6 + 288.0 + 506.8 + 272.8 + 324.4) + 4 * 4.3) / 196;

// A suggestion is the chosen size halved on each side until this rate is reached, but no side
// shorter than minimumSide.
inline constexpr double wantedFramesPerSecond = 10;
inline constexpr int minimumSide = 64;

inline double framesPerSecondAt(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const double pixels = static_cast<double>(width) * static_cast<double>(height);
  return 1000.0 / (measuredFrameMs * pixels / (measuredWidth * measuredHeight));
}

struct Estimate {
  double framesPerSecond = 0;  // at the chosen size
  bool suggested = false;      // a smaller size is worth trying
  int suggestedWidth = 0;
  int suggestedHeight = 0;
  double suggestedFramesPerSecond = 0;
};

inline Estimate estimateAt(int width, int height) {
  Estimate estimate;
  estimate.framesPerSecond = framesPerSecondAt(width, height);
  if (estimate.framesPerSecond >= wantedFramesPerSecond) return estimate;
  int w = width;
  int h = height;
  while (w / 2 >= minimumSide && h / 2 >= minimumSide) {
    w /= 2;
    h /= 2;
    estimate.suggested = true;
    if (framesPerSecondAt(w, h) >= wantedFramesPerSecond) break;
  }
  if (estimate.suggested) {
    estimate.suggestedWidth = w;
    estimate.suggestedHeight = h;
    estimate.suggestedFramesPerSecond = framesPerSecondAt(w, h);
  }
  return estimate;
}

}  // namespace cpu_frame_estimate
