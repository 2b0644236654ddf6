#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "text/text_textures.h"

namespace {

using Range = std::pair<int, int>;  // first, last (inclusive)

// The glyph inventory: which codes, and the rows and columns their ink covers.
struct InventoryRow {
  std::string codes;
  std::vector<Range> rows;
  std::vector<Range> columns;
};

std::string letters(const std::string& except) {
  std::string result;
  for (char c = 'A'; c <= 'Z'; ++c)
    if (except.find(c) == std::string::npos) result += c;
  return result;
}

const std::vector<InventoryRow>& inventory() {
  static const std::vector<InventoryRow> rows = {
      {letters("QI"), {{1, 11}}, {{0, 6}}},
      {"I", {{1, 11}}, {{1, 5}}},
      {"02345689", {{3, 9}}, {{0, 6}}},
      {"1", {{3, 9}}, {{2, 4}}},
      {"7", {{3, 9}}, {{1, 6}}},
      {"!", {{1, 8}, {10, 11}}, {{3, 4}}},
      {"?", {{1, 11}}, {{0, 6}}},
      {".", {{10, 11}}, {{0, 1}}},
      {"-", {{6, 6}}, {{0, 6}}},
      {"#", {{3, 10}}, {{0, 6}}},
      {"(", {{3, 10}}, {{2, 7}}},
      {")", {{3, 10}}, {{0, 4}}},
      {"*", {{3, 9}}, {{0, 6}}},
      {"+", {{3, 9}}, {{0, 6}}},
      {"$", {{2, 4}}, {{2, 3}, {5, 6}}},
  };
  return rows;
}

const std::string emptyCells = " \"%&',/:;<=>@Q";

int ink(char code, int row, int column) {
  return fontGlyphs[glyphBytes * (code - firstGlyphCode) + glyphWidth * row + column];
}

std::set<int> inkedRows(char code) {
  std::set<int> rows;
  for (int r = 0; r < glyphHeight; ++r)
    for (int j = 0; j < glyphWidth; ++j)
      if (ink(code, r, j)) rows.insert(r);
  return rows;
}

std::set<int> inkedColumns(char code) {
  std::set<int> columns;
  for (int r = 0; r < glyphHeight; ++r)
    for (int j = 0; j < glyphWidth; ++j)
      if (ink(code, r, j)) columns.insert(j);
  return columns;
}

// The ink spans the listed ranges: both ends of each range are inked, nothing outside them is.
void expectSpans(const std::set<int>& inked, const std::vector<Range>& ranges, char code, const char* what) {
  for (const Range& range : ranges) {
    EXPECT_TRUE(inked.count(range.first)) << "'" << code << "' " << what << ' ' << range.first;
    EXPECT_TRUE(inked.count(range.second)) << "'" << code << "' " << what << ' ' << range.second;
  }
  for (int index : inked) {
    bool inside = false;
    for (const Range& range : ranges) inside = inside || (index >= range.first && index <= range.second);
    EXPECT_TRUE(inside) << "'" << code << "' " << what << ' ' << index << " is inked";
  }
}

std::vector<std::uint32_t> rasterise(const std::string& text) {
  std::vector<std::uint32_t> pixels(glyphWidth * text.size() * glyphHeight, 0x5A5A5A5Au);
  rasteriseText(text.data(), static_cast<int>(text.size()), pixels.data());
  return pixels;
}

}  // namespace

TEST(Font, EveryByteIsZeroOrOne) {
  EXPECT_EQ(sizeof fontGlyphs, 59u * 104u);
  for (std::uint8_t byte : fontGlyphs) ASSERT_LE(byte, 1u);
}

TEST(Font, GlyphsCoverTheirInventoryMetrics) {
  int described = 0;
  for (const InventoryRow& row : inventory()) {
    for (char code : row.codes) {
      ++described;
      expectSpans(inkedRows(code), row.rows, code, "row");
      expectSpans(inkedColumns(code), row.columns, code, "column");
    }
  }
  // Everything with a glyph is in the inventory, everything else is empty.
  EXPECT_EQ(described + static_cast<int>(emptyCells.size()), glyphCount);
}

