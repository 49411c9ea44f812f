// The neutron-length table is read through one variable for every row, so a row that ends at a
// slash before its length takes the length of the row before it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "console/console.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {
namespace {

std::string table_text(std::string_view name) {
  std::ifstream file(std::string(VELMORA_TESTS_DIR) + "/e2e/tables/" + std::string(name), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The synthetic tables with the given line (0 is the header) of a file cut after its label by
// a slash.
ScatteringTables tables_with_slash(std::string_view name, int line) {
  Console console("");
  console.data_files.emplace();
  for (std::string_view table : {kXrayFileName, kNeutronFileName, kMagneticFileName}) {
    std::string text = table_text(table);
    if (table == name) {
      std::size_t start = 0;
      for (int i = 0; i < line; ++i) start = text.find('\n', start) + 1;
      const std::size_t label_end = text.find(' ', start), end = text.find('\n', start);
      text.replace(label_end, end - label_end, " /");
    }
    console.data_files->emplace(std::string(table), text);
  }
  ScatteringTables tables;
  load_scattering_tables(console, tables);
  return tables;
}

TEST(TableReader, RowEndingAtASlashCarriesTheLengthOfTheRowBefore) {
  const ScatteringTables whole = tables_with_slash("", 0);
  ASSERT_NE(whole.neutron[1].bcoh, whole.neutron[2].bcoh);
  const ScatteringTables cut = tables_with_slash(kNeutronFileName, 3);
  EXPECT_EQ(cut.neutron[2].nion, whole.neutron[2].nion);
  EXPECT_EQ(cut.neutron[2].bcoh, whole.neutron[1].bcoh);
  EXPECT_EQ(cut.neutron[3].bcoh, whole.neutron[3].bcoh);
}

}  // namespace
}  // namespace velmora
