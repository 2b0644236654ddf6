// The decoded render's shortcuts give the same bits as the forms they stand for.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "units.h"

namespace {

using namespace synth;

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

TEST(PowerOfTwoFast, SameBitsAsPowerOfTwo) {
  // Pitch exponents / 12 in practice lie within a few units of 0; sweep far beyond, across the
  // bounds where the product form hands over to ldexp, with fractions of every size.
  for (double whole = -1100.0; whole <= 1100.0; whole += 1.0) {
    for (double fraction : {0.0, 1e-17, 1e-9, 0.0833333284, 0.25, 0.5, 0.7071, 0.999999999999}) {
      for (double x : {whole + fraction, whole - fraction}) {
        ASSERT_EQ(bits(powerOfTwoFast(x)), bits(powerOfTwo(x))) << x;
      }
    }
  }
  // Pitch exponents as an oscillator forms them: 128 (t - 1/2 + m) + 2 (d - 1/2) + n, over 12.
  std::uint32_t state = 12345;
  for (int i = 0; i < 200000; ++i) {
    state = state * 1664525u + 1013904223u;
    const double exponent = (static_cast<double>(state) / 4294967296.0 - 0.5) * 600.0;
    const double x = exponent * double{oneTwelfth};
    ASSERT_EQ(bits(powerOfTwoFast(x)), bits(powerOfTwo(x))) << x;
  }
  for (double x : {-0.0, 999.999, -999.999, 1000.0, -1000.0, 4096.5, -4096.5, 1e300, -1e300}) {
    EXPECT_EQ(bits(powerOfTwoFast(x)), bits(powerOfTwo(x))) << x;
  }
  EXPECT_EQ(powerOfTwoFast(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
  EXPECT_EQ(powerOfTwoFast(-std::numeric_limits<double>::infinity()), 0.0);
  EXPECT_TRUE(std::isnan(powerOfTwoFast(std::nan(""))));
}

TEST(FilterCoefficient, FixedCoefficientGivesTheSameFrames) {
  // runFilter works the coefficient out every frame; the decoded render once, with field 4 at 0.
  UnitSlot a{}, b{};
  const double frequency = 40.0 / 128.0, damping = 60.0 / 128.0;
  const double f = filterCoefficient(UnitSlot{}, frequency);
  for (int frame = 0; frame < 1000; ++frame) {
    const double x = std::sin(frame * 0.05);
    const double ya = runFilter(a, 60, frequency, damping, 7, x);
    const double yb = filterStep(b, f, damping, 7, x);
    ASSERT_EQ(bits(ya), bits(yb)) << frame;
  }
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a.field[i], b.field[i]) << i;
}

}  // namespace