TEST(Font, FullHeightGlyphsAreSolidOverTheirRows) {
  // Bold capitals and the digits have ink on every row of their height.
  for (char code : letters("Q") + "0123456789") {
    const std::set<int> rows = inkedRows(code);
    const int first = *rows.begin(), last = *rows.rbegin();
    EXPECT_EQ(static_cast<int>(rows.size()), last - first + 1) << code;
  }
  // The exclamation mark's stroke is two pixels wide on every inked row.
  for (int r : inkedRows('!')) EXPECT_EQ(ink('!', r, 3) + ink('!', r, 4), 2) << r;
}

TEST(Font, EmptyCellsHaveNoInkAndTheRestHave) {
  for (int code = firstGlyphCode; code < firstGlyphCode + glyphCount; ++code) {
    int total = 0;
    for (int i = 0; i < glyphBytes; ++i) total += fontGlyphs[glyphBytes * (code - firstGlyphCode) + i];
    const bool empty = emptyCells.find(static_cast<char>(code)) != std::string::npos;
    EXPECT_EQ(total == 0, empty) << "code " << code;
  }
}

TEST(Font, TopRowBottomRowAndColumnSevenStayEmpty) {
  for (int code = firstGlyphCode; code < firstGlyphCode + glyphCount; ++code) {
    const char c = static_cast<char>(code);
    for (int j = 0; j < glyphWidth; ++j) {
      EXPECT_EQ(ink(c, 0, j), 0) << c;
      EXPECT_EQ(ink(c, 12, j), 0) << c;
    }
    int columnSeven = 0;
    for (int r = 0; r < glyphHeight; ++r) columnSeven += ink(c, r, 7);
    EXPECT_EQ(columnSeven > 0, c == '(') << c;
  }
}

TEST(Font, DigitsAreCentredOnTheLetters) {
  const std::set<int> letter = inkedRows('H'), digit = inkedRows('8');
  EXPECT_EQ(*letter.begin() + *letter.rbegin(), *digit.begin() + *digit.rbegin());
  EXPECT_LT(digit.size(), letter.size());
}

TEST(Font, ParenthesesJoinIntoOneSprite) {
  const std::vector<std::uint32_t> both = rasterise("()");
  const int width = 16;
  // Flood fill from the first inked pixel over 8 neighbours; it must reach every inked pixel.
  std::vector<int> seen(both.size(), 0);
  std::vector<int> stack;
  int inked = 0;
  for (std::size_t i = 0; i < both.size(); ++i) {
    if (both[i] == 0) continue;
    ++inked;
    if (stack.empty() && inked == 1) {
      stack.push_back(static_cast<int>(i));
      seen[i] = 1;
    }
  }
  int reached = 0;
  while (!stack.empty()) {
    const int i = stack.back();
    stack.pop_back();
    ++reached;
    const int x = i % width, y = i / width;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int nx = x + dx, ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= width || ny >= glyphHeight) continue;
        const int n = ny * width + nx;
        if (both[n] != 0 && !seen[n]) {
          seen[n] = 1;
          stack.push_back(n);
        }
      }
  }
  EXPECT_GT(inked, 0);
  EXPECT_EQ(reached, inked);
  // The pair touches across the cell boundary: column 7 meets column 8 on some row.
  bool touches = false;
  for (int r = 0; r < glyphHeight; ++r) touches = touches || (both[r * width + 7] && both[r * width + 8]);
  EXPECT_TRUE(touches);

  // "(" alone is the left half of that sprite, and nothing more.
  const std::vector<std::uint32_t> left = rasterise("(");
  for (int r = 0; r < glyphHeight; ++r)
    for (int j = 0; j < glyphWidth; ++j) EXPECT_EQ(left[r * 8 + j], both[r * width + j]) << r << ',' << j;
}
