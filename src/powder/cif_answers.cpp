// The converter is called through its own command line, so that --block and
// --ion mean exactly what they mean to velmora-cif; --dmin is set beyond every
// d-spacing so that the answers list no reflection.
#include "powder/cif_answers.hpp"

#ifdef VELMORA_POWDER_CIF
#include "cif/conversion.hpp"
#include "frontend/command_line.hpp"

namespace velmora::powder {

std::string cif_answers(const std::string& path, const std::string& block, const std::vector<std::string>& ions,
                        const std::string& tables_folder, Remarks& remarks) {
  std::vector<std::string> args = {path, "--dmin", "1e30", "--tables", tables_folder};
  if (!block.empty()) args.insert(args.end(), {"--block", block});
  for (const std::string& ion : ions) args.insert(args.end(), {"--ion", ion});
  cif::Warnings warnings;
  std::string answers =
      cif::convert(cif::options_of(frontend::parse_command_line(cif::program_spec(), args)), warnings);
  for (const std::string& line : warnings.lines()) remarks.warn(line);
  return answers;
}

}  // namespace velmora::powder

#else

namespace velmora::powder {

std::string cif_answers(const std::string& path, const std::string&, const std::vector<std::string>&,
                        const std::string&, Remarks&) {
  fail_powder(path + ": this velmora-powder was built without gemmi (Debian: gemmi-dev tao-pegtl-dev) and"
              " cannot read a CIF; convert it with velmora-cif --dmin D -o ANSWERS first");
}

}  // namespace velmora::powder

#endif
