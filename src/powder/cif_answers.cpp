// The converter is called through its own command line, so that --block,
// --ion, --magnetic-model and --g mean exactly what they mean to velmora-cif;
// --dmin is set beyond every d-spacing so that the answers list no reflection.
#include "powder/cif_answers.hpp"

#ifdef VELMORA_POWDER_CIF
#include "cif/conversion.hpp"
#include "frontend/command_line.hpp"

namespace velmora::powder {

std::string cif_answers(const PowderOptions& options, const std::string& tables_folder, Remarks& remarks,
                        CrystalMagnetism& magnetism) {
  std::vector<std::string> args = {options.answers, "--dmin", "1e30", "--tables", tables_folder};
  if (!options.block.empty()) args.insert(args.end(), {"--block", options.block});
  for (const auto& [name, ion] : options.ions) args.insert(args.end(), {"--ion", name + "=" + ion});
  cif::Options cif_options = cif::options_of(frontend::parse_command_line(cif::program_spec(), args));
  // This program computes the reflections itself, as --run does, so the answers may
  // have form factors that velmora's own tables lack; the model is set here since the
  // converter's command line takes it only with --run.
  cif_options.run = true;
  cif_options.model = options.model;
  cif_options.g = options.g;
  cif::Warnings warnings;
  cif::MagneticForms forms;
  std::string answers = cif::convert(cif_options, warnings, nullptr, &forms);
  for (const std::string& line : warnings.lines()) remarks.warn(line);
  magnetism.chooser = std::move(forms.chooser);
  magnetism.forms = std::move(forms.forms);
  magnetism.model_line = std::move(forms.report_line);
  return answers;
}

}  // namespace velmora::powder

#else

namespace velmora::powder {

std::string cif_answers(const PowderOptions& options, const std::string&, Remarks&, CrystalMagnetism&) {
  fail_powder(options.answers + ": this velmora-powder was built without gemmi (Debian: gemmi-dev tao-pegtl-dev)"
              " and cannot read a CIF; convert it with velmora-cif --dmin D -o ANSWERS first");
}

}  // namespace velmora::powder

#endif
