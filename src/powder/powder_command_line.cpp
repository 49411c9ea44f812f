// Command-line parsing: every option is checked here, so that a wrong value
// ends the run before the structure or the measurement is read. An instrument
// file is read here, since it gives options their values.
#include "powder/powder_command_line.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "cli/command_line.hpp"
#include "cli/shared_options.hpp"
#include "powder/fit_choices.hpp"
#include "powder/instrument_choices.hpp"
#include "powder/number_text.hpp"
#include "powder/pattern_checks.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/powder_error.hpp"
#include "powder/velmora_reflections.hpp"

namespace velmora::powder {
namespace {

std::vector<double> numbers_of(const std::string& option, const std::string& text, char separator,
                               std::size_t count) {
  std::vector<double> values;
  std::size_t start = 0;
  while (values.size() < count) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    double value = 0;
    const char* first = text.data() + start;
    const auto result = std::from_chars(first, text.data() + end, value);
    if (result.ec != std::errc() || result.ptr != text.data() + end || !std::isfinite(value)) break;
    values.push_back(value);
    start = end + 1;
    if (end == text.size()) break;
  }
  if (values.size() != count || start <= text.size())
    fail_powder(option + " " + text + ": expected " +
                (count == 1 ? std::string("a number")
                            : std::to_string(count) + " numbers separated by '" + separator + "'"));
  return values;
}

double positive(const std::string& option, const std::string& text) {
  const double value = numbers_of(option, text, ',', 1)[0];
  if (!(value > 0)) fail_powder(option + " " + text + ": must be above 0");
  return value;
}

void check(const std::optional<std::string>& fault, const std::string& option, const std::string& text) {
  if (fault) fail_powder(option + " " + text + ": " + *fault);
}

TwoThetaGrid grid_of(const std::string& text) {
  const std::vector<double> v = numbers_of("--two-theta", text, ':', 3);
  const TwoThetaGrid grid{v[0], v[1], v[2]};
  check(grid_fault(grid), "--two-theta", text);
  return grid;
}

// FROM:TO of --exclude; an end of inf or nan, or beyond the largest double,
// is named as not finite rather than as no number.
ExcludedRange excluded_range_of(const std::string& text) {
  const std::size_t colon = text.find(':');
  std::vector<double> ends;
  for (const std::string& end :
       {text.substr(0, colon), colon == std::string::npos ? std::string() : text.substr(colon + 1)}) {
    double value = 0;
    const auto result = std::from_chars(end.data(), end.data() + end.size(), value);
    const bool beyond = result.ec == std::errc::result_out_of_range;
    if ((result.ec != std::errc() && !beyond) || result.ptr != end.data() + end.size() || end.empty()) break;
    if (beyond) value = std::strtod(end.c_str(), nullptr);  // infinite beyond the largest double
    ends.push_back(value);
  }
  if (ends.size() != 2)
    fail_powder("--exclude " + text + ": expected 2 numbers separated by ':' (FROM:TO, degrees 2theta)");
  const ExcludedRange range{ends[0], ends[1]};
  check(excluded_range_fault(range), "--exclude", text);
  return range;
}

int count_of(const std::string& option, const std::string& text, int low, int high) {
  const double value = numbers_of(option, text, ',', 1)[0];
  if (!(value >= low && value <= high) || value != std::floor(value))
    fail_powder(option + " " + text + ": a whole number from " + std::to_string(low) + " to " +
                std::to_string(high));
  return static_cast<int>(value);
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error_a, error_b;
  const auto path_a = std::filesystem::weakly_canonical(a, error_a);
  const auto path_b = std::filesystem::weakly_canonical(b, error_b);
  return a == b || (!error_a && !error_b && path_a == path_b);
}

// Two outputs of one name, or an output over an input, would lose a file;
// standard input (-) holds one input, standard output (-) one output.
void check_distinct_files(const PowderOptions& options) {
  if (options.answers == "-" && options.observed == "-")
    fail_powder("--observed -: standard input already holds the answers; name a file for one of them");
  // The files named so far: what each is, for the message (a phase, one of
  // many, is named with its path), and its path.
  struct Named {
    std::string role, path;
    bool with_path = false;
    std::string text() const { return with_path ? role + " " + path : role; }
  };
  std::vector<Named> seen = {{"the answer file", options.answers}};
  if (!options.observed.empty()) seen.push_back({"--observed", options.observed});
  for (const std::string& phase : options.phases) {
    for (const Named& other : seen)
      if (same_file(phase, other.path))
        fail_powder("--phase " + phase + ": the same file as " + other.text());
    seen.push_back({"--phase", phase, true});
  }
  std::string on_standard_output;
  for (const auto& [option, path] :
       {std::pair<std::string, std::string>{"--reflections", options.reflections},
        {"--csv", options.csv},
        {"--plot", options.plot},
        {"--html", options.html},
        {"--xy", options.xy},
        {"--fit-report", options.fit_report},
        {"--refined-cif", options.refined_cif}}) {
    if (path.empty()) continue;
    if (path == "-") {
      if (!on_standard_output.empty())
        fail_powder(option + " -: standard output already takes " + on_standard_output +
                    "; name a file for one of them");
      on_standard_output = option;
      continue;
    }
    for (const Named& other : seen)
      if (same_file(path, other.path))
        fail_powder(option + " " + path + ": the same file as " + other.text());
    seen.push_back({option, path});
  }
}

bool ends_with(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
  return true;
}

}  // namespace

