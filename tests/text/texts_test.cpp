#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "text/text_textures.h"

namespace {

std::string text(TextId id) {
  const TextString& t = textString(id);
  return std::string(t.characters, static_cast<std::size_t>(t.length));
}

int wordCount(const std::string& s) {
  std::istringstream words(s);
  std::string word;
  int n = 0;
  while (words >> word) ++n;
  return n;
}

std::set<char> nonLetters(const std::string& s) {
  std::set<char> result;
  for (char c : s)
    if (!(c >= 'A' && c <= 'Z')) result.insert(c);
  return result;
}

std::set<char> setOf(const std::string& s) { return std::set<char>(s.begin(), s.end()); }

int occurrences(const std::string& s, const std::string& what) {
  int n = 0;
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

bool hasGlyph(char c) {
  if (c < firstGlyphCode || c >= firstGlyphCode + glyphCount) return false;
  for (int i = 0; i < glyphBytes; ++i)
    if (fontGlyphs[glyphBytes * (c - firstGlyphCode) + i]) return true;
  return false;
}

const TextId allTexts[] = {introText, greetzText, velmText, thirtyText, creditzText};

}  // namespace

TEST(Texts, LengthsAndStems) {
  const char* stems[] = {"Intro", "Greetz", "VELM", "Thirty", "Creditz"};
  const int lengths[] = {256, 256, 32, 10, 12};
  for (TextId id : allTexts) {
    EXPECT_STREQ(textString(id).stem, stems[id]);
    EXPECT_EQ(textString(id).length, lengths[id]) << stems[id];
  }
}

TEST(Texts, EveryCharacterIsASpaceOrHasAGlyph) {
  for (TextId id : allTexts)
    for (char c : text(id)) EXPECT_TRUE(c == ' ' || hasGlyph(c)) << textString(id).stem << " '" << c << "'";
}

TEST(Texts, ScrollerMessage) {
  const std::string s = text(introText);
  EXPECT_EQ(wordCount(s), 42);
  EXPECT_NE(s.front(), ' ');
  EXPECT_NE(s.back(), ' ');
  EXPECT_EQ(nonLetters(s), setOf("01239 !#()+-"));
  EXPECT_EQ(occurrences(s, "#"), 2);
  EXPECT_EQ(occurrences(s, "()"), 2);
  EXPECT_EQ(occurrences(s, "("), 2);
  EXPECT_EQ(occurrences(s, ")"), 2);
}

TEST(Texts, Greetings) {
  const std::string s = text(greetzText);
  EXPECT_EQ(wordCount(s), 30);
  EXPECT_NE(s.front(), ' ');
  EXPECT_EQ(s.back(), ' ');
  EXPECT_NE(s[s.size() - 2], ' ');
  EXPECT_EQ(nonLetters(s), setOf("157 !()+-."));
  EXPECT_EQ(occurrences(s, "()"), 1);
  EXPECT_EQ(occurrences(s, "("), 1);
}

TEST(Texts, MakersLineIsCentred) {
  const std::string s = text(velmText);
  EXPECT_EQ(s.substr(0, 5), "     ");
  EXPECT_EQ(s.substr(28), "    ");
  const std::string line = s.substr(5, 23);
  EXPECT_NE(line.front(), ' ');
  EXPECT_NE(line.back(), ' ');
  EXPECT_NE(line.find("VELM"), std::string::npos);
  EXPECT_EQ(nonLetters(s), setOf(" +."));
}

TEST(Texts, AnniversaryCaption) {
  const std::string s = text(thirtyText);
  EXPECT_EQ(s[0], ' ');
  EXPECT_EQ(s[3], ' ');
  EXPECT_EQ(s[9], ' ');
  EXPECT_EQ(setOf(s.substr(1, 2)), setOf("03"));
  for (char c : s.substr(4, 5)) EXPECT_TRUE(c >= 'A' && c <= 'Z') << c;
}

TEST(Texts, CreditsLine) {
  const std::string s = text(creditzText);
  EXPECT_EQ(s.substr(4, 3), " + ");
  for (char c : s.substr(0, 4) + s.substr(7)) EXPECT_TRUE(c >= 'A' && c <= 'Z') << c;
}

TEST(Rasteriser, TexelsShowTheGlyphOfTheirCharacter) {
  TextTexture textures[textCount];
  rasteriseTexts(textures);
  const int widths[] = {2048, 2048, 256, 80, 96};
  for (TextId id : allTexts) {
    const TextTexture& texture = textures[id];
    const std::string s = text(id);
    ASSERT_NE(texture.rgba, nullptr);
    EXPECT_STREQ(texture.stem, textString(id).stem);
    EXPECT_EQ(texture.width, widths[id]);
    EXPECT_EQ(texture.height, 13);
    for (int y = 0; y < texture.height; ++y) {
      for (int x = 0; x < texture.width; ++x) {
        const char c = s[static_cast<std::size_t>(x / 8)];
        const int glyph = fontGlyphs[glyphBytes * (c - firstGlyphCode) + glyphWidth * y + x % 8];
        const std::uint8_t* texel = texture.rgba + 4 * (y * texture.width + x);
        for (int channel = 0; channel < 4; ++channel)
          ASSERT_EQ(texel[channel], glyph ? 255 : 0) << texture.stem << " texel " << x << ',' << y;
      }
    }
  }
}

TEST(Rasteriser, SecondCallDrawsTheSamePixels) {
  TextTexture first[textCount];
  rasteriseTexts(first);
  std::vector<std::vector<std::uint8_t>> copies;
  for (const TextTexture& t : first) copies.emplace_back(t.rgba, t.rgba + 4 * t.width * t.height);
  TextTexture second[textCount];
  rasteriseTexts(second);
  for (int id = 0; id < textCount; ++id) {
    ASSERT_EQ(second[id].width, first[id].width);
    EXPECT_TRUE(std::equal(copies[id].begin(), copies[id].end(), second[id].rgba)) << first[id].stem;
  }
}

TEST(Rasteriser, BlanksAndCodesWithoutACellOverwriteEverything) {
  const std::string blanks = std::string("  Q\"@") + char(31) + char(91) + char(-56) + char(127);
  std::vector<std::uint32_t> pixels(8 * blanks.size() * 13, 0xDEADBEEFu);
  rasteriseText(blanks.data(), static_cast<int>(blanks.size()), pixels.data());
  for (std::uint32_t word : pixels) ASSERT_EQ(word, 0u);

  // Ink comes out as all ones, in place, and only the text's own width is touched.
  std::vector<std::uint32_t> wide(8 * 2 * 13 + 1, 0x12345678u);
  rasteriseText("H.", 2, wide.data());
  EXPECT_EQ(wide.back(), 0x12345678u);
  for (int r = 0; r < 13; ++r) {
    for (int j = 0; j < 16; ++j) {
      const int cell = (j < 8 ? 'H' : '.') - firstGlyphCode;
      const std::uint32_t expected = fontGlyphs[glyphBytes * cell + 8 * r + j % 8] ? 0xFFFFFFFFu : 0u;
      EXPECT_EQ(wide[static_cast<std::size_t>(r * 16 + j)], expected) << r << ',' << j;
    }
  }
}

TEST(Rasteriser, SlotsFollowTheShaderNames) {
  EXPECT_EQ(textSlot(velmText), 1);
  EXPECT_EQ(textSlot(introText), 2);
  EXPECT_EQ(textSlot(thirtyText), 3);
  EXPECT_EQ(textSlot(greetzText), 4);
  EXPECT_EQ(textSlot(creditzText), 5);
}
