// Reflection lists: the shells of a cubic cell in their order, a complete
// search in an oblique cell against a brute-force count, and reflection files.
#include "cif/reflection_list.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cif/conversion_error.hpp"

namespace {

using velmora::cif::ConversionError;
using velmora::cif::Hkl;

TEST(ReflectionsToDmin, ACubicCellGivesItsShellsByDecreasingDThenByIndices) {
  // a = 4, dmin = 2: {100} (d 4), {110} (2.83), {111} (2.31), {200} (exactly 2).
  const std::vector<Hkl> list = velmora::cif::reflections_to_dmin(gemmi::UnitCell(4, 4, 4, 90, 90, 90), 2.0);
  ASSERT_EQ(list.size(), 6u + 12u + 8u + 6u);
  const std::vector<Hkl> first_shell = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
  EXPECT_EQ(std::vector<Hkl>(list.begin(), list.begin() + 6), first_shell);
  EXPECT_EQ(list[6], (Hkl{-1, -1, 0}));
  EXPECT_EQ(list[17], (Hkl{1, 1, 0}));
  EXPECT_EQ(list[18], (Hkl{-1, -1, -1}));
  EXPECT_EQ(list[25], (Hkl{1, 1, 1}));
  EXPECT_EQ(list[26], (Hkl{-2, 0, 0}));
  EXPECT_EQ(list.back(), (Hkl{2, 0, 0}));
}

TEST(ReflectionsToDmin, AnObliqueCellMissesNothingAndKeepsFriedelPairs) {
  const gemmi::UnitCell cell(5.1, 6.3, 7.4, 81.3, 72.6, 101.7);
  const double dmin = 1.1;
  const std::vector<Hkl> list = velmora::cif::reflections_to_dmin(cell, dmin);
  std::size_t inside = 0;
  for (int h = -30; h <= 30; ++h)
    for (int k = -30; k <= 30; ++k)
      for (int l = -30; l <= 30; ++l)
        if ((h || k || l) && cell.calculate_d({h, k, l}) >= dmin) ++inside;
  EXPECT_EQ(list.size(), inside);
  double previous = 1e9;
  for (const Hkl& hkl : list) {
    const double d = cell.calculate_d({int(hkl[0]), int(hkl[1]), int(hkl[2])});
    EXPECT_GE(d, dmin);
    EXPECT_LE(d, previous * (1 + 1e-12));
    previous = d;
    EXPECT_NE(std::find(list.begin(), list.end(), Hkl{-hkl[0], -hkl[1], -hkl[2]}), list.end());
  }
}

// The message gives the value as written, however small.
TEST(ReflectionsToDmin, ANonPositiveOrTinyDminFails) {
  const gemmi::UnitCell cell(4, 4, 4, 90, 90, 90);
  const struct {
    double dmin;
    const char* message;
  } cases[] = {{0.0, "--dmin 0: the smallest d must be above 0"},
               {-1.0, "--dmin -1: the smallest d must be above 0"},
               {0.001, "--dmin 0.001: far too many reflections"},
               {1e-300, "--dmin 1e-300: far too many reflections"}};
  for (const auto& c : cases) {
    try {
      velmora::cif::reflections_to_dmin(cell, c.dmin);
      ADD_FAILURE() << "no error for " << c.dmin;
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

// A file of the test's own name: CTest runs the tests of this binary side by
// side, each in its own process.
std::string file_with(const std::string& text) {
  const std::string path = testing::TempDir() + "velmora_cif_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name() + ".hkl";
  std::ofstream(path) << text;
  return path;
}

TEST(ReadReflectionFile, TakesThreeNumbersALineAndPassesOverCommentsAndEmptyLines) {
  const std::string path = file_with("# h k l\n1 0 0\n\n  -1 2 -3  \r\n0.5 0 +1\n");
  const std::vector<Hkl> list = velmora::cif::read_reflection_file(path);
  EXPECT_EQ(list, (std::vector<Hkl>{{1, 0, 0}, {-1, 2, -3}, {0.5, 0, 1}}));
  std::remove(path.c_str());
}

TEST(ReadReflectionFile, ALineThatIsNotThreeNumbersFailsWithItsNumber) {
  for (const char* bad : {"1 0\n", "1 0 0 0\n", "1 0 x\n", "1,0,0\n", "1 0 nan\n"}) {
    const std::string path = file_with(std::string("1 1 1\n") + bad);
    try {
      velmora::cif::read_reflection_file(path);
      ADD_FAILURE() << bad << " accepted";
    } catch (const ConversionError& e) {
      EXPECT_NE(std::string(e.what()).find(path + ":2: "), std::string::npos) << e.what();
    }
    std::remove(path.c_str());
  }
  EXPECT_THROW(velmora::cif::read_reflection_file(testing::TempDir() + "no/such/file"), ConversionError);
}

}  // namespace
