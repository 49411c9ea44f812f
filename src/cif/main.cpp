// velmora-cif: the answers to velmora's dialogue from a CIF or magnetic CIF.
// The only place that prints to standard error and decides the exit status:
// 0 when the answers are written, 1 after any error, with nothing written.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cif/conversion.hpp"

namespace {

void print_warnings(const velmora::cif::Warnings& warnings) {
  for (const std::string& line : warnings.lines())
    std::fprintf(stderr, "velmora-cif: warning: %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velmora::cif;
  Warnings warnings;
  try {
    const Options options = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::fputs(usage_text().c_str(), stdout);
      return 0;
    }
    const std::string answers = convert(options, warnings);
    print_warnings(warnings);
    if (!options.output.empty()) {
      write_output_file(options.output, answers);
    } else if (std::fwrite(answers.data(), 1, answers.size(), stdout) != answers.size() ||
               std::fflush(stdout) != 0) {
      fail_conversion("cannot write the answers to standard output");
    }
    return 0;
  } catch (const std::exception& e) {
    print_warnings(warnings);
    std::fprintf(stderr, "velmora-cif: error: %s\n", e.what());
    return 1;
  }
}