bool is_cif_name(const std::string& path) { return ends_with(path, ".cif") || ends_with(path, ".mcif"); }

std::string powder_usage_text() {
  return "usage: velmora-powder INPUT (--wavelength L[:R][,L:R...] | --source Cu|Mo|Co|Fe|Cr|Ag |\n"
         "         --instrument FILE.prm) [--tables DIR] [--two-theta FROM:TO:STEP]\n"
         "         [--fwhm W | --caglioti U,V,W | --tch U,V,W,X,Y] [--radiation neutron|xray|both]\n"
         "         [--polarisation P] [--answer-hkl] [--dmin D] [--block NAME]\n"
         "         [--ion NAME=ION ...] [--magnetic-model j0|dipole] [--g NAME=G ...]\n"
         "         [--dispersion cromer-liberman|none] [--isotope EL=ISOTOPE ...]\n"
         "         [--absorption MUR | --absorption auto --packing F --radius R]\n"
         "         [--observed FILE [--background-terms N] [--zero-range Z] [--refine LIST]\n"
         "         [--le-bail] [--fix NAME ...] [--phase FILE ...] [--exclude FROM:TO ...]\n"
         "         [--fit-report OUT.json] [--refined-cif OUT.cif]]\n"
         "         [--reflections OUT.csv] [--csv OUT.csv] [--xy OUT|-] [--plot OUT.svg [--axis 2theta|d|q]\n"
         "         [--label-peaks N]] [--html OUT.html]\n"
         "The powder pattern of the structure in a velmora answer file, or in a CIF or magnetic CIF\n"
         "(INPUT ending .cif or .mcif, converted as velmora-cif does), and its fit to a measurement.\n"
         "  --wavelength L        wavelength in angstroms; a list L1:R1,L2:R2 adds lines of intensity\n"
         "                        ratio R to the first (1.540598,1.544426:0.5)\n"
         "  --source ANODE        a laboratory tube: K-alpha1 and K-alpha2 (ratio 0.5), X-rays by default\n"
         "  --instrument FILE     a GSAS instrument parameter file (.prm): radiation, wavelengths, zero "
         "shift\n"
         "                        (the fit's starting value), X-ray polarisation and profile 1, 2 or 3;\n"
         "                        --wavelength, --source, a width or --polarisation given beside it wins\n"
         "  --tables DIR          the folder of velmora's three tables (default: the working directory when\n"
         "                        it has them, else the installed data folder)\n"
         "  --two-theta F:T:S     the pattern's grid in degrees (default: around every peak, step 0.02)\n"
         "  --fwhm W              Gaussian peaks of width W in degrees of 2theta (default 0.3; a fit given "
         "no\n"
         "                        width: 0.1 for X-rays, 0.3 for neutrons, with a note)\n"
         "  --caglioti U,V,W      Gaussian width from FWHM^2 = U tan^2(theta) + V tan(theta) + W\n"
         "  --tch U,V,W,X,Y       pseudo-Voigt peaks (Thompson-Cox-Hastings): Gaussian width from U V W,\n"
         "                        Lorentzian width X tan(theta) + Y / cos(theta)\n"
         "  --radiation R         what the plot, the fit and --xy use (default neutron, xray with --source,\n"
         "                        the instrument file's HTYPE with --instrument)\n"
         "  --polarisation P      the fraction of the X-ray beam polarised perpendicular to the diffraction\n"
         "                        plane: 0.5 unpolarised (default), 1 / (1 + cos^2 2theta_m) after a mosaic\n"
         "                        monochromator at 2theta_m, near 1 for synchrotron radiation\n"
         "  --answer-hkl          the answer file's own reflections (default: every h k l the range "
         "reaches)\n"
         "  --dmin D              reflections down to d = D angstroms (default: what the range reaches)\n"
         "  --block NAME          a CIF's data block, as velmora-cif takes it\n"
         "  --ion NAME=ION        for a CIF, the table label of an element or site, as velmora-cif takes "
         "it;\n"
         "                        for an answer file, the ion of magnetic_form_factors.csv for the magnetic\n"
         "                        atoms of a label (--ion Irx=Ir0:6s1, where the ion has several "
         "configurations)\n"
         "  --magnetic-model M    the magnetic form factor: j0 (default), velmora's <j0> where its table\n"
         "                        has the atom's label, else <j0> of magnetic_form_factors.csv; dipole,\n"
         "                        <j0> + (2/g - 1) <j2> with g from the ion's term\n"
         "  --g NAME=G            the Lande factor of the atoms of a label or element (dipole; --g Fe3=2)\n"
         "  --dispersion D        f' and f'' in |FX|^2 at each line's wavelength: cromer-liberman (default\n"
         "                        when the radiation shows X-rays; a refinement takes the first line's)\n"
         "                        or none (the free atoms' f0 alone)\n"
         "  --isotope NAME=ISO    the neutron length of an isotope for the atoms of an element or site\n"
         "                        (--isotope Gd=160Gd, --isotope H=2H; repeatable); absorbing elements\n"
         "                        take their imaginary part b'' at each line's wavelength\n"
         "  --absorption MUR      a cylindrical sample's (a capillary's) absorption: each peak of the\n"
         "                        radiation shown times its transmission A(theta; mu R), by the analytic\n"
         "                        form of Lobanov & alte da Veiga (1998), mu R from 0 to 10; auto\n"
         "                        computes mu R = F mu R, mu from the cell's content and each element's\n"
         "                        cross-sections at the (first) wavelength, with --packing F (the powder's\n"
         "                        packing fraction, above 0, at most 1) and --radius R (the capillary's\n"
         "                        inner radius, mm). A flat plate needs none: see --refine transparency\n"
         "  --observed FILE       a measured pattern: columns (2theta, intensity[, sigma]), a GSAS raw file\n"
         "                        (STD, ESD or FXYE), Bruker RAW1.01 or RAW4.00, PANalytical .xrdml or a\n"
         "                        FullProf .dat, told apart by content; points of sigma 0 are left out.\n"
         "                        Fits scale, zero shift and a Chebyshev background of N terms\n"
         "                        (--background-terms, default 6), the zero shift within +-Z degrees\n"
         "                        (--zero-range, default 1)\n"
         "  --refine LIST         refine these by least squares, with standard uncertainties: scale,\n"
         "                        background, zero, cell (what the symmetry leaves free), wavelength,\n"
         "                        displacement (cos theta), transparency (sin 2theta), profile (U V W,\n"
         "                        and X Y of --tch), asymmetry (P1..P4, Berar-Baldinozzi), axial (S/L\n"
         "                        and H/L, Finger-Cox-Jephcoat), xyz (each site's coordinates its site\n"
         "                        symmetry leaves free), biso, occupancy (a site's B and occupancy),\n"
         "                        overall-biso (one B added to every site's, biso.overall), uaniso\n"
         "                        (a site's U11..U23 as the file gives them, under its site symmetry),\n"
         "                        moments (the components of a magnetic site's moment its magnetic\n"
         "                        site symmetry leaves free), moment-sizes (its size, its direction\n"
         "                        kept); xyz:O1,O2 or biso:Pb for some sites, by label or element; or\n"
         "                        all (for the radiation: axial for X-rays, asymmetry and moments for\n"
         "                        neutrons; xyz and biso; pseudo-Voigt peaks); names site.O3.y,\n"
         "                        site.Pb.biso, moment.Mn1.mx; the table of refined values goes to\n"
         "                        standard output unless an output goes there\n"
         "  --fix NAME            hold one refined parameter at its start (repeatable): --fix site.O3.y,\n"
         "                        --fix cell.c, --fix moment.Mn1.mz\n"
         "  --refined-cif OUT     the refined structure as a CIF (cell, operations, sites with esd's in\n"
         "                        parentheses, R factors; a magnetic CIF with the moments for a magnetic\n"
         "                        structure), which velmora-cif and velmora-powder read\n"
         "  --le-bail             the peaks' intensities taken from the measurement (Le Bail), not the\n"
         "                        structure, for the cell and the profile; the scale is held (default\n"
         "                        with it: --refine all)\n"
         "  --phase FILE          a further phase of the sample (CIF or answer file; repeatable), fitted\n"
         "                        beside INPUT with its own scale, and refined with its own cell; its\n"
         "                        peak widths follow INPUT's; its names phase.2.scale, phase.2.cell.a...\n"
         "  --exclude FROM:TO     leave the measured points of FROM <= 2theta <= TO (degrees; repeatable)\n"
         "                        out of the fit, the refinement and the R factors (another phase's peaks,\n"
         "                        a sample holder's, a beam stop's shadow); the plot shades them\n"
         "  --fit-report OUT      the fit as JSON: scale, zero_shift, background, Rp, Rwp, Rexp, chi2\n"
         "                        and, with --refine, every parameter with its esd; with --phase, scales\n"
         "  --reflections OUT     per peak: h k l, d, 2theta, |Fn|^2 |Fm|^2 |FX|^2, the integrated\n"
         "                        intensities and the wavelength (standard output when no output is named)\n"
         "  --csv OUT             the pattern: 2theta, neutron nuclear, magnetic, total, X-ray; with\n"
         "                        --observed: 2theta, observed, sigma, calculated, background, difference\n"
         "  --xy OUT              two columns: 2theta and the calculated total (OUT - for standard output,\n"
         "                        as for every output but the plot; INPUT or FILE - reads standard input)\n"
         "  --plot OUT.svg        the pattern drawn as SVG (observed, calculated and difference with\n"
         "                        --observed); --axis chooses 2theta, d or Q, --label-peaks N labels the\n"
         "                        N strongest peaks with h k l\n"
         "  --html OUT.html       the pattern or the fit as one page to open in a browser, needing no\n"
         "                        network: zoom and pan, the cursor's 2theta, d, Q and nearest h k l, the\n"
         "                        parameters with esd's, the R factors, the model and the warnings\n";
}

