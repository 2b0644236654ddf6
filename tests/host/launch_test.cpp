#include "host/launch.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// Runs the command line "intro <arguments...>".
LaunchSettings launch(std::initializer_list<const char*> arguments) {
  std::vector<const char*> argv{"intro"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return readLaunchSettings(static_cast<int>(argv.size()), argv.data());
}

void expectDefaultsWithUsage(const LaunchSettings& s) {
  EXPECT_TRUE(s.showUsage);
  EXPECT_EQ(s.resolutionX, 1280);
  EXPECT_EQ(s.resolutionY, 720);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result(1);
  for (char c : text) {
    if (c == '\n') result.emplace_back();
    else result.back() += c;
  }
  return result;
}

}  // namespace

TEST(LaunchSettings, MissingNumbersShowUsageAndTakeTheDefaults) {
  for (const LaunchSettings& s : {launch({}), launch({"1920"})}) {
    expectDefaultsWithUsage(s);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_FALSE(s.verticalSync);
    EXPECT_EQ(s.fullscreenArgument, 0);
    EXPECT_EQ(s.verticalSyncArgument, 0);
  }
}

TEST(LaunchSettings, ArgumentCountDecidesWhatIsRead) {
  const LaunchSettings two = launch({"1920", "1080"});
  EXPECT_FALSE(two.showUsage);
  EXPECT_EQ(two.resolutionX, 1920);
  EXPECT_EQ(two.resolutionY, 1080);
  EXPECT_FALSE(two.fullscreen);
  EXPECT_FALSE(two.verticalSync);

  const LaunchSettings three = launch({"1920", "1080", "1"});
  EXPECT_FALSE(three.showUsage);
  EXPECT_TRUE(three.fullscreen);
  EXPECT_FALSE(three.verticalSync);

  const LaunchSettings four = launch({"1920", "1080", "0", "1"});
  EXPECT_FALSE(four.fullscreen);
  EXPECT_TRUE(four.verticalSync);

  // Only exactly 1 switches on.
  const LaunchSettings two1 = launch({"1920", "1080", "2", "1"});
  EXPECT_EQ(two1.fullscreenArgument, 2);
  EXPECT_FALSE(two1.fullscreen);
  EXPECT_TRUE(two1.verticalSync);
  const LaunchSettings minus = launch({"1920", "1080", "-1", "01"});
  EXPECT_FALSE(minus.fullscreen);
  EXPECT_TRUE(minus.verticalSync);
}

TEST(LaunchSettings, ArgumentsAfterTheFourthAreIgnored) {
  const LaunchSettings s = launch({"1920", "1080", "1", "0", "7", "8"});
  EXPECT_FALSE(s.showUsage);
  EXPECT_EQ(s.resolutionX, 1920);
  EXPECT_EQ(s.resolutionY, 1080);
  EXPECT_TRUE(s.fullscreen);
  EXPECT_FALSE(s.verticalSync);
  EXPECT_EQ(s.verticalSyncArgument, 0);
}

TEST(LaunchSettings, SizesOfNoPixelsFallBackToTheDefaults) {
  expectDefaultsWithUsage(launch({"abc", "600"}));
  expectDefaultsWithUsage(launch({"1280", "0"}));
  expectDefaultsWithUsage(launch({"0", "0"}));
  expectDefaultsWithUsage(launch({"-640", "480"}));
  expectDefaultsWithUsage(launch({"640", "-1"}));
  expectDefaultsWithUsage(launch({"-2147483648", "-5"}));
  // Z and W are still read.
  const LaunchSettings s = launch({"0", "480", "1", "1"});
  expectDefaultsWithUsage(s);
  EXPECT_TRUE(s.fullscreen);
  EXPECT_TRUE(s.verticalSync);
}

TEST(LaunchSettings, AnyPositiveSizeIsUsedUnchanged) {
  const LaunchSettings odd = launch({"70", "50"});
  EXPECT_FALSE(odd.showUsage);
  EXPECT_EQ(odd.resolutionX, 70);
  EXPECT_EQ(odd.resolutionY, 50);
  const LaunchSettings one = launch({"1", "1"});
  EXPECT_EQ(one.resolutionX, 1);
  EXPECT_EQ(one.resolutionY, 1);
  const LaunchSettings text = launch({" +320xyz", "\t176 px"});
  EXPECT_FALSE(text.showUsage);
  EXPECT_EQ(text.resolutionX, 320);
  EXPECT_EQ(text.resolutionY, 176);
}

TEST(ParseInteger, AgreesWithTheCLibraryInsideTheIntRange) {
  for (const char* text : {"0", "42", "-42", "+42", "  42", "\t\n\v\f\r 42", "42abc", "4 2", "abc", "", "-", "+",
                           "+-3", "-+3", " - 3", "007", "-0", "1e3", "0x10", "2147483647", "-2147483648",
                           "1920.5", "\x7f" "5", "12\n34"}) {
    EXPECT_EQ(parseInteger(text), std::atoi(text)) << '"' << text << '"';
  }
}

TEST(ParseInteger, SaturatesBeyondTheIntRange) {
  EXPECT_EQ(parseInteger("2147483648"), INT_MAX);
  EXPECT_EQ(parseInteger("-2147483649"), INT_MIN);
  EXPECT_EQ(parseInteger("99999999999999999999999999999999"), INT_MAX);
  EXPECT_EQ(parseInteger("-99999999999999999999999999999999"), INT_MIN);
  EXPECT_EQ(parseInteger("00000000000000000000000000000012"), 12);
  EXPECT_EQ(parseInteger(nullptr), 0);
}

TEST(UsageMessage, SixteenLinesWithTabsAndNoFinalLineFeed) {
  const std::vector<std::string> text = lines(usageText);
  ASSERT_EQ(text.size(), 16u);
  EXPECT_FALSE(text.back().empty());
  EXPECT_EQ(text[0], "Not enough Arguments given !");
  EXPECT_EQ(text[1], "Starting in Default Resolution of 1280*720 windowed.");
  for (int empty : {2, 4, 13}) EXPECT_TRUE(text[empty].empty()) << "line " << empty + 1;
  EXPECT_EQ(text[6], ">intro.exe X Y [Z] [W]");
  EXPECT_EQ(text[9], "Z = Fullscreen\t0=Off\t1=On");
  EXPECT_EQ(text[10], "W = Vertical Sync\t0=Off\t1=On");
  EXPECT_EQ(text[15], " >intro.exe 1920 1080 1 0");
  EXPECT_EQ(std::string(usageText).find('\r'), std::string::npos);
  EXPECT_STREQ(usageCaption, "zIrPo does NOT approve!");
}
