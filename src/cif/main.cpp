// velmora-cif: the answers to velmora's dialogue from a CIF or magnetic CIF.
// Exit status 0 when the answers are written, 1 after any error, with nothing
// written; with --run, velmora's own status after its report.
#include <string>

#include "cif/answer_file.hpp"
#include "cif/cif_command_line.hpp"
#include "cif/conversion.hpp"
#include "cif/scattering_corrections.hpp"
#include "cif/table_report.hpp"
#include "cif/velmora_run.hpp"
#include "cli/program.hpp"
#include "files/pending_outputs.hpp"
#include "model/atom_names.hpp"

int main(int argc, char** argv) {
  using namespace velmora::cif;
  velmora::frontend::Remarks remarks;
  return velmora::frontend::run_program(program_spec(), argc, argv, remarks, [&](const auto& line) {
    const Options options = options_of(line);
    // The warnings go before the answers, and before an error that ends the conversion.
    Warnings warnings;
    const auto take_warnings = [&] {
      for (const std::string& text : warnings.lines()) remarks.warn(text);
      warnings = Warnings();
    };
    CifCrystal cif;
    std::vector<Hkl> reflections;
    try {
      cif = read_cif_crystal(options.input, options.choices, warnings);
      for (const std::string& warning : velmora::unmatched_name_warnings(
               cif.crystal, "--ion", options.choices.ions, "--g", options.choices.g))
        warnings.add(warning);
      reflections = reflections_asked(options, cif.crystal.cell, warnings);
      for (const std::string& warning : neutron_length_warnings(options, cif)) warnings.add(warning);
    } catch (...) {
      take_warnings();
      throw;
    }
    take_warnings();
    velmora::frontend::print_remarks(program_spec().name, remarks);
    // With --format the table is what the run makes, and -o takes it; else -o takes the answers.
    const bool table = options.run && !options.format.empty();
    if (!options.output.empty()) {
      velmora::PendingOutputs output("velmora-cif", table ? "the table" : "the answers",
                                     "(write to standard output for a pipe or a device)");
      output.write(options.output,
                   table ? table_report(options, cif, reflections) : answer_text(cif.crystal, reflections));
      output.commit();
    }
    if (table) {
      if (options.output.empty())
        velmora::write_standard_output(table_report(options, cif, reflections), "the table");
      return 0;
    }
    if (options.run) return run_velmora_on(options, cif, reflections);
    if (options.output.empty())
      velmora::write_standard_output(answer_text(cif.crystal, reflections), "the answers");
    return 0;
  });
}
