#include "text/text_textures.h"

namespace {

// One static image per text, so that all five stay valid for the upload after rasterising.
std::uint32_t introPixels[2048 * glyphHeight];
std::uint32_t greetzPixels[2048 * glyphHeight];
std::uint32_t velmPixels[256 * glyphHeight];
std::uint32_t thirtyPixels[80 * glyphHeight];
std::uint32_t creditzPixels[96 * glyphHeight];

std::uint32_t* const textPixels[textCount] = {introPixels, greetzPixels, velmPixels, thirtyPixels, creditzPixels};
const int textPixelCount[textCount] = {
    sizeof introPixels / sizeof introPixels[0],   sizeof greetzPixels / sizeof greetzPixels[0],
    sizeof velmPixels / sizeof velmPixels[0],     sizeof thirtyPixels / sizeof thirtyPixels[0],
    sizeof creditzPixels / sizeof creditzPixels[0],
};

}  // namespace

void rasteriseText(const char* characters, int length, std::uint32_t* pixels) {
  const int width = glyphWidth * length;
  for (int k = 0; k < length; ++k) {
    // The code as a signed 8-bit value; codes without a cell draw as an empty one.
    const int cell = static_cast<signed char>(characters[k]) - firstGlyphCode;
    const bool hasCell = cell >= 0 && cell < glyphCount;
    for (int r = 0; r < glyphHeight; ++r) {
      for (int j = 0; j < glyphWidth; ++j) {
        const std::uint32_t ink = hasCell ? fontGlyphs[glyphBytes * cell + glyphWidth * r + j] : 0u;
        pixels[r * width + glyphWidth * k + j] = 0u - ink;
      }
    }
  }
}

void rasteriseTexts(TextTexture (&textures)[textCount]) {
  for (int id = 0; id < textCount; ++id) {
    const TextString& text = textString(static_cast<TextId>(id));
    const int width = glyphWidth * text.length;
    // Each texture keeps its own buffer; a text longer than its buffer would be a build mistake.
    if (width * glyphHeight > textPixelCount[id]) {
      textures[id] = {text.stem, 0, 0, nullptr};
      continue;
    }
    rasteriseText(text.characters, text.length, textPixels[id]);
    // Every word is 0 or 0xFFFFFFFF, so its four bytes are the texel's R, G, B, A in any byte order.
    textures[id] = {text.stem, width, glyphHeight, reinterpret_cast<const std::uint8_t*>(textPixels[id])};
  }
}

int textSlot(TextId id) {
  switch (id) {
    case velmText: return 1;
    case introText: return 2;
    case thirtyText: return 3;
    case greetzText: return 4;
    case creditzText: return 5;
    default: return 0;
  }
}
