// The companions' option parser on the rows of command_lines.txt: each row is the
// expected outcome, then `!` and the arguments. An outcome is either the operand and
// the options read ("x.cif -o=a --run="), or "error:" and the message with
// " +usage" when the usage text follows it.
#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "console/fixture_rows.hpp"
#include "errors/failure.hpp"

namespace {

using namespace velmora::frontend;

const ProgramSpec kSpec{
    "prog", "CIF", {{"-o"}, {"--dmin"}, {"--ion", true, true}, {"--run", false}}, "usage\n"};

std::string outcome(const std::vector<std::string>& args) {
  try {
    const CommandLine line = parse_command_line(kSpec, args);
    if (line.help || line.version) return line.help ? "help" : "version";
    std::string text = line.operand;
    for (const OptionSpec& option : kSpec.options)
      for (const std::string& value : line.values(option.name)) text += " " + option.name + "=" + value;
    return text;
  } catch (const Error& e) {
    return std::string("error: ") + e.what() + (e.failure().usage ? " +usage" : "");
  }
}

TEST(CommandLine, EveryRowGivesItsOutcome) {
  for (const FixtureRow& row : fixture_rows("frontend/command_lines.txt")) {
    ASSERT_EQ(row.tokens.size(), 3u) << row.where;
    std::vector<std::string> args;
    std::istringstream words(row.tokens[2]);
    for (std::string word; words >> word;) args.push_back(token_text(word));
    EXPECT_EQ(outcome(args), token_text(row.tokens[0])) << row.where;
  }
}

}  // namespace
