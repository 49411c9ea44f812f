// velmora-powder: the powder diffraction pattern of the structure in a velmora
// answer file, at one wavelength. Exit status 0 when every output is written,
// 1 after any error, with no output written.
#include <filesystem>
#include <string>
#include <vector>

#include "files/pending_outputs.hpp"
#include "frontend/escaping.hpp"
#include "frontend/program.hpp"
#include "powder/number_text.hpp"
#include "powder/powder_files.hpp"
#include "powder/powder_options.hpp"
#include "powder/powder_plot.hpp"
#include "powder/tables_folder.hpp"
#include "powder/velmora_reflections.hpp"

namespace {

using namespace velmora::powder;

// A CSV file's text, after a comment line naming the magnetic model when it
// is not velmora's own table.
std::string with_model(const std::string& text, const std::string& model_line) {
  return model_line.empty() ? text : "# " + model_line + "\n" + text;
}

// The plot's title: file, wavelength and peak width, '#' doubled (PLplot's escape).
std::string plot_title(const PowderOptions& options, const std::string& model_line) {
  std::string title = velmora::frontend::valid_utf8(std::filesystem::path(options.answers).filename().string()) +
                      "   λ = " + float_text(static_cast<float>(options.wavelength)) + " Å   ";
  if (options.width.caglioti) {
    const auto& [u, v, w] = *options.width.caglioti;
    title += "FWHM² = " + float_text(static_cast<float>(u)) + " tan²θ + " +
             float_text(static_cast<float>(v)) + " tanθ + " + float_text(static_cast<float>(w));
  } else {
    title += "FWHM " + float_text(static_cast<float>(options.width.fwhm)) + "°";
  }
  if (!model_line.empty())
    title += options.model == velmora::MagneticModel::dipole
                 ? "   |Fm|²: dipole <j0> + (2/g − 1) <j2>"
                 : "   |Fm|²: <j0>, ions velmora lacks from the ion table";
  std::string escaped;
  for (char c : title) escaped += c == '#' ? std::string("##") : std::string(1, c);
  return escaped;
}

int run(const PowderOptions& options, Remarks& remarks) {
  if (!options.plot.empty() && !plot_supported())
    fail_powder(
        "--plot: this velmora-powder cannot draw: it was built without PLplot, or PLplot's SVG driver"
        " is missing (Debian: libplplot-dev); --csv and --reflections work without it");
  std::string model_line;
  const auto values = velmora_reflections(options.answers, powder_tables_folder(options.tables), options,
                                          remarks, model_line);
  const std::vector<PowderPeak> peaks = powder_peaks(values, options.wavelength, remarks);
  velmora::PendingOutputs outputs("velmora-powder", "this output");
  if (!options.reflections.empty())
    outputs.write(options.reflections, with_model(reflections_csv(peaks), model_line));
  if (!options.csv.empty() || !options.plot.empty()) {
    const TwoThetaGrid grid = options.grid ? *options.grid : default_grid(peaks, options.width);
    const PowderPattern pattern = powder_pattern(peaks, grid, options.width, remarks);
    if (!options.csv.empty()) outputs.write(options.csv, with_model(pattern_csv(pattern), model_line));
    if (!options.plot.empty() &&
        !draw_powder_plot(outputs.reserve(options.plot), plot_title(options, model_line), pattern, peaks,
                          options.radiation))
      fail_powder(options.plot + ": the plot could not be written whole (is the disk full?)");
  }
  if (options.reflections.empty() && options.csv.empty() && options.plot.empty())
    velmora::write_standard_output(with_model(reflections_csv(peaks), model_line), "the reflections");
  outputs.commit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Remarks remarks;
  return velmora::frontend::run_program(powder_program_spec(), argc, argv, remarks,
                                        [&](const auto& line) { return run(powder_options_of(line), remarks); });
}
