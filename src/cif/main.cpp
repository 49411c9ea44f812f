// velmora-cif: the answers to velmora's dialogue from a CIF or magnetic CIF.
// The only place that prints to standard error and decides the exit status:
// 0 when the answers are written, 1 after any error, with nothing written;
// with --run, velmora's own status after its report.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cif/conversion.hpp"
#include "cif/velmora_run.hpp"
#include "files/pending_outputs.hpp"

namespace {

// Prints the warnings so far, each once even when an error follows.
void print_warnings(velmora::cif::Warnings& warnings) {
  for (const std::string& line : warnings.lines())
    std::fprintf(stderr, "velmora-cif: warning: %s\n", line.c_str());
  warnings = velmora::cif::Warnings();
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
    if (options.version) {
      std::printf("velmora-cif %s\n", VELMORA_VERSION);
      return 0;
    }
    velmora::TableFiles tables;
    std::string answers = convert(options, warnings, &tables);
    print_warnings(warnings);
    if (!options.output.empty()) {
      velmora::PendingOutputs output("velmora-cif", "the answers",
                                     "(write to standard output for a pipe or a device)");
      try {
        output.write(options.output, answers);
        output.commit();
      } catch (const velmora::OutputFileError& e) {
        fail_conversion(e.what());  // with the path made printable
      }
    }
    if (options.run) return run_velmora_on(std::move(answers), std::move(tables));
    if (options.output.empty() && (std::fwrite(answers.data(), 1, answers.size(), stdout) != answers.size() ||
                                   std::fflush(stdout) != 0)) {
      fail_conversion("cannot write the answers to standard output");
    }
    return 0;
  } catch (const std::exception& e) {
    print_warnings(warnings);
    std::fprintf(stderr, "velmora-cif: error: %s\n", e.what());
    return 1;
  }
}
