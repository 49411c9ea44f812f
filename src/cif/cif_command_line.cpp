// velmora-cif's command line: its options, its usage text, and the options
// of a parsed command line, each value checked before any file is read.
#include "cif/cif_command_line.hpp"

#include <charconv>
#include <cmath>

#include "cli/shared_options.hpp"
#include "nuclear/neutron_corrections.hpp"

namespace velmora::cif {

std::string usage_text() {
  return "usage: velmora-cif FILE [--dmin D | --hkl HKLFILE] [-o OUT] [--block NAME] [--tables DIR]\n"
         "                   [--ion NAME=LABEL ...] [--magnetic-model j0|dipole] [--g NAME=G ...]\n"
         "                   [--run [--format csv|json [--unique]] [--wavelength L]\n"
         "                    [--dispersion cromer-liberman|none] [--isotope EL=ISOTOPE ...]]\n"
         "       velmora-cif --version\n"
         "Writes velmora's answers for the structure of a CIF or magnetic CIF: every atom of\n"
         "the cell, the moments of the magnetic atoms and the reflections.\n"
         "  --dmin D        every h k l with d >= D (angstroms), by decreasing d\n"
         "  --hkl HKLFILE   the reflections of a file, one h k l a line\n"
         "  -o OUT          write the answers (with --format, the table) to OUT instead of\n"
         "                  standard output (FILE, HKLFILE - : standard input)\n"
         "  --block NAME    the data block to read (default: the first with atom sites)\n"
         "  --tables DIR    the folder of velmora's three tables (default: the working\n"
         "                  directory when it has them, else the installed data folder)\n"
         "  --ion NAME=LABEL  the table label of the atoms of an element or a site\n"
         "                  (--ion Mn=Mn3, --ion Mn1=Mn3; repeatable); for a magnetic atom\n"
         "                  with --run, also an ion of magnetic_form_factors.csv (--ion Ir=Ir4,\n"
         "                  --ion W=W0:6s1 where the ion has several configurations)\n"
         "  --magnetic-model j0|dipole  the magnetic form factor: j0 (default), velmora's\n"
         "                  <j0> where its table has the ion, else <j0> of the ion table;\n"
         "                  dipole, <j0> + (2/g - 1) <j2> with g from the ion's term (--run)\n"
         "  --g NAME=G      the Lande factor of the magnetic atoms of an element or a site\n"
         "                  under the dipole model (--g Fe=2; repeatable)\n"
         "  --run           print velmora's report for the answers, as `velmora < OUT` run in\n"
         "                  the folder of the tables prints it, and exit with velmora's status\n"
         "  --format F      with --run: velmora's values as a table, F = csv or json, every\n"
         "                  number in the fewest digits that read back as it, with the model\n"
         "  --unique        with --format: one row per set of equivalent reflections, with\n"
         "                  its multiplicity (Laue group of the nuclear and magnetic structure;\n"
         "                  its point group when f'' makes F(h) and F(-h) differ)\n"
         "  --wavelength L  with --run: |FX|^2 with f' and f'' at L angstroms (Cromer-Liberman)\n"
         "  --dispersion D  with --run: cromer-liberman (default with --wavelength) or none\n"
         "  --isotope NAME=ISO  with --run: |FN|^2 with the neutron length of an isotope for the\n"
         "                  atoms of an element or site (--isotope Gd=160Gd; repeatable); with\n"
         "                  --wavelength, absorbing elements' b'' at L (without, b'' of 1.798 A)\n"
         "                  (default: velmora's own |FX|^2 of the free atoms)\n"
         "Without --run, in the folder of the tables: velmora < OUT\n";
}

namespace {

std::vector<frontend::OptionSpec> options_with_shared() {
  std::vector<frontend::OptionSpec> options = {{"-o"},       {"--hkl"},           {"--run", false},
                                               {"--format"}, {"--unique", false}, {"--wavelength"}};
  for (frontend::OptionSpec& shared : frontend::shared_option_specs()) options.push_back(std::move(shared));
  return options;
}

}  // namespace

const frontend::ProgramSpec& program_spec() {
  static const frontend::ProgramSpec spec{"velmora-cif", "CIF", options_with_shared(), usage_text()};
  return spec;
}

Options options_of(const frontend::CommandLine& line) {
  Options options;
  options.input = line.operand;
  frontend::check_exclusive(line, "--dmin", "--hkl");
  frontend::SharedOptions shared = frontend::shared_options_of(line);
  options.dmin = shared.dmin;
  options.choices.block = std::move(shared.block);
  options.choices.tables = std::move(shared.tables);
  options.choices.model = shared.model;
  options.choices.g = std::move(shared.g);
  for (auto& [name, label] : shared.ions) options.choices.ions[name] = std::move(label);
  options.hkl_file = line.value("--hkl");
  options.output = line.value("-o");
  options.run = line.has("--run");
  if (options.input == "-" && options.hkl_file == "-")
    fail_conversion("--hkl -: standard input already holds the CIF; name a file for one of them");
  if (options.output == "-" && options.run && !line.has("--format"))
    fail_conversion("-o - and --run: velmora's report takes standard output; write the answers to a file");
  options.choices.velmora_only = !options.run;
  options.format = line.value("--format");
  options.unique = line.has("--unique");
  if (!options.format.empty() && options.format != "csv" && options.format != "json")
    fail_conversion("--format " + options.format + ": give csv or json");
  if (!options.format.empty() && !options.run)
    fail_conversion("--format " + options.format +
                    ": the table holds the values of velmora's run; add --run");
  if (options.unique && options.format.empty())
    fail_conversion(
        "--unique: velmora's report has no multiplicity column; add --format csv or --format json");
  if (line.has("--wavelength")) {
    const std::string text = line.value("--wavelength");
    double value = 0;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || read.ec != std::errc() || read.ptr != text.data() + text.size() || !(value > 0) ||
        !std::isfinite(value))
      frontend::fail_option("--wavelength", text, "expected a wavelength above 0 (angstroms)");
    if (!options.run)
      frontend::fail_option("--wavelength", text, "the answers hold no wavelength; add --run");
    options.wavelength = value;
  }
  options.dispersion = shared.dispersion.value_or(options.wavelength ? DispersionModel::cromer_liberman
                                                                     : DispersionModel::none);
  if (shared.dispersion && !options.run)
    fail_conversion(std::string(kDispersionOption) +
                    ": velmora itself computes the free atoms' f0; add --run");
  if (options.dispersion == DispersionModel::cromer_liberman && !options.wavelength)
    fail_conversion(std::string(kDispersionOption) +
                    " cromer-liberman: f' and f'' depend on the wavelength; add --wavelength L");
  options.isotopes = std::move(shared.isotopes);
  if (!options.isotopes.empty() && !options.run)
    fail_conversion(std::string(kIsotopeOption) + " " + options.isotopes.begin()->first + "=" +
                    options.isotopes.begin()->second +
                    ": velmora's answers hold no neutron lengths; add --run to compute with it");
  if (options.choices.model == MagneticModel::dipole && !options.run)
    fail_conversion(std::string(kMagneticModelOption) +
                    " dipole needs --run: velmora itself computes its <j0> table's form factors only");
  return options;
}

}  // namespace velmora::cif
