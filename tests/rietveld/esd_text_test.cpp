// Values with their uncertainties in parentheses: the rows of esd_texts.txt.
#include "rietveld/esd_text.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace velmora::rietveld {
namespace {

TEST(EsdText, RoundsTheValueToItsUncertaintysLastDigit) {
  std::ifstream rows(std::string(VELMORA_TESTS_DIR) + "/rietveld/esd_texts.txt");
  ASSERT_TRUE(rows) << "esd_texts.txt";
  std::string line;
  int cases = 0;
  while (std::getline(rows, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    double value = 0, esd = 0;
    std::string expected;
    in >> value >> esd >> expected;
    EXPECT_EQ(with_esd(value, esd), expected) << line;
    ++cases;
  }
  EXPECT_GE(cases, 11);
}

}  // namespace
}  // namespace velmora::rietveld
