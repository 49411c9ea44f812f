// The X-ray and neutron-length rows after velmora's own: velmora never reads them, the
// companions read them to the end of the files, and a row that could change what velmora's rows
// mean, or that the two files do not share, fails the reading at its line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "console/console.hpp"
#include "console/run_end.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {
namespace {

std::string shipped(std::string_view name) {
  std::ifstream file(std::string(VELMORA_TESTS_DIR) + "/../data/" + std::string(name), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The shipped tables, their X-ray and neutron files cut after velmora's rows and given the
// tails, read with or without the rows beyond. The reason of a failed reading, else "".
struct Reading {
  ScatteringTables tables;
  std::string failure;
  long line = 0;
};

Reading read(const std::string& xray_tail, const std::string& neutron_tail, bool rows_beyond) {
  Console console("");
  console.data_files.emplace();
  for (std::string_view name : {kXrayFileName, kNeutronFileName, kMagneticFileName}) {
    std::string text = shipped(name);
    if (name != kMagneticFileName) {
      std::size_t end = 0;
      for (int line = 0; line <= kXrayRows; ++line) end = text.find('\n', end) + 1;
      text = text.substr(0, end) + (name == kXrayFileName ? xray_tail : neutron_tail);
    }
    console.data_files->emplace(std::string(name), text);
  }
  Reading reading;
  try {
    load_scattering_tables(console, reading.tables, rows_beyond);
  } catch (const RunEnded&) {
    reading.failure = console.failure ? console.failure->reason : "stopped";
    reading.line = console.failure ? console.failure->line : 0;
  }
  return reading;
}

const std::string kXrayNp = "Npx 36.1874 0.511929 23.5964 3.25396 15.6402 15.3622 4.1855 97.4908 13.3573\n";
const std::string kNeutronNp = "Npx 10.55 237Np\n";

TEST(RowsBeyond, VelmoraReadsNoneOfThemAndTheCompanionsReadThemToTheEnd) {
  const std::string junk = "not a row of any table\n";
  Reading own = read(kXrayNp + junk, junk, false);
  EXPECT_EQ(own.failure, "");
  EXPECT_EQ(own.tables.nuclear_rows, kXrayRows);

  Reading all = read("\n" + kXrayNp + "\n", kNeutronNp + "\n\n", true);
  ASSERT_EQ(all.failure, "");
  ASSERT_EQ(all.tables.nuclear_rows, kXrayRows + 1);
  EXPECT_EQ(text_of(all.tables.xray[kXrayRows].ion), "Npx");
  EXPECT_EQ(all.tables.xray[kXrayRows].xsf[8], 13.3573f);
  EXPECT_EQ(all.tables.neutron[kXrayRows].bcoh, static_cast<float>(10.55f * 0.1));
  EXPECT_EQ(all.tables.row_notes.at("Npx"), "237Np");
  // velmora's own rows are read as velmora reads them.
  EXPECT_EQ(all.tables.xray[kXrayRows - 1].xsf, own.tables.xray[kXrayRows - 1].xsf);
}

TEST(RowsBeyond, RowsThatWouldChangeOrMismatchTheTablesFailAtTheirLine) {
  const struct {
    std::string xray, neutron, reason;
    long line;  // in the file that fails: the X-ray file unless its rows are fine
  } cases[] = {
      {"Fex 1 1 1 1 1 1 1 1 1\n", "Fex 9.45\n",
       "label \"Fex\" repeats row 51 (a row after velmora's may only add a label)", 189},
      {kXrayNp + kXrayNp, kNeutronNp + kNeutronNp, "label \"Npx\" repeats row 188", 190},
      {"Npxx 1 1 1 1 1 1 1 1 1\n", "", "label \"Npxx\" is longer than three characters", 189},
      {"Npx 1 1 1 1 1 1 1 1\n", "", "row Npx has 8 numbers, not 9", 189},
      {"Npx 1 1 1 1 1 1 1 1 1,5\n", "", "\"1,5\" is not a finite number", 189},
      {"Npx 1 1 1 1 1 1 1 1 1e99\n", "", "\"1e99\" is not a finite number", 189},
      {kXrayNp, "", "ends at row 187, the X-ray table at row 188", 189},
      {kXrayNp, "Pux 7.7\n", "row 188 is labelled \"Pux\", the X-ray table's row \"Npx\"", 189},
      {kXrayNp, kNeutronNp + "Pux 7.7\n",
       "row 189 is labelled \"Pux\", the X-ray table's row is missing (the two tables list the same labels)",
       190},
      {kXrayNp, "Npx\n", "row Npx has no length", 189},
  };
  for (const auto& c : cases) {
    const Reading reading = read(c.xray, c.neutron, true);
    EXPECT_EQ(reading.failure.substr(0, c.reason.size()), c.reason) << c.xray << c.neutron;
    EXPECT_EQ(reading.line, c.line) << c.reason;
  }
  EXPECT_EQ(read(kXrayNp, "Npx\n", true).failure, "row Npx has no length");  // whole reasons end so
  std::string many;
  for (int r = 0; r < 13; ++r) many.append("N").append(std::to_string(10 + r)).append(" 1 1 1 1 1 1 1 1 1\n");
  EXPECT_EQ(read(many + "Nzz 1 1 1 1 1 1 1 1 1\n", "", true).failure,
            "more rows than the 200 the companions hold");
}

}  // namespace
}  // namespace velmora
