#pragma once
// The largest picture side each command takes, and why. The device may still refuse a size below
// these (its maxImageDimension2D); the renderer then says so.
#include "tools/sheet_layout.h"

// frame and play: the image side that desktop Vulkan devices, and the software driver the tests
// run on, offer (maxImageDimension2D); beyond it no device renders.
inline constexpr int largestPictureSide = 16384;

// capture: H.264's levels end at 8K (8192x4320 at level 6.2); a wider video plays nowhere.
inline constexpr int largestVideoSide = 8192;

// sheet: its stills lie four across on one picture, which keeps to the largest picture side.
inline constexpr int largestStillSide = largestPictureSide / sheetColumns;
// sheet: the smallest still; it leaves room for one glyph of its caption between the margins.
inline constexpr int smallestStillSide = 16;
