// The converter's own choices, filled from this program's options: this
// program computes the reflections itself, as velmora-cif --run does, so the
// crystal may have form factors and rows that velmora's own tables lack.
#include "powder/cif_crystal.hpp"

#ifdef VELMORA_POWDER_CIF
#include "cif/conversion.hpp"

namespace velmora::powder {

Crystal cif_crystal(const PowderOptions& options, const std::string& tables_folder, Remarks& remarks) {
  cif::CrystalChoices choices;
  choices.block = options.block;
  choices.tables = tables_folder;
  for (const auto& [name, ion] : options.ions) choices.ions[name] = ion;
  choices.model = options.model;
  choices.g = options.g;
  cif::Warnings warnings;
  cif::CifCrystal read = cif::read_cif_crystal(options.answers, choices, warnings);
  for (const std::string& line : warnings.lines()) remarks.warn(line);
  return std::move(read.crystal);
}

}  // namespace velmora::powder

#else

namespace velmora::powder {

Crystal cif_crystal(const PowderOptions& options, const std::string&, Remarks&) {
  fail_powder(options.answers +
              ": this velmora-powder was built without gemmi (Debian: gemmi-dev tao-pegtl-dev)"
              " and cannot read a CIF; convert it with velmora-cif --dmin D -o ANSWERS first");
}

}  // namespace velmora::powder

#endif
