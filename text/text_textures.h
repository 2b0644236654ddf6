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
