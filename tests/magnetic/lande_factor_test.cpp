// Landé factors from ground-state terms against the values printed in
// tables of free-ion g factors, and every term of the shipped ion table read.
#include "magnetic/lande_factor.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "magnetic/magnetic_ion_table.hpp"

namespace velmora {
namespace {

struct TermCase {
  const char* term;
  double g;  // 0: no Landé factor (J = 0)
};

TEST(LandeFactor, FreeIonValuesOfCommonTerms) {
  const TermCase cases[] = {
      {"6H15/2", 4.0 / 3}, {"4I9/2", 8.0 / 11}, {"6H5/2", 2.0 / 7}, {"8S7/2", 2},    {"7F6", 1.5},
      {"2F7/2", 8.0 / 7},  {"3H6", 7.0 / 6},    {"5I8", 1.25},      {"4I15/2", 1.2}, {"2F5/2", 6.0 / 7},
      {"3H4", 0.8},        {"5D4", 1.5},        {"4F9/2", 4.0 / 3}, {"3F4", 1.25},   {"2D5/2", 1.2},
      {"2D3/2", 0.8},      {"6D1/2", 10.0 / 3}, {"7F0", 0},         {"5D0", 0},
  };
  for (const TermCase& c : cases) {
    const auto term = read_term(c.term);
    ASSERT_TRUE(term) << c.term;
    const auto g = lande_factor(*term);
    if (c.g == 0) {
      EXPECT_FALSE(g) << c.term;
    } else {
      ASSERT_TRUE(g) << c.term;
      EXPECT_NEAR(*g, c.g, 1e-12) << c.term;
    }
  }
}

TEST(LandeFactor, TextThatIsNoCoupledTermIsRefused) {
  for (const char* text :
       {"", "6H", "H15/2", "6Q5/2", "6J5/2", "2S5/2", "3F3/2", "4F2", "6H15/3", "0S0", "6H-5/2"})
    EXPECT_FALSE(read_term(text)) << text;
}

TEST(LandeFactor, EveryTermOfTheShippedTableReads) {
  const MagneticIonTable table =
      read_magnetic_ion_table(std::filesystem::path(VELMORA_TESTS_DIR) / "../data/magnetic_form_factors.csv");
  EXPECT_EQ(table.ions.size(), 154u);
  for (const MagneticIon& ion : table.ions) EXPECT_TRUE(read_term(ion.term)) << ion.label << " " << ion.term;
}

}  // namespace
}  // namespace velmora
