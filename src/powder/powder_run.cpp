// The run's steps in order. The reflections are every h k l of the cell down
// to the d-spacing the range reaches at the shortest wavelength, so that a
// pattern holds every peak with its multiplicity; an answer file's own list is
// used on request and checked against that full set.
#include "powder/powder_run.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "errors/escaping.hpp"
#include "files/input_file.hpp"
#include "files/pending_outputs.hpp"
#include "model/atom_names.hpp"
#include "powder/cif_crystal.hpp"
#include "powder/html_report.hpp"
#include "powder/json_text.hpp"
#include "powder/number_text.hpp"
#include "powder/observed_fit.hpp"
#include "powder/observed_pattern.hpp"
#include "powder/pattern_fit.hpp"
#include "powder/powder_command_line.hpp"
#include "powder/powder_files.hpp"
#include "powder/powder_plot.hpp"
#include "powder/reflection_range.hpp"
#include "powder/report_rows.hpp"
#include "powder/tables_folder.hpp"
#include "powder/velmora_reflections.hpp"
#ifdef VELMORA_POWDER_FIT
#include "powder/refined_cif.hpp"
#include "powder/refinement_report.hpp"
#endif

namespace velmora::powder {
namespace {

// Reflections this far beyond the range still reach into it with their tails.
constexpr double kRangeMarginDegrees = 5.0;

// The check of a list of the answers' own computes every reflection of the range
// beside it; beyond this many that doubles a long run for a warning, and is left out.
constexpr double kMostCheckedReflections = 200'000;

struct Range {
  double two_theta_max = 180;
  std::string text;  // as warnings name it
};

Range range_of(const PowderOptions& options, const ObservedPattern* observed) {
  if (observed != nullptr)
    return {
        observed->two_theta.back() + std::abs(options.zero_centre) + options.zero_range,
        "the observed pattern (to " + shortest_text(static_cast<float>(observed->two_theta.back())) + "°)"};
  if (options.grid)
    return {options.grid->to,
            "--two-theta (to " + shortest_text(static_cast<float>(options.grid->to)) + "°)"};
  return {180, "the whole 2theta range"};
}

bool integral_list(const std::vector<Reflection>& hkl) {
  return std::all_of(hkl.begin(), hkl.end(), [](const Reflection& h) {
    return std::all_of(h.begin(), h.end(), [](float v) { return v == std::round(v); });
  });
}

// The run's crystal and the reflections it is computed for.
struct CrystalReflections {
  VelmoraCrystal crystal;
  std::vector<Reflection> hkl;
};

// The run's crystal and its reflections, checked; model_line says which
// magnetic model gives |Fm|^2, when not velmora's own table.
CrystalReflections crystal_reflections_of(const PowderOptions& options, const Range& range, Remarks& remarks,
                                          std::string& model_line) {
  const std::string tables = powder_tables_folder(options.tables);
  const bool cif = is_cif_name(options.answers);
  VelmoraCrystal crystal;
  std::vector<Reflection> own;
  if (cif) {
    Crystal read = cif_crystal(options, tables, remarks);
    crystal = velmora_tables(tables);
    set_crystal(crystal, std::move(read));
  } else {
    crystal = velmora_tables(tables);
    Crystal read =
        read_answer_crystal(answer_file_text(options.answers), frontend::input_name(options.answers), own);
    check_answer_values(read, remarks);
    set_crystal(crystal, std::move(read));
    note_rows_beyond_velmora(crystal, remarks);
    choose_magnetic_forms(crystal, options, remarks);
  }
  model_line = crystal.model.magnetism.model_line;
  const double shortest = shortest_wavelength(options.lines);
  const double range_d = smallest_d(shortest, range.two_theta_max);
  const double dmin = options.dmin
                          ? *options.dmin
                          : smallest_d(shortest, std::min(180.0, range.two_theta_max + kRangeMarginDegrees));
  if (!options.answer_hkl && !cif && !integral_list(own))
    remarks.warn(crystal.source() +
                 " lists fractional h k l, which the cell's own reflections do not hold;"
                 " --answer-hkl uses the file's list");
  const LatticeParameters& cell = crystal.structure().param;
  if (!options.answer_hkl) {
    own = reflections_to_dmin(cell, dmin);
  } else if (reflections_within(cell, range_d) <= kMostCheckedReflections) {
    const std::vector<ReflectionValues> full =
        crystal_reflections(crystal, reflections_to_dmin(cell, range_d));
    check_listed_reflections(own, full, intensity_laue_group(cell, full), range_d, range.text, remarks);
  } else {
    remarks.note("the answers' own reflections are not checked against " + range.text +
                 ": it reaches about " +
                 std::to_string(static_cast<long long>(reflections_within(cell, range_d))) +
                 " reflections, more than the " +
                 std::to_string(static_cast<long long>(kMostCheckedReflections)) + " the check computes");
  }
  // The Laue group's check covers Friedel mates of whole h k l; fractional ones are checked here.
  if (options.answer_hkl && !integral_list(own)) check_friedel_mates(own, remarks);
  return {std::move(crystal), std::move(own)};
}

// What |FX|^2 is computed with, for the model lines: nothing for neutrons
// without dispersion, else the free atoms' f0 or the f' and f'' of each line.
std::string xray_line_of(VelmoraCrystal& crystal, const PowderOptions& options) {
  if (options.dispersion == DispersionModel::none)
    return options.radiation == Radiation::neutron ? std::string()
                                                   : "|FX|^2 with the free atoms' f0 (--dispersion none)";
  std::string words = "|FX|^2 with f0 + ";
  for (std::size_t i = 0; i < options.lines.size(); ++i)
    words +=
        (i == 0 ? "" : "; ") + set_xray_dispersion(crystal, options.dispersion, options.lines[i].wavelength);
  return words;
}

// Whether the neutron sums take the table's isotopes and absorbers' b''.
bool neutron_lengths_on(const PowderOptions& options) { return options.radiation != Radiation::xray; }

// What |FN|^2 is computed with, for the model lines: nothing when velmora's
// table serves every atom, else the lengths at each line's wavelength; the
// warnings of the first line's become remarks.
std::string neutron_line_of(VelmoraCrystal& crystal, const PowderOptions& options, Remarks& remarks) {
  if (!neutron_lengths_on(options)) return {};
  std::string words;
  for (std::size_t i = 0; i < options.lines.size(); ++i) {
    NeutronCorrections lengths = set_neutron_lengths(crystal, options.isotopes, options.lines[i].wavelength);
    if (lengths.text.empty()) return {};
    words += (i == 0 ? "|FN|^2 with " : "; ") + lengths.text;
    if (i == 0)
      for (const std::string& warning : lengths.warnings) remarks.warn(crystal.source() + ": " + warning);
  }
  return words;
}

// Sets the corrections of source line i: f' and f'' and the neutron lengths at its wavelength.
void set_line_corrections(VelmoraCrystal& crystal, const PowderOptions& options, std::size_t i) {
  set_xray_dispersion(crystal, options.dispersion, options.lines[i].wavelength);
  if (neutron_lengths_on(options))
    set_neutron_lengths(crystal, options.isotopes, options.lines[i].wavelength);
}

// The corrections at the first line's wavelength, with which a refinement
// recomputes the structure factors: one f' and f'' for a doublet, those of its
// strong line (Kα1 and Kα2 differ in f' by hundredths of an electron away from an edge).
AtomCorrections first_line_corrections(VelmoraCrystal& crystal, const PowderOptions& options) {
  set_line_corrections(crystal, options, 0);
  return crystal.state->corrections;
}

// Every reflection's values go to the peaks as the loop hands them over, so
// that millions of them need no room. With X-ray dispersion or the neutron
// lengths of absorbers the loop runs once for each source line, with the
// values at its wavelength.
void collect_peaks(CrystalReflections& reflections, PeakCollector& peaks, const PowderOptions& options) {
  if (options.dispersion == DispersionModel::none && reflections.crystal.state->corrections.neutron.empty()) {
    for_each_crystal_reflection(reflections.crystal, std::move(reflections.hkl),
                                [&peaks](const ReflectionValues& v) { peaks.add(v); });
    return;
  }
  for (std::size_t i = 0; i < options.lines.size(); ++i) {
    set_line_corrections(reflections.crystal, options, i);
    const bool last = i + 1 == options.lines.size();
    for_each_crystal_reflection(reflections.crystal, last ? std::move(reflections.hkl) : reflections.hkl,
                                [&peaks, i](const ReflectionValues& v) { peaks.add(v, i); });
  }
}

// A further phase of a mixture: its crystal, its peaks at every line and its
// corrections for a refinement.
struct FurtherPhase {
  Crystal crystal;
  std::vector<PowderPeak> peaks;
  AtomCorrections corrections;
};

// The phases of --phase, read as the input is (a CIF's first block, the
// cell's reflections), each magnetic model said in a note.
std::vector<FurtherPhase> further_phases_of(const PowderOptions& options, const Range& range,
                                            const SampleAbsorption& absorption, Remarks& remarks) {
  std::vector<FurtherPhase> phases;
  for (const std::string& file : options.phases) {
    PowderOptions phase_options = options;
    phase_options.answers = file;
    phase_options.block.clear();
    phase_options.answer_hkl = false;
    std::string model_line;
    CrystalReflections reflections = crystal_reflections_of(phase_options, range, remarks, model_line);
    if (!model_line.empty()) remarks.note(reflections.crystal.source() + ": " + model_line);
    PeakCollector collector(options.lines, nullptr, options.polarisation, absorption);
    if (options.dispersion != DispersionModel::none)
      remarks.note(reflections.crystal.source() + ": " + xray_line_of(reflections.crystal, options));
    const std::string neutron = neutron_line_of(reflections.crystal, options, remarks);
    if (!neutron.empty()) remarks.note(reflections.crystal.source() + ": " + neutron);
    collect_peaks(reflections, collector, options);
    std::vector<PowderPeak> peaks = collector.finish(remarks);
    AtomCorrections corrections = first_line_corrections(reflections.crystal, options);
    phases.push_back({std::move(reflections.crystal.model), std::move(peaks), std::move(corrections)});
  }
  return phases;
}

std::string radiation_text(const PowderOptions& options) {
  if (!options.source.empty()) return options.source + " Kα1+Kα2";
  std::string text = "λ = ";
  for (std::size_t i = 0; i < options.lines.size(); ++i)
    text += (i == 0 ? "" : ", ") + shortest_text(static_cast<float>(options.lines[i].wavelength)) +
            (i == 0 ? "" : " (" + shortest_text(static_cast<float>(options.lines[i].ratio)) + ")");
  return text + " Å";
}

// The model lines: the magnetic model when it is not velmora's own table,
// and what |FX|^2 is computed with (empty: neither said).
struct ModelLines {
  std::string magnetic, xray, neutron;
  SampleAbsorption absorption;  // its text: empty when none is asked for
};

// A CSV file's text, after a comment line for each model line.
TextFill with_model(TextFill fill, const ModelLines& model_line) {
  return [fill = std::move(fill), &model_line](TextSink& out) {
    if (!model_line.magnetic.empty()) out.add("# " + model_line.magnetic + "\n");
    if (!model_line.xray.empty()) out.add("# " + model_line.xray + "\n");
    if (!model_line.neutron.empty()) out.add("# " + model_line.neutron + "\n");
    if (!model_line.absorption.text.empty()) out.add("# " + model_line.absorption.text + "\n");
    fill(out);
  };
}

// The model in words, as the plot's title and the HTML report's table give it.
struct ModelWords {
  std::string file, radiation, peak_shape, magnetic, xray;
};

ModelWords model_words(const PowderOptions& options, const ModelLines& model_line) {
  ModelWords words{
      frontend::valid_utf8(std::filesystem::path(frontend::input_name(options.answers)).filename().string()),
      radiation_text(options),
      {},
      {},
      model_line.xray};
  const auto f = [](double v) { return shortest_text(static_cast<float>(v)); };
  if (options.width.tch) {
    const TchParameters& t = *options.width.tch;
    words.peak_shape =
        "pseudo-Voigt U V W X Y = " + f(t.u) + " " + f(t.v) + " " + f(t.w) + " " + f(t.x) + " " + f(t.y);
  } else if (options.width.caglioti) {
    const auto& [u, v, w] = *options.width.caglioti;
    // A negative term is subtracted: "- 0.002 tanθ", not "+ -0.002 tanθ".
    const auto term = [&f](double v) { return (std::signbit(v) ? " − " : " + ") + f(std::abs(v)); };
    words.peak_shape = "FWHM² = " + f(u) + " tan²θ" + term(v) + " tanθ" + term(w);
  } else {
    words.peak_shape = "FWHM " + f(options.width.fwhm) + "°";
  }
  if (!model_line.magnetic.empty())
    words.magnetic = options.model == MagneticModel::dipole ? "dipole <j0> + (2/g − 1) <j2>"
                                                            : "<j0>, ions velmora lacks from the ion table";
  return words;
}

// The plot's title: file, radiation, peak shape and the magnetic model when
// not velmora's own, '#' doubled (PLplot's escape).
std::string plot_title(const PowderOptions& options, const ModelLines& model_line) {
  const ModelWords words = model_words(options, model_line);
  std::string title = words.file + "   " + words.radiation + "   " + words.peak_shape;
  if (!words.magnetic.empty()) title += "   |Fm|²: " + words.magnetic;
  if (!words.xray.empty())
    title += options.dispersion == DispersionModel::none ? "   |FX|²: f0 alone" : "   |FX|²: f0 + f′ + if″";
  if (!model_line.neutron.empty()) title += "   |FN|²: b′ + ib″ (Sears 1992)";
  if (!model_line.absorption.text.empty())
    title += "   cylinder μR " + shortest_text(static_cast<float>(model_line.absorption.mu_r));
  std::string escaped;
  for (char c : title) escaped += c == '#' ? std::string("##") : std::string(1, c);
  return escaped;
}

// The HTML report's tables of the model (the magnetic form factor when a peak
// is magnetic) and the remarks so far; the caller adds a fit's.
ReportTables report_tables(const PowderOptions& options, const ModelLines& model_line,
                           const std::vector<PowderPeak>& peaks, const Remarks& remarks) {
  const ModelWords words = model_words(options, model_line);
  ReportTables t;
  t.title = words.file;
  t.model.push_back({"input", frontend::input_name(options.answers), ""});
  for (const std::string& phase : options.phases) t.model.push_back({"further phase", phase, ""});
  if (!options.observed.empty()) t.model.push_back({"measured pattern", options.observed, ""});
  if (!options.instrument.empty()) t.model.push_back({"instrument", options.instrument, ""});
  static const char* const kinds[] = {"neutrons", "X-rays", "neutrons and X-rays"};
  t.model.push_back({"radiation", kinds[static_cast<int>(options.radiation)], words.radiation});
  t.model.push_back({"peak shape", words.peak_shape, ""});
  if (!model_line.magnetic.empty() ||
      std::any_of(peaks.begin(), peaks.end(), [](const PowderPeak& p) { return p.magnetic > 0; }))
    t.model.push_back({"magnetic form factor",
                       model_line.magnetic.empty() ? "velmora's <j0> table" : model_line.magnetic,
                       words.magnetic});
  if (!model_line.xray.empty())
    t.model.push_back(
        {"X-ray dispersion", std::string(dispersion_model_name(options.dispersion)), model_line.xray});
  if (!model_line.neutron.empty())
    t.model.push_back({"neutron lengths", "Sears 1992, isotopes and absorbers", model_line.neutron});
  if (!model_line.absorption.text.empty())
    t.model.push_back({"absorption",
                       "cylinder μR " + shortest_text(static_cast<float>(model_line.absorption.mu_r)),
                       model_line.absorption.text});
  for (const ExcludedRange& range : options.excluded)
    t.model.push_back({"left out of the fit", range_text(range), "degrees of 2θ"});
  t.remarks = remarks.items;
  return t;
}

#ifdef VELMORA_POWDER_FIT
// The options as the refinement left the peak shape, for the plot's title: the
// refined widths (four digits, as a title reads them), pseudo-Voigt when the
// refinement made the peaks so.
PowderOptions with_refined_widths(const PowderOptions& options, const rietveld::PatternRefinement& r) {
  PowderOptions shown = options;
  std::array<double, 5> v{};
  bool refined = false;
  for (const rietveld::RefinedValue& value : r.values)
    for (std::size_t k = 0; k < 5; ++k)
      if (value.name == std::string("profile.") + "UVWXY"[k]) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4g", value.value);
        v[k] = std::strtod(text, nullptr);
        refined = refined || value.refined || !value.follows.empty();
      }
  if (!refined) return shown;
  if (shown.width.tch || v[3] != 0 || v[4] != 0)
    shown.width.tch = TchParameters{v[0], v[1], v[2], v[3], v[4]};
  else
    shown.width.caglioti = std::array<double, 3>{v[0], v[1], v[2]};
  return shown;
}
#endif

PlotAxis plot_axis(const PowderOptions& options) {
  return {options.axis, options.lines.front().wavelength, options.labels};
}

// The fit report's "model": the radiation and what the structure factors were
// computed with, in the words of the CSV files' # lines.
std::string model_json(const PowderOptions& options, const ModelLines& model_line) {
  static const char* const kinds[] = {"neutron", "xray", "both"};
  std::string members =
      "  \"model\": {\n    \"radiation\": " + json_string(kinds[static_cast<int>(options.radiation)]) +
      ",\n    \"source\": " + json_string(radiation_text(options));
  if (options.radiation != Radiation::neutron)
    members += ",\n    \"dispersion\": " + json_string(dispersion_model_name(options.dispersion)) +
               ",\n    \"xray_form_factor\": " + json_string(model_line.xray);
  if (!model_line.neutron.empty())
    members += ",\n    \"neutron_lengths\": " + json_string(model_line.neutron);
  if (!model_line.magnetic.empty())
    members += ",\n    \"magnetic_form_factor\": " + json_string(model_line.magnetic);
  return members + "\n  }";
}

// Whether an output goes to standard output.
bool writes_standard_output(const PowderOptions& o) {
  for (const std::string* name : {&o.csv, &o.reflections, &o.xy, &o.fit_report, &o.refined_cif})
    if (*name == kStandardStream) return true;
  return false;
}

// How many of the measured points the fit left out, and by which ranges, for
// its summary; nothing when no range was given.
std::string left_out_text(const std::vector<ExcludedRange>& ranges, const std::vector<bool>& excluded) {
  if (ranges.empty()) return {};
  std::string given;
  for (const ExcludedRange& range : ranges) given += (given.empty() ? "" : ", ") + range_text(range);
  const auto left_out = std::count(excluded.begin(), excluded.end(), true);
  return "; " + std::to_string(left_out) + " of " + std::to_string(excluded.size()) +
         " points left out (--exclude " + given + ")";
}

// Fits, refines when asked, and writes the outputs; gives the table of refined
// values for standard output (empty: nothing refined, or it carries an output).
std::string fit_and_write(const PowderOptions& options, ObservedPattern& observed,
                          const std::vector<PowderPeak>& peaks, const Crystal& crystal,
                          AtomCorrections corrections, const std::vector<FurtherPhase>& further,
                          const ModelLines& model_line, PendingOutputs& outputs, Remarks& remarks) {
  const std::vector<std::complex<double>> xray = corrections.xray;  // for the refined CIF
  std::vector<FitPhase> phases{{crystal, peaks, std::move(corrections)}};
  for (const FurtherPhase& phase : further) phases.push_back({phase.crystal, phase.peaks, phase.corrections});
  ObservedFit result = fit_observed(options, observed, phases, remarks, model_line.absorption.mu_r);
  PatternFit& fit = result.fit;
  std::string report_members = model_json(options, model_line);
#ifdef VELMORA_POWDER_FIT
  if (result.refinement) report_members += ",\n" + refinement_json_members(*result.refinement);
#endif
  observed.sigma = std::move(fit.sigma);  // the CSV's sigma: those the fit weighted by
  const auto f = [](double v) { return shortest_text(static_cast<float>(v)); };
  std::string scales = f(fit.scale);
  for (std::size_t k = 1; k < fit.scales.size(); ++k)
    scales += ", phase " + std::to_string(k + 1) + " " + f(fit.scales[k]);
  remarks.note("fit to " + observed.source + ": scale " + scales + ", zero shift " + f(fit.zero_shift) +
               "°, Rp " + f(100 * fit.rp) + "%, Rwp " + f(100 * fit.rwp) + "%, Rexp " + f(100 * fit.rexp) +
               "%, chi2 " + f(fit.chi2) + left_out_text(options.excluded, fit.excluded));
  if (!model_line.absorption.text.empty())
    report_members = absorption_json_member(model_line.absorption) +
                     (report_members.empty() ? "" : ",\n" + report_members);
  if (!options.fit_report.empty())
    outputs.write(options.fit_report, fit_json(fit, report_members, options.excluded));
#ifdef VELMORA_POWDER_FIT
  if (!options.refined_cif.empty() && result.refinement)
    outputs.write(
        options.refined_cif,
        refined_cif(crystal, *result.refinement, observed.source, xray,
                    "Cromer-Liberman by gemmi at " +
                        shortest_text(static_cast<float>(options.lines.front().wavelength)) + " A"));
#endif
  if (!options.csv.empty()) outputs.write(options.csv, with_model(fit_csv(observed, fit), model_line));
  if (!options.xy.empty()) outputs.write(options.xy, xy_text(observed.two_theta, fit.calculated));
  const std::span<const std::vector<PowderPeak>> further_ticks(result.ticks.data() + 1,
                                                               result.ticks.size() - 1);
  PowderOptions shown = options;  // the peak shape as the fit left it
#ifdef VELMORA_POWDER_FIT
  if (result.refinement) shown = with_refined_widths(options, *result.refinement);
#endif
  const FitPicture picture{observed,           fit,           result.ticks.front(), options.radiation,
                           plot_axis(options), further_ticks, options.excluded};
  if (!options.plot.empty() &&
      !draw_fit_plot(outputs.reserve(options.plot), plot_title(shown, model_line), picture))
    fail_powder(options.plot + ": the plot could not be written whole (is the disk full?)");
  if (!options.html.empty()) {
    ReportTables tables = report_tables(shown, model_line, peaks, remarks);
    tables.agreement = agreement_rows(fit);
    tables.parameters = fit_rows(fit);
#ifdef VELMORA_POWDER_FIT
    if (result.refinement) {
      tables.parameters = refinement_rows(*result.refinement);
      tables.notes = refinement_notes(*result.refinement);
      tables.notes.insert(tables.notes.begin(), "refinement: " + refinement_ending(*result.refinement));
    }
#endif
    outputs.write(options.html, fit_html(picture, tables));
  }
#ifdef VELMORA_POWDER_FIT
  if (result.refinement && !writes_standard_output(options))
    return refinement_table(*result.refinement, observed.source);
#endif
  return {};
}

void pattern_and_write(const PowderOptions& options, const std::vector<PowderPeak>& peaks,
                       const ModelLines& model_line, PendingOutputs& outputs, Remarks& remarks) {
  const TwoThetaGrid grid = options.grid ? *options.grid : default_grid(peaks, options.width);
  const PowderPattern pattern = powder_pattern(peaks, grid, options.width, remarks);
  if (!options.csv.empty()) outputs.write(options.csv, with_model(pattern_csv(pattern), model_line));
  if (!options.xy.empty()) {
    const std::vector<float>& y = options.radiation == Radiation::xray ? pattern.xray : pattern.total;
    outputs.write(options.xy, xy_text(pattern.two_theta, y));
  }
  if (!options.plot.empty() &&
      !draw_powder_plot(outputs.reserve(options.plot), plot_title(options, model_line), pattern, peaks,
                        options.radiation, plot_axis(options)))
    fail_powder(options.plot + ": the plot could not be written whole (is the disk full?)");
  if (!options.html.empty())
    outputs.write(options.html,
                  pattern_html(pattern, peaks, options.radiation, options.lines.front().wavelength,
                               report_tables(options, model_line, peaks, remarks)));
}

}  // namespace

