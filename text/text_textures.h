#pragma once
#include <cstdint>

// One rasterised text: width x 13 texels, RGBA8, each texel (255,255,255,255) or (0,0,0,0).
struct TextTexture {
  const char* stem;           // "Intro", "Greetz", "VELM", "Thirty", "Creditz"
  int width;
  int height;
  const std::uint8_t* rgba;   // width * height * 4 bytes, row 0 at the top; static storage
};

enum TextId { introText, greetzText, velmText, thirtyText, creditzText, textCount };

// Draws the five texts from the built-in font into static pixel buffers, in the order
// Intro, Greetz, VELM, Thirty, Creditz. Calling it again redraws the same pixels.
void rasteriseTexts(TextTexture (&textures)[textCount]);

// Shader slot (1..5, t1..t5) that each text is bound to.
int textSlot(TextId id);

// ---- the font and the texts, for the host's tests and tools ----

inline constexpr int glyphWidth = 8;
inline constexpr int glyphHeight = 13;
inline constexpr int glyphBytes = glyphWidth * glyphHeight;  // 104
inline constexpr int firstGlyphCode = 32;                    // space
inline constexpr int glyphCount = 59;                        // codes 32 (space) to 90 ("Z")

// One byte per pixel (1 inked, 0 empty); cell of code q at byte 104 * (q - 32), rows top down,
// 8 bytes per row left to right.
extern const std::uint8_t (&fontGlyphs)[glyphCount * glyphBytes];

// The characters of a text (exactly `length` of them; no terminating zero is read).
struct TextString {
  const char* stem;
  const char* characters;
  int length;
};
const TextString& textString(TextId id);

// Draws `length` characters into `pixels` (8 * length by 13 words, row stride 8 * length):
// 0xFFFFFFFF for an inked pixel, 0 for an empty one; a code outside 32..90 draws an empty cell.
void rasteriseText(const char* characters, int length, std::uint32_t* pixels);
