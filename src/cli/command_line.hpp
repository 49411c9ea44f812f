// The companions' one option parser. A program describes its options in a
// table; the parser takes `--opt value`, `--opt=value` and `-o value`, refuses
// an unknown option, a repeated one (unless it may repeat), a missing or empty
// value and a value given to a flag, answers --help and --version, and takes
// exactly one operand (after `--`, anything is an operand).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::frontend {

struct OptionSpec {
  std::string name;  // "--dmin", "-o"
  bool takes_value = true;
  bool repeatable = false;
};

struct ProgramSpec {
  std::string name;     // the program, as messages name it
  std::string operand;  // what its one operand is: "CIF", "answer file"
  std::vector<OptionSpec> options;
  std::string usage;  // printed by --help, and after a malformed command line
};

class CommandLine {
 public:
  std::string operand;
  bool help = false;
  bool version = false;

  bool has(std::string_view name) const { return given_.find(name) != given_.end(); }
  // The value of an option given once, else empty.
  std::string value(std::string_view name) const;
  // Every value of a repeatable option, in order.
  std::vector<std::string> values(std::string_view name) const;

 private:
  friend CommandLine parse_command_line(const ProgramSpec&, const std::vector<std::string>&);
  std::map<std::string, std::vector<std::string>, std::less<>> given_;
};

// Reads the arguments after the program's name; a malformed command line ends
// the run with a failure that asks for the usage text. After --help or
// --version nothing more is read.
CommandLine parse_command_line(const ProgramSpec& spec, const std::vector<std::string>& args);

// Two options of which at most one may be given.
void check_exclusive(const CommandLine& line, std::string_view first, std::string_view second);

}  // namespace velmora::frontend