void run_powder(const PowderOptions& options, Remarks& remarks) {
  if (!options.plot.empty() && !plot_supported())
    fail_powder(
        "--plot: this velmora-powder cannot draw: it was built without PLplot, or PLplot's SVG driver"
        " is missing (Debian: libplplot-dev); --csv and --reflections work without it");
  if (!options.observed.empty() && !fit_supported())
    fail_powder(
        "--observed: this velmora-powder cannot fit: it was built without Eigen (Debian:"
        " libeigen3-dev), its least-squares library");
  std::optional<ObservedPattern> observed;
  if (!options.observed.empty()) observed = read_observed_pattern(options.observed, remarks);
  const Range range = range_of(options, observed ? &*observed : nullptr);
  ModelLines model_line;
  CrystalReflections reflections = crystal_reflections_of(options, range, remarks, model_line.magnetic);
  model_line.xray = xray_line_of(reflections.crystal, options);
  model_line.neutron = neutron_line_of(reflections.crystal, options, remarks);
  model_line.absorption = sample_absorption(options.absorption, reflections.crystal.model, options.radiation,
                                            options.lines.front().wavelength, options.isotopes);
  const std::vector<FurtherPhase> further = further_phases_of(options, range, model_line.absorption, remarks);
  std::vector<const Crystal*> crystals{&reflections.crystal.model};
  for (const FurtherPhase& phase : further) crystals.push_back(&phase.crystal);
  for (const std::string& warning :
       unmatched_name_warnings(crystals, "--ion", options.ions, "--g", options.g))
    remarks.warn(warning);
  PendingOutputs outputs("velmora-powder", "this output");
  // Each output file is checked (and its temporary made) before the pattern
  // and the fit are computed, which for many points take long.
  for (const std::string* path : {&options.reflections, &options.csv, &options.xy, &options.plot,
                                  &options.html, &options.fit_report, &options.refined_cif})
    if (!path->empty() && *path != kStandardStream) outputs.reserve(*path);
  // A pattern is computed when an output shows it.
  const bool pattern_shown =
      !options.csv.empty() || !options.plot.empty() || !options.html.empty() || !options.xy.empty();
  if (!observed && !pattern_shown && options.lines.size() == 1) {
    // Only the reflections table: each row is written as its reflection is
    // computed, and no peak is kept.
    const TextFill rows = with_model(
        [&](TextSink& out) {
          ReflectionRows table(out);
          PeakCollector peaks(
              options.lines, [&table](const PowderPeak& peak) { table.add(peak); }, options.polarisation,
              model_line.absorption);
          collect_peaks(reflections, peaks, options);
          peaks.finish(remarks);
        },
        model_line);
    if (options.reflections.empty() || options.reflections == kStandardStream) {
      write_standard_output(rows, "the reflections");
    } else {
      outputs.write(options.reflections, rows);
    }
    outputs.commit();
    return;
  }
  PeakCollector collector(options.lines, nullptr, options.polarisation, model_line.absorption);
  collect_peaks(reflections, collector, options);
  const std::vector<PowderPeak> peaks = collector.finish(remarks);
  if (!options.reflections.empty())
    outputs.write(options.reflections, with_model(reflections_csv(peaks), model_line));
  std::string refined_values;
  if (observed)
    refined_values = fit_and_write(options, *observed, peaks, reflections.crystal.model,
                                   first_line_corrections(reflections.crystal, options), further, model_line,
                                   outputs, remarks);
  else if (pattern_shown)
    pattern_and_write(options, peaks, model_line, outputs, remarks);
  if (options.reflections.empty() && !pattern_shown && options.fit_report.empty() && !observed) {
    write_standard_output(with_model(reflections_csv(peaks), model_line), "the reflections");
  }
  outputs.commit();
  if (!refined_values.empty()) write_standard_output(refined_values, "the refined values");
}

}  // namespace velmora::powder
