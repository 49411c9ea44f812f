// Fixed-layout output: fixed-point fields (exact rounding with ties to even,
// the sign of values that round to zero, asterisks for values that do not
// fit, the dropped leading zero, NaN and the infinities), integer and text
// fields, and whole lines built from touching fields.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/fixed_layout_writer.hpp"
#include "numbers/fixed_point.hpp"

namespace {

using velmora::format_fixed_point;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct FixedCase {
  int width;
  int decimals;
  float value;
  const char* printed;  // the whole field, blanks included
};

void expect_all(const std::vector<FixedCase>& cases) {
  for (const FixedCase& c : cases) {
    EXPECT_EQ(format_fixed_point(c.value, c.width, c.decimals), c.printed)
        << "width " << c.width << ", " << c.decimals << " decimals, value " << static_cast<double>(c.value);
  }
}

TEST(FixedPointField, ValuesAreRoundedPaddedOrStarredInEachKindInUse) {
  expect_all({
      {5, 1, 0.5f, "  0.5"},
      {5, 1, -0.5f, " -0.5"},
      {5, 1, 0.25f, "  0.2"},
      {5, 1, -0.04f, " -0.0"},
      {5, 1, 999.96f, "*****"},
      {5, 1, -99.96f, "*****"},
      {7, 3, 1.0f, "  1.000"},
      {7, 3, 0.0625f, "  0.062"},
      {8, 3, 0.1f, "   0.100"},
      {8, 4, 123.4567f, "123.4567"},
      {8, 4, -0.0f, " -0.0000"},
      {8, 4, -100.0f, "********"},
      {8, 4, kNaN, "     NaN"},
      {8, 4, kInf, "    +Inf"},
      {12, 3, 1.2345679e7f, "12345679.000"},
      {12, 3, 1.0e8f, "************"},
  });
}

TEST(FixedPointField, LargestAndSmallestShownValuesOfEachKindFit) {
  expect_all({
      {5, 1, -99.9f, "-99.9"},
      {5, 1, 999.9f, "999.9"},
      {7, 3, -99.999f, "-99.999"},
      {7, 3, 999.999f, "999.999"},
      {8, 3, -999.999f, "-999.999"},
      {8, 3, 9999.999f, "9999.999"},
      {8, 4, -99.9999f, "-99.9999"},
      {8, 4, 999.9999f, "999.9999"},
      {12, 3, -9999999.0f, "-9999999.000"},  // -9999999.999 is no float
      {12, 3, 99999992.0f, "99999992.000"},  // the largest float below 10^8
  });
}

// For each field kind, the float nearest below the rounding point of the
// largest text that fits (whose last digit 9 is odd, so an exact tie would
// round up and overflow) and the float just above it. All literals are exact.
TEST(FixedPointField, LastFloatThatFitsAndFirstThatDoesNot) {
  expect_all({
      {5, 1, 999.949951171875f, "999.9"},         {5, 1, 999.95001220703125f, "*****"},
      {5, 1, -99.9499969482421875f, "-99.9"},     {5, 1, -99.95000457763671875f, "*****"},
      {7, 3, 999.99945068359375f, "999.999"},     {7, 3, 999.99951171875f, "*******"},
      {7, 3, -99.9994964599609375f, "-99.999"},   {7, 3, -99.99950408935546875f, "*******"},
      {8, 3, 9999.9990234375f, "9999.999"},       {8, 3, 10000.0f, "********"},
      {8, 3, -999.99945068359375f, "-999.999"},   {8, 3, -999.99951171875f, "********"},
      {8, 4, 999.99993896484375f, "999.9999"},    {8, 4, 1000.0f, "********"},
      {8, 4, -99.99994659423828125f, "-99.9999"}, {8, 4, -99.9999542236328125f, "********"},
      {12, 3, 99999992.0f, "99999992.000"},       {12, 3, 100000000.0f, "************"},
      {12, 3, -9999999.0f, "-9999999.000"},       {12, 3, -10000000.0f, "************"},
  });
}

TEST(FixedPointField, HugeValuesFillTheFieldWithAsterisks) {
  expect_all({
      {5, 1, 1.0e30f, "*****"},
      {12, 3, -3.4028235e38f, "************"},
      {8, 4, 1.7e13f, "********"},
      {8, 4, 2.0e13f, "********"},
  });
}

TEST(FixedPointField, ExactTiesGoToTheEvenDigit) {
  expect_all({
      {5, 1, 0.25f, "  0.2"},
      {5, 1, 0.75f, "  0.8"},
      {5, 1, -0.25f, " -0.2"},
      {5, 1, -0.75f, " -0.8"},
      {5, 1, 2.25f, "  2.2"},
      {5, 1, 2.75f, "  2.8"},
      {7, 3, 0.0625f, "  0.062"},
      {7, 3, 0.1875f, "  0.188"},
      {8, 4, 0.03125f, "  0.0312"},
      {8, 4, 0.09375f, "  0.0938"},
  });
}

TEST(FixedPointField, RoundingSeesTheStoredValueNotTheDecimalLiteral) {
  expect_all({
      {5, 1, 0.35f, "  0.3"},       // stored as 0.34999999403...
      {5, 1, 0.45f, "  0.4"},       // stored as 0.44999998807...
      {8, 3, 1.0005f, "   1.000"},  // stored as 1.00049996376...
      {7, 3, 0.0005f, "  0.001"},   // stored as 0.00050000002374...
  });
}

TEST(FixedPointField, RoundingCarriesIntoTheIntegerPart) {
  expect_all({
      {5, 1, 9.96f, " 10.0"},
      {5, 1, 99.96f, "100.0"},
      {7, 3, 0.9996f, "  1.000"},
      {8, 4, -9.99996f, "-10.0000"},
  });
}

TEST(FixedPointField, NegativeValuesKeepTheirSignWhenRoundedToZero) {
  expect_all({
      {5, 1, -0.04f, " -0.0"},
      {5, 1, -0.0f, " -0.0"},
      {8, 4, -4.37e-8f, " -0.0000"},
      {8, 4, -std::numeric_limits<float>::denorm_min(), " -0.0000"},
      {12, 3, -0.0004f, "      -0.000"},
      {5, 1, 0.0f, "  0.0"},
      {8, 4, std::numeric_limits<float>::denorm_min(), "  0.0000"},
  });
}

TEST(FixedPointField, NotANumberAndInfinitiesAreRightAligned) {
  expect_all({
      {5, 1, kNaN, "  NaN"},
      {5, 1, kInf, " +Inf"},
      {5, 1, -kInf, " -Inf"},
      {7, 3, kNaN, "    NaN"},
      {7, 3, -kInf, "   -Inf"},
      {8, 3, kInf, "    +Inf"},
      {8, 4, -kInf, "    -Inf"},
      {12, 3, kNaN, "         NaN"},
      {12, 3, kInf, "        +Inf"},
      {12, 3, -kNaN, "         NaN"},
  });
}

TEST(FixedPointField, PositiveInfinityLosesItsPlusSignOnlyInAFieldOfWidthThree) {
  expect_all({
      {3, 1, kInf, "Inf"},
      {3, 1, kNaN, "NaN"},
      {4, 1, kInf, "+Inf"},
  });
}

// Width 4 with 3 decimals has no room for the leading 0 of a value below 1:
// "0.500" is one character too long, so its leading 0 goes. "-0.500" is two
// too long and gives asterisks; at width 5 it is one too long and loses its 0.
TEST(FixedPointField, LeadingZeroIsDroppedWhenTheTextIsOneTooLong) {
  expect_all({
      {4, 3, 0.5f, ".500"},
      {4, 3, 0.0f, ".000"},
      {4, 3, 0.9994f, ".999"},
      {4, 3, 0.9996f, "****"},  // rounds to 1.000: one too long, no leading 0
      {4, 3, 1.5f, "****"},
      {4, 3, -0.5f, "****"},
      {4, 3, -0.0f, "****"},
      {5, 3, -0.5f, "-.500"},
      {5, 3, -0.0f, "-.000"},
      {5, 3, 0.5f, "0.500"},
      {5, 3, -1.5f, "*****"},
      {2, 1, 0.25f, ".2"},
  });
}

TEST(IntegerField, WidthThreeHoldsThreeCharactersOrAsterisks) {
  struct Case {
    std::int32_t value;
    const char* printed;
  };
  const Case cases[] = {
      {0, "  0"},
      {7, "  7"},
      {-7, " -7"},
      {999, "999"},
      {-99, "-99"},
      {1000, "***"},
      {-100, "***"},
      {std::numeric_limits<std::int32_t>::max(), "***"},
      {std::numeric_limits<std::int32_t>::min(), "***"},
  };
  for (const Case& c : cases) EXPECT_EQ(velmora::format_integer_field(c.value, 3), c.printed) << c.value;
}

TEST(TextField, ShortTextsAreRightAlignedAndLongOnesCut) {
  struct Case {
    int width;
    const char* text;
    const char* printed;
  };
  const Case cases[] = {
      {5, "abc", "  abc"},
      {5, "abcde", "abcde"},
      {5, "abcdefgh", "abcde"},
      {5, "", "     "},
      {5, "C  ", "  C  "},
      {7, "|Fn|^2", " |Fn|^2"},
      {8, "  h  k", "    h  k"},
      {12, "d-spacing", "   d-spacing"},
      {12, "a rather long heading", "a rather lon"},
  };
  for (const Case& c : cases) EXPECT_EQ(velmora::format_text_field(c.text, c.width), c.printed) << c.text;
}

// Line-level rules.

using velmora::fixed_field;
using velmora::integer_field;
using velmora::text_field;

std::string line_of(std::initializer_list<velmora::FieldSpec> fields,
                    std::initializer_list<velmora::FieldValue> values) {
  velmora::Console console("", "\n");
  velmora::write_fixed_layout(console, fields, values);
  return console.out.kept_text();
}

TEST(FixedLayoutLine, FieldsTouchWithNoLeadingBlank) {
  EXPECT_EQ(line_of({fixed_field(5, 1), fixed_field(5, 1)}, {123.4f, -99.9f}), "123.4-99.9\n");
  EXPECT_EQ(line_of({integer_field(3), integer_field(3), integer_field(3)}, {1, -10, 100}), "  1-10100\n");
  EXPECT_EQ(line_of({text_field(5), fixed_field(8, 4)}, {"a", 1.0f}), "    a  1.0000\n");
}

TEST(FixedLayoutLine, MixesFieldKindsInOrder) {
  EXPECT_EQ(line_of({integer_field(3), fixed_field(8, 4), text_field(7), fixed_field(12, 3)},
                    {2, 0.5f, "Fe2", -1234.5f}),
            "  2  0.5000    Fe2   -1234.500\n");
}

TEST(FixedLayoutLine, AsterisksKeepTheLineLength) {
  std::string line =
      line_of({fixed_field(7, 3), fixed_field(7, 3), fixed_field(7, 3)}, {1.0f, 12345.0f, 2.0f});
  EXPECT_EQ(line, "  1.000*******  2.000\n");
}

TEST(FixedLayoutLine, LineEndsWhereTheValuesRunOut) {
  EXPECT_EQ(line_of({integer_field(3), integer_field(3), integer_field(3)}, {5}), "  5\n");
  EXPECT_EQ(line_of({fixed_field(8, 3), text_field(5), text_field(5)}, {1.0f, "x"}), "   1.000    x\n");
  EXPECT_EQ(line_of({integer_field(3)}, {}), "\n");
}

TEST(FixedLayoutLine, UsesTheConsoleLineEnd) {
  velmora::Console console("", "\r\n");
  velmora::write_fixed_layout(console, {integer_field(3)}, {4});
  velmora::write_fixed_layout(console, {text_field(5)}, {"ab"});
  EXPECT_EQ(console.out.kept_text(), "  4\r\n   ab\r\n");
}

}  // namespace