namespace {

std::vector<frontend::OptionSpec> options_with_shared() {
  std::vector<frontend::OptionSpec> options = {{"--wavelength"},
                                               {"--two-theta"},
                                               {"--fwhm"},
                                               {"--caglioti"},
                                               {"--csv"},
                                               {"--reflections"},
                                               {"--plot"},
                                               {"--html"},
                                               {"--radiation"},
                                               {"--source"},
                                               {"--tch"},
                                               {"--observed"},
                                               {"--fit-report"},
                                               {"--refined-cif"},
                                               {"--xy"},
                                               {"--background-terms"},
                                               {"--zero-range"},
                                               {"--refine"},
                                               {"--phase", true, true},
                                               {"--axis"},
                                               {"--label-peaks"},
                                               {"--exclude", true, true},
                                               {"--fix", true, true},
                                               {"--instrument"},
                                               {"--polarisation"},
                                               {"--absorption"},
                                               {"--packing"},
                                               {"--radius"},
                                               {"--answer-hkl", false},
                                               {"--le-bail", false}};
  for (frontend::OptionSpec& shared : frontend::shared_option_specs()) options.push_back(std::move(shared));
  return options;
}

}  // namespace

const frontend::ProgramSpec& powder_program_spec() {
  static const frontend::ProgramSpec spec{"velmora-powder", "answer file", options_with_shared(),
                                          powder_usage_text()};
  return spec;
}

