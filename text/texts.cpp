// The five texts. Upper case only; every character is a space or a code from 32 to 90 that has a
// glyph. Each is exactly as long as its texture is wide in characters (width / 8).
#include "text/text_textures.h"

namespace {

// The scroller of the title scene: 42 words, no space at either end.
constexpr char introCharacters[] =
    "HELLO EARTHLINGS! WELCOME TO OUR BIRTHDAY CELEBRATION () THIRTY SUMMERS AGO IN 1993 "
    "RESTLESS TEENAGERS BORROWED COMPUTERS AND STARTED PAINTING PIXELS AND COMPOSING NOISE # "
    "TODAY IN 2023 WE ARE STILL CODING + DREAMING - THANKS FOR WATCHING # STAY CURIOUS ()";

// Greetings: 30 words, one space at the end.
constexpr char greetzCharacters[] =
    "WARMEST GREETINGS TRAVEL TOWARD MOSSWORKS. LANTERNFISH COLLECTIVE. CINDRA SYMPHONIETTA. "
    "NIGHTJAR 1757. SILENT SPROUTS + PAPERCLIP SOCIETY. FIZZCAP ASSEMBLY. HEXAGON MILLWORKS. "
    "WOMBAT-BRIGADE. GLOWMOTH ARCHIVISTS. TEAM HALFTONE. EVERYONE ELSE WE FORGOT! () ";

// The makers' line: 23 characters with 5 spaces before and 4 after.
constexpr char velmCharacters[] = "     VELM + MARROWGLASS INC.    ";

// The anniversary caption.
constexpr char thirtyCharacters[] = " 30 TURNS ";

// Credits: two names joined by " + ".
constexpr char creditzCharacters[] = "ORVO + DALKE";

static_assert(sizeof introCharacters - 1 == 256);
static_assert(sizeof greetzCharacters - 1 == 256);
static_assert(sizeof velmCharacters - 1 == 32);
static_assert(sizeof thirtyCharacters - 1 == 10);
static_assert(sizeof creditzCharacters - 1 == 12);

constexpr int lengthOf(const char* text) {
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

const TextString texts[textCount] = {
    {"Intro", introCharacters, lengthOf(introCharacters)},
    {"Greetz", greetzCharacters, lengthOf(greetzCharacters)},
    {"VELM", velmCharacters, lengthOf(velmCharacters)},
    {"Thirty", thirtyCharacters, lengthOf(thirtyCharacters)},
    {"Creditz", creditzCharacters, lengthOf(creditzCharacters)},
};

}  // namespace

const TextString& textString(TextId id) { return texts[id]; }
