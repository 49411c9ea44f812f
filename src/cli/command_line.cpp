// Parsing one argument at a time. A value is the rest of `--opt=value` or the
// next argument; the next argument is no value when it looks like an option
// (a dash and a letter), so `--wavelength --csv x.csv` is reported as the
// missing value it is, while `--caglioti -0.1,0,1` keeps its negative number.
#include "cli/command_line.hpp"

#include <algorithm>
#include <cctype>

#include "errors/failure.hpp"

namespace velmora::frontend {
namespace {

[[noreturn]] void fail_usage(const std::string& reason) {
  Failure failure;
  failure.reason = reason;
  failure.usage = true;
  failure.code = FailureCode::usage;
  fail(std::move(failure));
}

bool looks_like_option(const std::string& arg) {
  return arg.size() >= 2 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1])) &&
         arg[1] != '.';
}

}  // namespace

std::string CommandLine::value(std::string_view name) const {
  const auto found = given_.find(name);
  return found == given_.end() || found->second.empty() ? std::string() : found->second.front();
}

std::vector<std::string> CommandLine::values(std::string_view name) const {
  const auto found = given_.find(name);
  return found == given_.end() ? std::vector<std::string>() : found->second;
}

CommandLine parse_command_line(const ProgramSpec& spec, const std::vector<std::string>& args) {
  CommandLine line;
  bool options_end = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (options_end || !looks_like_option(name)) {
      if (!line.operand.empty())
        fail_usage("one " + spec.operand + " at a time: " + line.operand + " and " + name);
      if (name.empty()) fail_usage("an empty name where the " + spec.operand + " belongs");
      line.operand = name;
      continue;
    }
    if (name == "--") {
      options_end = true;
      continue;
    }
    bool attached = false;
    std::string value;
    if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
      attached = true;
    }
    if (name == "-h" || name == "--help" || name == "--version") {
      if (attached) fail_usage(name + " takes no value");
      (name == "--version" ? line.version : line.help) = true;
      return line;
    }
    const auto spec_of = std::find_if(spec.options.begin(), spec.options.end(),
                                      [&](const OptionSpec& o) { return o.name == name; });
    if (spec_of == spec.options.end()) fail_usage("unknown option " + name);
    if (!spec_of->takes_value && attached) fail_usage(name + " takes no value");
    if (spec_of->takes_value && !attached) {
      if (i + 1 < args.size() && !looks_like_option(args[i + 1])) {
        value = args[++i];
      } else {
        fail_usage(name + " needs a value");
      }
    }
    if (spec_of->takes_value && value.empty()) fail_usage(name + " needs a value");
    std::vector<std::string>& given = line.given_[name];
    if (!given.empty() && !spec_of->repeatable) {
      Failure failure;
      failure.option = name;
      failure.reason = spec_of->takes_value
                           ? "given twice (" + given.front() + " and " + value + "); give it once"
                           : "given twice; give it once";
      fail(std::move(failure));
    }
    given.push_back(value);
  }
  if (line.operand.empty()) fail_usage("no " + spec.operand + " named");
  return line;
}

void check_exclusive(const CommandLine& line, std::string_view first, std::string_view second) {
  if (line.has(first) && line.has(second))
    fail(std::string(first) + " and " + std::string(second) + ": give one of them");
}

}  // namespace velmora::frontend
