// The number grammar of intro-tool's options, and the reader of a command's option table.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tools/option_values.h"

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

struct Line {
  std::vector<std::string> words;
  std::vector<char*> argv;
  explicit Line(std::vector<std::string> arguments) : words(std::move(arguments)) {
    words.insert(words.begin(), "command");
    for (std::string& word : words) argv.push_back(word.data());
  }
};

struct Read {
  OptionsRead read;
  std::string out;
  bool flag = false;
};

Read readLine(std::vector<std::string> arguments) {
  Read result;
  Line line(std::move(arguments));
  const ToolOption options[] = {
      {"--out", OptionValue::next, keepText(result.out, "--out wants a file name")},
      {"--name", OptionValue::nonEmpty, keepText(result.out)},
      {"--flag", OptionValue::none, setFlag(result.flag)},
      {"--odd", OptionValue::next,
       [](std::string_view value) { return value == "1" ? std::string() : "--odd wants 1, not " + quotedValue(value); }},
  };
  result.read = readOptions(static_cast<int>(line.argv.size()), line.argv.data(), options);
  return result;
}

TEST(OptionTable, TakesValuesAndSwitchesInOrder) {
  Read r = readLine({"--flag", "--out", "-x.png", "--odd", "1"});
  EXPECT_EQ(r.read.problem, "");
  EXPECT_FALSE(r.read.help);
  EXPECT_TRUE(r.flag);
  EXPECT_EQ(r.out, "-x.png");  // a value may start with a dash
  r = readLine({"--out", "--help"});
  EXPECT_FALSE(r.read.help);
  EXPECT_EQ(r.out, "--help");
}

TEST(OptionTable, HelpStopsTheReadingButNotBeforeAnEarlierProblem) {
  EXPECT_TRUE(readLine({"--flag", "-h", "--bogus"}).read.help);
  const Read r = readLine({"--bogus", "--help"});
  EXPECT_FALSE(r.read.help);
  EXPECT_EQ(r.read.problem, "unknown option '--bogus'");
}

TEST(OptionTable, ProblemsAreWordedOnce) {
  EXPECT_EQ(readLine({"stray"}).read.problem, "unexpected argument 'stray'");
  EXPECT_EQ(readLine({"--flag", "--out"}).read.problem, "--out needs a value");
  EXPECT_EQ(readLine({"--out", ""}).read.problem, "--out wants a file name");
  EXPECT_EQ(readLine({"--name", ""}).read.problem, "--name needs a value");
  EXPECT_EQ(readLine({"--odd", "2", "--bogus"}).read.problem, "--odd wants 1, not '2'");
}

}  // namespace
