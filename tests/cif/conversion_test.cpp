// The command line: the options that are read, and the ones refused.
#include "cif/conversion.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using velmora::cif::ConversionError;
using velmora::cif::Options;
using velmora::cif::parse_command_line;

TEST(CommandLine, OptionsAreReadWithOrWithoutAnEqualsSign) {
  const Options a =
      parse_command_line({"mno.mcif", "--dmin", "2", "-o", "mno.txt", "--block", "MnO", "--tables", "t"});
  EXPECT_EQ(a.input, "mno.mcif");
  ASSERT_TRUE(a.dmin.has_value());
  EXPECT_EQ(*a.dmin, 2.0);
  EXPECT_EQ(a.output, "mno.txt");
  EXPECT_EQ(a.block, "MnO");
  EXPECT_EQ(a.tables, "t");
  const Options b = parse_command_line({"--hkl=list.hkl", "x.cif", "--block=B"});
  EXPECT_EQ(b.hkl_file, "list.hkl");
  EXPECT_EQ(b.input, "x.cif");
  EXPECT_EQ(b.block, "B");
  EXPECT_FALSE(b.dmin.has_value());
  EXPECT_EQ(*parse_command_line({"x.cif", "--dmin=1.5e0"}).dmin, 1.5);
  const Options c = parse_command_line({"--help"});
  EXPECT_TRUE(c.help);
}

TEST(CommandLine, WrongArgumentsFailWithTheirReason) {
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{}, "no CIF named"},
      {{"a.cif", "b.cif"}, "one CIF at a time"},
      {{"a.cif", "--dmin"}, "--dmin needs a value"},
      {{"a.cif", "-o"}, "-o needs a value"},
      {{"a.cif", "--dmin="}, "--dmin needs a value"},
      {{"a.cif", "--dmin", "two"}, "--dmin two: not a number"},
      {{"a.cif", "--dmin", "2", "--hkl", "h"}, "--dmin and --hkl"},
      {{"a.cif", "--frobnicate"}, "unknown option --frobnicate"},
      {{"a.cif", "-x"}, "unknown option -x"},
  };
  for (const Case& c : cases) {
    try {
      parse_command_line(c.args);
      ADD_FAILURE() << c.reason << ": accepted";
    } catch (const ConversionError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.reason, 0), 0u) << e.what();
    }
  }
}

}  // namespace
