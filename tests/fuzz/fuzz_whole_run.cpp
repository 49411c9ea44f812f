// Fuzz target: a whole run inside the process, its three tables and standard input carved from
// one input (README.md gives the form), the tables kept in the console's memory; then the same
// tables read as the companions read them, with the rows after velmora's.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.hpp"
#include "fuzz_support.hpp"
#include "report/velmora_run.hpp"
#include "tables/scattering_tables.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  constexpr char kSeparator = '\x1e';
  constexpr std::string_view kMissing = "\x1f";
  const std::string_view names[] = {velmora::kXrayFileName, velmora::kNeutronFileName,
                                    velmora::kMagneticFileName};

  velmora::Console console("");
  console.data_files.emplace();
  bool separated = true;
  for (std::string_view name : names) {
    if (!separated) break;
    std::size_t cut = rest.find(kSeparator);
    separated = cut != std::string_view::npos;
    std::string_view part = rest.substr(0, cut);
    rest = separated ? rest.substr(cut + 1) : std::string_view{};
    if (part != kMissing) console.data_files->emplace(std::string(name), std::string(part));
  }
  console.in = velmora::InputSource(std::string(rest), velmora::kStandardInputChannel, "");

  velmora::Console companion("");
  companion.data_files = console.data_files;
  int status = velmora::run_velmora(console);
  velmora::fuzz::check_ending(status, console);
  velmora::fuzz::check_rows_beyond(companion);
  return 0;
}