PowderOptions powder_options_of(const frontend::CommandLine& line, Remarks& remarks) {
  PowderOptions options;
  options.answers = line.operand;
  options.answer_hkl = line.has("--answer-hkl");
  std::map<std::string, std::string> given;
  for (const auto& spec : powder_program_spec().options)
    if (spec.takes_value && !spec.repeatable && line.has(spec.name)) given[spec.name] = line.value(spec.name);
  frontend::check_exclusive(line, "--wavelength", "--source");
  std::optional<Instrument> instrument;
  if (given.count("--instrument")) {
    options.instrument = given["--instrument"];
    instrument = read_instrument_file(options.instrument);
  }
  ExplicitChoices choices;
  if (given.count("--source")) {
    options.source = given["--source"];
    const auto tube = tube_lines(options.source);
    if (!tube) check(unknown_tube_reason(), "--source", options.source);
    options.lines = *tube;
    choices.lines = "--source " + options.source;
    if (instrument && instrument->radiation != Radiation::xray)
      fail_powder("--source " + options.source + " and --instrument " + options.instrument +
                  ": the file describes a neutron diffractometer (HTYPE " + instrument->htype +
                  "); give one of them");
  } else if (given.count("--wavelength")) {
    options.lines = wavelength_lines("--wavelength", given["--wavelength"]);
    check(source_lines_fault(options.lines), "--wavelength", given["--wavelength"]);
    choices.lines = "--wavelength " + given["--wavelength"];
  } else if (!instrument) {
    fail_powder("--wavelength L (angstroms), --source ANODE or --instrument FILE is required");
  }
  frontend::SharedOptions shared = frontend::shared_options_of(line);
  options.tables = std::move(shared.tables);
  options.block = std::move(shared.block);
  options.dmin = shared.dmin;
  options.ions = std::move(shared.ions);
  options.isotopes = std::move(shared.isotopes);
  options.g = std::move(shared.g);
  options.model = shared.model;
  if (given.count("--two-theta")) options.grid = grid_of(given["--two-theta"]);
  if (given.count("--fwhm") + given.count("--caglioti") + given.count("--tch") > 1)
    fail_powder("--fwhm, --caglioti and --tch: give one of them");
  for (const char* option : {"--fwhm", "--caglioti", "--tch"})
    if (given.count(option)) choices.width = option + (" " + given[option]);
  if (given.count("--fwhm")) {
    options.width.fwhm = positive("--fwhm", given["--fwhm"]);
    check(fwhm_fault(options.width.fwhm), "--fwhm", given["--fwhm"]);
  }
  if (given.count("--caglioti")) {
    const std::vector<double> uvw = numbers_of("--caglioti", given["--caglioti"], ',', 3);
    options.width.caglioti = {uvw[0], uvw[1], uvw[2]};
  }
  if (given.count("--tch")) {
    const std::vector<double> p = numbers_of("--tch", given["--tch"], ',', 5);
    options.width.tch = TchParameters{p[0], p[1], p[2], p[3], p[4]};
    check(tch_fault(*options.width.tch), "--tch", given["--tch"]);
  }
  if (given.count("--polarisation")) {
    options.polarisation = {numbers_of("--polarisation", given["--polarisation"], ',', 1)[0]};
    check(polarisation_fault(options.polarisation), "--polarisation", given["--polarisation"]);
    choices.polarisation = "--polarisation " + given["--polarisation"];
  }
  const bool width_given = !choices.width.empty() || (instrument && instrument->profile);
  if (instrument) {
    take_instrument(*instrument, choices, options.lines, options.width, options.polarisation, remarks);
    options.zero_centre = instrument->zero_shift;
    if (instrument->profile) options.axial = {instrument->profile->s_over_l, instrument->profile->h_over_l};
  }
  options.radiation = !options.source.empty() ? Radiation::xray
                      : instrument            ? instrument->radiation
                                              : Radiation::neutron;
  if (given.count("--radiation")) {
    static const std::map<std::string, Radiation> kinds = {
        {"neutron", Radiation::neutron}, {"xray", Radiation::xray}, {"both", Radiation::both}};
    const auto kind = kinds.find(given["--radiation"]);
    if (kind == kinds.end())
      fail_powder("--radiation " + given["--radiation"] + ": one of neutron, xray, both");
    if (instrument && kind->second != Radiation::both && kind->second != instrument->radiation)
      fail_powder("--radiation " + given["--radiation"] + " and --instrument " + options.instrument +
                  ": the file describes " +
                  (instrument->radiation == Radiation::xray ? "an X-ray" : "a neutron") +
                  " diffractometer (HTYPE " + instrument->htype + "); give one of them");
    options.radiation = kind->second;
  }
  options.dispersion = shared.dispersion.value_or(
      options.radiation == Radiation::neutron || !dispersion_supported() ? DispersionModel::none
                                                                         : DispersionModel::cromer_liberman);
  if (given.count("--observed") == 0)
    for (const char* fit_option : {"--fit-report", "--background-terms", "--zero-range", "--refine"})
      if (given.count(fit_option)) fail_powder(std::string(fit_option) + " needs --observed FILE to fit");
  options.phases = line.values("--phase");
  if (!options.phases.empty() && given.count("--observed") == 0)
    fail_powder("--phase " + options.phases.front() +
                " needs --observed FILE: the phases of a mixture take their scales from a fit");
  for (const std::string& phase : options.phases)
    if (phase == "-") fail_powder("--phase -: a phase is read from a file; name it");
  const std::vector<std::string> excluded = line.values("--exclude");
  if (!excluded.empty() && given.count("--observed") == 0)
    fail_powder("--exclude " + excluded.front() +
                " needs --observed FILE: it leaves measured points out of a fit");
  for (const std::string& range : excluded) options.excluded.push_back(excluded_range_of(range));
  options.csv = given["--csv"];
  options.reflections = given["--reflections"];
  options.plot = given["--plot"];
  options.html = given["--html"];
  options.xy = given["--xy"];
  options.observed = given["--observed"];
  options.fit_report = given["--fit-report"];
  options.refined_cif = given["--refined-cif"];
  if (!options.refined_cif.empty() && given.count("--refine") == 0 && !line.has("--le-bail"))
    fail_powder("--refined-cif " + options.refined_cif +
                " needs --refine LIST: it writes the refined structure");
  if (!options.observed.empty() && options.grid)
    fail_powder(
        "--two-theta and --observed: the fit is computed on the observed pattern's points; give one of them");
  if (given.count("--background-terms"))
    options.background_terms =
        count_of("--background-terms", given["--background-terms"], 0, kMostBackgroundTerms);
  if (given.count("--zero-range")) {
    options.zero_range = numbers_of("--zero-range", given["--zero-range"], ',', 1)[0];
    if (!(options.zero_range >= 0 && options.zero_range <= kMostZeroRange))
      fail_powder("--zero-range " + given["--zero-range"] + ": from 0 to 10 degrees");
  }
  if (given.count("--refine")) {
    std::string fault;
    options.refine = rietveld::refine_choice_of(given["--refine"], fault);
    if (!options.refine) fail_powder("--refine " + given["--refine"] + ": " + fault);
  }
  if (line.has("--le-bail")) {
    if (options.observed.empty()) fail_powder("--le-bail needs --observed FILE to take the intensities from");
    rietveld::choose_le_bail(options.refine);
  }
  const std::vector<std::string> fixed = line.values("--fix");
  if (!fixed.empty() && !options.refine)
    fail_powder("--fix " + fixed.front() + " needs --refine LIST: it holds one of the refined parameters");
  for (const std::string& name : fixed) {
    if (std::find(options.refine->fixed.begin(), options.refine->fixed.end(), name) !=
        options.refine->fixed.end())
      fail_powder("--fix " + name + " is given twice");
    options.refine->fixed.push_back(name);
  }
  if (given.count("--absorption"))
    if (const auto fault = absorption_text_fault(given["--absorption"], options.absorption))
      fail_powder(*fault);
  if (given.count("--packing"))
    options.absorption.packing = numbers_of("--packing", given["--packing"], ',', 1)[0];
  if (given.count("--radius"))
    options.absorption.radius = numbers_of("--radius", given["--radius"], ',', 1)[0];
  if (const auto fault =
          absorption_choice_fault(options.absorption, options.radiation, !options.phases.empty()))
    fail_powder(*fault);
  if ((!options.observed.empty() || !options.xy.empty()) && options.radiation == Radiation::both)
    fail_powder(std::string(options.observed.empty() ? "--xy" : "--observed") +
                " compares one pattern: choose --radiation neutron or xray");
  if (!options.observed.empty())
    settle_fit_choices(
        options, given.count("--radiation") > 0, width_given,
        {"--fwhm, --caglioti, --tch or --instrument", "--wavelength", "--radiation xray (or --source ANODE)"},
        remarks);
  if (instrument && options.observed.empty() && instrument->zero_shift != 0)
    remarks.note(
        "the zero shift of " + options.instrument +
        " is the starting value of a fit (--observed); the pattern has its peaks at the Bragg angles");
  if (given.count("--axis")) {
    static const std::map<std::string, Axis> axes = {
        {"2theta", Axis::two_theta}, {"d", Axis::d}, {"q", Axis::q}, {"Q", Axis::q}};
    const auto axis = axes.find(given["--axis"]);
    if (axis == axes.end()) fail_powder("--axis " + given["--axis"] + ": one of 2theta, d, q");
    options.axis = axis->second;
  }
  if (given.count("--label-peaks"))
    options.labels = count_of("--label-peaks", given["--label-peaks"], 0, 100);
  const bool cif = is_cif_name(options.answers);
  if (cif && options.answer_hkl) fail_powder("--answer-hkl: a CIF lists no reflections; leave it out");
  if (!cif && !options.block.empty()) fail_powder("--block applies to a CIF input (.cif, .mcif)");
  if (options.answer_hkl && options.dmin) fail_powder("--answer-hkl and --dmin: give one of them");
  check_distinct_files(options);
  const std::string svg = ".svg";
  if (!options.plot.empty() &&
      (options.plot.size() <= svg.size() || options.plot.compare(options.plot.size() - 4, 4, svg) != 0))
    fail_powder("--plot " + options.plot + ": the plot is SVG; name it OUT.svg");
  if (!options.html.empty() && !ends_with(options.html, ".html") && !ends_with(options.html, ".htm"))
    fail_powder("--html " + options.html + ": the report is a web page; name it OUT.html");
  return options;
}

}  // namespace velmora::powder
