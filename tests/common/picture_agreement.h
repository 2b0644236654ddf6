#pragma once
// How closely two RGBA8 pictures of the same size agree: the measure for the same frame drawn
// through two shader compilers (glslang, or Direct3D bytecode) or two back ends. Portable: used
// by the GPU tests here and by the Windows back-end test under wine.
//
// A route that reads the text alike differs only by rounding, so nearly every pixel is within a
// few levels and the differences average out over small blocks. A construct read differently
// shows up as whole regions off, which the block measure catches even where a few pixels on
// edges are far apart.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

struct PictureAgreement {
  double pixelsWithin8 = 0;   // share of pixels whose four channels all differ by 8 levels or less
  double blockMean = 0;       // mean over 8x8 blocks and channels of |difference of block means|
  double pixelMean = 0;       // mean |difference| over all channels
  int maxDifference = 0;      // largest channel difference
  double exact = 0;           // share of pixels with all four channels equal

  // The bar two routes must clear: at least 95 % of pixels within 8 levels and 8x8 blocks within
  // 2 levels on average.
  bool agrees() const { return pixelsWithin8 >= 0.95 && blockMean <= 2.0; }

  std::string describe() const {
    char text[160];
    std::snprintf(text, sizeof text, "%.2f %% within 8, block mean %.3f, pixel mean %.3f, max %d, %.2f %% exact",
                  pixelsWithin8 * 100, blockMean, pixelMean, maxDifference, exact * 100);
    return text;
  }
};

inline PictureAgreement comparePictures(const std::uint8_t* a, const std::uint8_t* b, int width, int height) {
  PictureAgreement result;
  if (width <= 0 || height <= 0) return result;
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::size_t within = 0, equal = 0;
  double sum = 0;
  for (std::size_t i = 0; i < pixels; ++i) {
    int largest = 0;
    for (int c = 0; c < 4; ++c) {
      const int d = std::abs(static_cast<int>(a[i * 4 + c]) - static_cast<int>(b[i * 4 + c]));
      largest = std::max(largest, d);
      sum += d;
    }
    result.maxDifference = std::max(result.maxDifference, largest);
    if (largest <= 8) ++within;
    if (largest == 0) ++equal;
  }
  result.pixelsWithin8 = static_cast<double>(within) / static_cast<double>(pixels);
  result.exact = static_cast<double>(equal) / static_cast<double>(pixels);
  result.pixelMean = sum / static_cast<double>(pixels * 4);

  // Blocks at the right and bottom edges may be smaller than 8x8; each counts as one block.
  double blockSum = 0;
  std::size_t blocks = 0;
  for (int by = 0; by < height; by += 8) {
    for (int bx = 0; bx < width; bx += 8) {
      const int w = std::min(8, width - bx), h = std::min(8, height - by);
      for (int c = 0; c < 4; ++c) {
        long long sa = 0, sb = 0;
        for (int yy = by; yy < by + h; ++yy)
          for (int xx = bx; xx < bx + w; ++xx) {
            const std::size_t at = (static_cast<std::size_t>(yy) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(xx)) * 4 + static_cast<std::size_t>(c);
            sa += a[at];
            sb += b[at];
          }
        blockSum += std::abs(static_cast<double>(sa - sb)) / (w * h);
        ++blocks;
      }
    }
  }
  result.blockMean = blockSum / static_cast<double>(blocks);
  return result;
}

// Two routes agree where rounding cannot grow into whole pixels. Some scenes are chaotic: Z9's
// layers ripple by several units through sines of arguments in the thousands, and its rays are
// refracted again and again, so a difference in the last bit of a sine moves a surface past the
// hit threshold and sends the ray another way. There two routes must differ no more than one
// route differs from itself when e moves by one unit in the last place: the same reading of the
// text, rounded otherwise.
inline bool agreesAsRounding(const PictureAgreement& routes, const PictureAgreement& nudged) {
  return routes.agrees() || (routes.pixelsWithin8 >= nudged.pixelsWithin8 - 0.03 &&
                             routes.blockMean <= std::max(2.0, nudged.blockMean * 1.5));
}
