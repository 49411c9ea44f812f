// Free-form output: how a single-precision value looks as a free-form item
// (shortest digits, plain layout for decimal exponents -6 to 6, exponent form
// beyond), and how whole free-form lines are assembled from texts, integers
// and reals.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/free_form_writer.hpp"

namespace {

using velmora::format_free_real;

float from_bits(std::uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

struct RealCase {
  float value;
  const char* printed;
};

void expect_all(const std::vector<RealCase>& cases) {
  for (const RealCase& c : cases) {
    EXPECT_EQ(format_free_real(c.value), c.printed) << "value " << static_cast<double>(c.value);
  }
}

TEST(FreeFormReal, CommonValuesTakeThePlainOrExponentLayoutByTheirExponent) {
  expect_all({
      {1.0f, "1."},
      {3.0f, "3."},
      {125.0f, "125."},
      {100.0f, "100."},
      {0.1f, "0.1"},
      {0.000123f, "0.000123"},
      {1.0f / 3.0f, "0.33333334"},
      {2.0f / 3.0f, "0.6666667"},
      {-2.5f, "-2.5"},
      {90.0f, "90."},
      {123456.7f, "123456.7"},
      {1234567.0f, "1234567."},
      {1.0e7f, "1.E+7"},
      {1.2345678e7f, "1.2345678E+7"},
      {1.0e-6f, "0.000001"},
      {9.9e-7f, "9.9E-7"},
      {5.0e-7f, "5.E-7"},
      {0.0f, "0."},
      {-0.0f, "-0."},
  });
}

TEST(FreeFormReal, ExponentSixStaysPlainAndSevenTakesExponentForm) {
  expect_all({
      {999999.9f, "999999.9"},
      {1.0e6f, "1000000."},
      {9999999.0f, "9999999."},
      {1.0e7f, "1.E+7"},
      {-1.0e7f, "-1.E+7"},
      {12345670.0f, "1.234567E+7"},
      {-9999999.0f, "-9999999."},
  });
}

TEST(FreeFormReal, ExponentMinusSixStaysPlainAndMinusSevenTakesExponentForm) {
  expect_all({
      {1.0e-6f, "0.000001"},
      {1.5e-6f, "0.0000015"},
      {9.9e-7f, "9.9E-7"},
      {-9.9e-7f, "-9.9E-7"},
      {1.0e-7f, "1.E-7"},
      {9.999999e-6f, "0.000009999999"},
  });
}

TEST(FreeFormReal, PlainLayoutPadsWithZerosBeforeThePoint) {
  expect_all({
      {10.0f, "10."},
      {120000.0f, "120000."},
      {1500000.0f, "1500000."},
      {0.5f, "0.5"},
      {0.05f, "0.05"},
  });
}

TEST(FreeFormReal, ExponentFormAlwaysWritesTheExponentSign) {
  expect_all({
      {1.0e38f, "1.E+38"},
      {-2.5e-10f, "-2.5E-10"},
      {1.0e-30f, "1.E-30"},
      {1.0e10f, "1.E+10"},
  });
}

TEST(FreeFormReal, ExtremesOfTheFloatRange) {
  expect_all({
      {std::numeric_limits<float>::denorm_min(), "1.E-45"},
      {-std::numeric_limits<float>::denorm_min(), "-1.E-45"},
      {FLT_MAX, "3.4028235E+38"},
      {-FLT_MAX, "-3.4028235E+38"},
      {FLT_MIN, "1.1754944E-38"},
      {16777216.0f, "1.6777216E+7"},
  });
}

TEST(FreeFormReal, NotANumberAndInfinitiesPrintAsWords) {
  expect_all({
      {std::numeric_limits<float>::quiet_NaN(), "NaN"},
      {-std::numeric_limits<float>::quiet_NaN(), "NaN"},
      {from_bits(0x7F800001u), "NaN"},
      {std::numeric_limits<float>::infinity(), "+Inf"},
      {-std::numeric_limits<float>::infinity(), "-Inf"},
  });
}

TEST(FreeFormReal, NeighboursOfOneKeepEnoughDigitsToReadBack) {
  expect_all({
      {from_bits(0x3F800001u), "1.0000001"},   // 1 + 2^-23
      {from_bits(0x3F7FFFFFu), "0.99999994"},  // 1 - 2^-24
  });
}

// Between 2^21 and 2^22 floats are a quarter apart, so x.25 and x.75 lie
// exactly halfway between two valid shortest strings of one decimal: the
// upper digit is taken, whether it is odd or even.
TEST(FreeFormReal, ExactTieAtTheLastDigitTakesTheUpperDigit) {
  expect_all({
      {2097152.25f, "2097152.3"},
      {2097152.75f, "2097152.8"},
      {2097153.25f, "2097153.3"},
      {-4194303.25f, "-4194303.3"},
  });
}

// Line-level rules.

std::string line_of(std::initializer_list<velmora::FreeItem> items, const char* line_end = "\n") {
  velmora::Console console("", line_end);
  velmora::write_free_form(console, items);
  return console.out.kept_text();
}

TEST(FreeFormLine, StartsWithOneBlankEvenBeforeATextWithLeadingBlanks) {
  EXPECT_EQ(line_of({"   x"}), "    x\n");
  EXPECT_EQ(line_of({"Found"}), " Found\n");
  EXPECT_EQ(line_of({1.0f}), " 1.\n");
}

TEST(FreeFormLine, EmptyItemListPrintsTheLeadingBlankOnly) { EXPECT_EQ(line_of({}), " \n"); }

TEST(FreeFormLine, AdjacentTextsTouch) {
  EXPECT_EQ(line_of({"ab", "cd"}), " abcd\n");
  EXPECT_EQ(line_of({"Fe2", " is unknown symbol"}), " Fe2 is unknown symbol\n");
}

TEST(FreeFormLine, TrailingBlanksOfASymbolArePrinted) {
  EXPECT_EQ(line_of({"C  ", " is unknown symbol"}), " C   is unknown symbol\n");
}

TEST(FreeFormLine, TextsAroundAnIntegerKeepTheirOwnBlanksAndGainASeparator) {
  EXPECT_EQ(line_of({"Found ", 2, " mag atoms."}), " Found  2  mag atoms.\n");
}

TEST(FreeFormLine, NumbersAreSeparatedByOneBlank) {
  EXPECT_EQ(line_of({5.0f, 5.0f, 5.0f, 90.0f, 90.0f, 90.0f}), " 5. 5. 5. 90. 90. 90.\n");
  EXPECT_EQ(line_of({1, 2, -3}), " 1 2 -3\n");
  EXPECT_EQ(line_of({"n", 7, 0.5f, "x"}), " n 7 0.5 x\n");
}

TEST(FreeFormLine, IntegersPrintWithoutLeadingZerosOrPlusSign) {
  struct Case {
    std::int32_t value;
    const char* line;
  };
  const Case cases[] = {
      {0, " 0\n"},
      {42, " 42\n"},
      {-7, " -7\n"},
      {std::numeric_limits<std::int32_t>::max(), " 2147483647\n"},
      {std::numeric_limits<std::int32_t>::min(), " -2147483648\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(line_of({c.value}), c.line);
}

TEST(FreeFormLine, WindowsLineEndIsCarriageReturnLineFeed) {
  EXPECT_EQ(line_of({"a", 1}, "\r\n"), " a 1\r\n");
}

TEST(FreeFormLine, EachCallPrintsOneWholeLine) {
  velmora::Console console("", "\n");
  velmora::write_free_form(console, {"first"});
  velmora::write_free_form(console, {-0.0f, std::numeric_limits<float>::infinity()});
  EXPECT_EQ(console.out.kept_text(), " first\n -0. +Inf\n");
}

}  // namespace
