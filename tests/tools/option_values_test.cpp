// The number grammar of intro-tool's options.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "option_values.h"

namespace {

TEST(OptionValues, DecimalNumbersAndNothingElse) {
  const struct {
    const char* text;
    double value;
  } numbers[] = {{"5", 5},       {"+5", 5},        {"-5", -5},     {"5.", 5},     {".5", 0.5},
                 {"2.5e2", 250}, {"1E-3", 0.001},  {"0", 0},       {"490", 490},  {"1e-320", 1e-320},
                 {"1e-400", 0},  {"007", 7},       {"1.5e+1", 15}};
  for (const auto& n : numbers) {
    const std::optional<double> value = parseDecimal(n.text);
    ASSERT_TRUE(value.has_value()) << n.text;
    EXPECT_EQ(*value, n.value) << n.text;
  }
  for (const char* text : {"", " 5", "5 ", "0x10", "inf", "-inf", "nan", "1e999", "-1e999", "5e", "e5", ".", "-",
                           "+-5", "5..0", "1,5", "5x", "\t5", "1e+", "--5"}) {
    EXPECT_FALSE(parseDecimal(text).has_value()) << "'" << text << "'";
  }
}

TEST(OptionValues, FloatsAreRoundedOnceFromTheDigits) {
  // The float nearest the digits, as a float literal gives it.
  EXPECT_EQ(parseDecimalFloat("0.1"), 0.1f);
  EXPECT_EQ(parseDecimalFloat("180.7"), 180.7f);
  EXPECT_EQ(parseDecimalFloat("1e-50"), 0.0f);
  EXPECT_FALSE(parseDecimalFloat("1e39").has_value());
  EXPECT_FALSE(parseDecimalFloat("0x1p3").has_value());
}

TEST(OptionValues, WholeNumbersAndSizes) {
  EXPECT_EQ(parseWholeNumber("60", 1, 240), 60);
  EXPECT_EQ(parseWholeNumber("60.0", 1, 240), 60);
  EXPECT_EQ(parseWholeNumber("6e1", 1, 240), 60);
  EXPECT_EQ(parseWholeNumber("12057920", 1, 12057920), 12057920);
  for (const char* text : {"0", "241", "29.97", "-1", " 60", "60 ", "0x3c", "1e999", ""}) {
    EXPECT_FALSE(parseWholeNumber(text, 1, 240).has_value()) << "'" << text << "'";
  }
  int width = 0;
  int height = 0;
  ASSERT_TRUE(parseSize("1920x1080", 8192, width, height));
  EXPECT_EQ(width, 1920);
  EXPECT_EQ(height, 1080);
  for (const char* text : {"1920", "x1080", "1920x", "0x100", "100x0", "1920 x1080", "1920x1080x2", "8193x100",
                           "64X48", "-64x48"}) {
    EXPECT_FALSE(parseSize(text, 8192, width, height)) << text;
  }
}

TEST(OptionValues, LongValuesAreQuotedInPart) {
  EXPECT_EQ(quotedValue("--loud"), "'--loud'");
  const std::string quoted = quotedValue(std::string(10'000'000, '9'));
  EXPECT_LT(quoted.size(), 80u);
  EXPECT_NE(quoted.find("(10000000 characters)"), std::string::npos) << quoted;
}

}  // namespace
