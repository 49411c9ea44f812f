// velmora-powder: the powder diffraction pattern of the structure in a velmora
// answer file, at one wavelength. The only place that prints to standard error
// and decides the exit status: 0 when every output is written, 1 after any
// error, with no output written.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "files/pending_outputs.hpp"
#include "powder/number_text.hpp"
#include "powder/powder_files.hpp"
#include "powder/powder_plot.hpp"
#include "powder/tables_folder.hpp"
#include "powder/velmora_reflections.hpp"

namespace {

using namespace velmora::powder;

void print_remarks(const Remarks& remarks) {
  for (const std::string& line : remarks.lines) std::fprintf(stderr, "velmora-powder: %s\n", line.c_str());
}

// The plot's title: file, wavelength and peak width, '#' doubled (PLplot's escape).
std::string plot_title(const PowderOptions& options) {
  std::string title = std::filesystem::path(options.answers).filename().string() +
                      "   λ = " + float_text(static_cast<float>(options.wavelength)) + " Å   ";
  if (options.width.caglioti) {
    const auto& [u, v, w] = *options.width.caglioti;
    title += "FWHM² = " + float_text(static_cast<float>(u)) + " tan²θ + " +
             float_text(static_cast<float>(v)) + " tanθ + " + float_text(static_cast<float>(w));
  } else {
    title += "FWHM " + float_text(static_cast<float>(options.width.fwhm)) + "°";
  }
  std::string escaped;
  for (char c : title) escaped += c == '#' ? std::string("##") : std::string(1, c);
  return escaped;
}

void run(const PowderOptions& options, Remarks& remarks) {
  if (!options.plot.empty() && !plot_supported())
    fail_powder(
        "--plot: this velmora-powder cannot draw: it was built without PLplot, or PLplot's SVG driver"
        " is missing (Debian: libplplot-dev); --csv and --reflections work without it");
  const auto values = velmora_reflections(options.answers, powder_tables_folder(options.tables));
  const std::vector<PowderPeak> peaks = powder_peaks(values, options.wavelength, remarks);
  velmora::PendingOutputs outputs("velmora-powder", "this output");
  if (!options.reflections.empty()) outputs.write(options.reflections, reflections_csv(peaks));
  if (!options.csv.empty() || !options.plot.empty()) {
    const TwoThetaGrid grid = options.grid ? *options.grid : default_grid(peaks, options.width);
    const PowderPattern pattern = powder_pattern(peaks, grid, options.width, remarks);
    if (!options.csv.empty()) outputs.write(options.csv, pattern_csv(pattern));
    if (!options.plot.empty() && !draw_powder_plot(outputs.reserve(options.plot), plot_title(options),
                                                   pattern, peaks, options.radiation))
      fail_powder(options.plot + ": the plot could not be written whole (is the disk full?)");
  }
  if (options.reflections.empty() && options.csv.empty() && options.plot.empty()) {
    const std::string text = reflections_csv(peaks);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      fail_powder("cannot write the reflections to standard output");
  }
  outputs.commit();
}

}  // namespace

int main(int argc, char** argv) {
  Remarks remarks;
  try {
    const PowderOptions options = parse_powder_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::fputs(powder_usage_text().c_str(), stdout);
      return 0;
    }
    if (options.version) {
      std::printf("velmora-powder %s\n", VELMORA_VERSION);
      return 0;
    }
    run(options, remarks);
    print_remarks(remarks);
    return 0;
  } catch (const std::exception& e) {
    print_remarks(remarks);
    std::fprintf(stderr, "velmora-powder: error: %s\n", e.what());
    return 1;
  }
}
