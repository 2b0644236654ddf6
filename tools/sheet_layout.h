#pragma once
// The contact sheet of intro-tool sheet: which moment of each scene it shows and where.
#include <cstddef>

struct SheetMoment {
  const char* entryPoint;  // the scene's entry point
  float t;                 // music time, well inside the scene's window (no mosaic blocks)
  const char* name;        // caption in the intro's font (capitals, digits, space)
};

// The ten scenes and the end, in the order of the show. Each moment lies in the middle of its
// scene's window, where the final pass leaves the picture whole (it turns it into blocks around
// every scene change); among those, chosen by eye. The first beat of a pattern (t a multiple of
// 2.5) often has the drums set the flash values to 1, which washes some scenes out.
inline constexpr SheetMoment sheetMoments[] = {
    {"Z1", 41.0f, "TITLE"},           {"Z2", 121.0f, "RING TUNNEL"},    {"Z3", 190.0f, "CORRIDOR"},
    {"Z4", 220.0f, "GLASS TUNNEL"},   {"Z5", 261.0f, "TILED CYLINDER"}, {"Z6", 301.0f, "TILED HALL"},
    {"Z7", 340.0f, "LATTICE TUNNEL"}, {"Z8", 366.0f, "PLATES AND BLOBS"},  {"Z9", 421.0f, "CHECKERBOARDS"},
    {"ZA", 460.0f, "GLASS RINGS"},    {"ZB", 485.0f, "THE END"},
};
inline constexpr int sheetMomentCount = static_cast<int>(sizeof sheetMoments / sizeof sheetMoments[0]);

// Cells of sheetColumns across, row by row; each is the still with a caption strip below it.
inline constexpr int sheetColumns = 4;
inline constexpr int sheetRows = (sheetMomentCount + sheetColumns - 1) / sheetColumns;

// The caption's font scale and strip height for stills of this width.
inline constexpr int sheetFontScale(int stillWidth) { return stillWidth >= 640 ? 3 : stillWidth >= 400 ? 2 : 1; }
inline constexpr int sheetCaptionHeight(int stillWidth) { return (13 + 6) * sheetFontScale(stillWidth); }
