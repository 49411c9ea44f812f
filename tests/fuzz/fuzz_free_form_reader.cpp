// Fuzz target: the free-form reader over arbitrary bytes, several reads in a row over one
// source with every list of targets the program reads (the dialogue's and the table rows'),
// mixed with the fixed-text read of a header line. Input: byte 0 chooses the channel (bit 0: a
// data file, else standard input); bytes 1 to 8 choose the list of each read in turn (value
// mod 8, 7 the header read), in a cycle; the rest is the source. Every read returns, having
// consumed input, or ends the run through RunEnded, whose ending is checked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"
#include "fuzz_support.hpp"
#include "tables/scattering_tables.hpp"
#include "tables/symbol.hpp"

namespace {

// Lattice, a count, an atom, a moment or reflection, X-ray, neutron and magnetic rows:
// s a symbol, r a real, i an integer.
const char* const kLists[] = {"rrrrrr", "i", "srrrrri", "rrr", "srrrrrrrrr", "sr", "srrrrrrr"};

void read_list(velmora::Console& console, velmora::InputSource& source, int choice) {
  if (choice == 7) {
    const std::string header = velmora::read_fixed_text(console, source, velmora::kHeaderWidth);
    return velmora::fuzz::check(header.size() == static_cast<std::size_t>(velmora::kHeaderWidth), "a header line of the wrong width");
  }
  static float reals[9];
  static std::int32_t integer;
  static velmora::Symbol symbol;
  std::vector<velmora::ReadTarget> targets;
  int r = 0;
  for (const char* kind = kLists[choice]; *kind != '\0'; ++kind) {
    targets.push_back(*kind == 's'   ? velmora::target(velmora::text_span(symbol))
                      : *kind == 'i' ? velmora::target(integer)
                                     : velmora::target(reals[r++]));
  }
  velmora::read_free_form(console, source, targets);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t control[9] = {};
  const std::size_t skip = size < 9 ? size : 9;
  for (std::size_t i = 0; i < skip; ++i) control[i] = data[i];
  const bool data_file = (control[0] & 1) != 0;
  velmora::Console console("");
  velmora::InputSource source(std::string(reinterpret_cast<const char*>(data) + skip, size - skip),
                              data_file ? velmora::kDataFileChannel : velmora::kStandardInputChannel,
                              data_file ? std::string(velmora::kXrayFileName) : std::string());
  try {
    for (std::size_t reads = 0;; ++reads) {
      velmora::fuzz::check(reads <= size + 1, "a read returned without consuming its input");
      read_list(console, source, control[1 + reads % 8] % 8);
    }
  } catch (const velmora::RunEnded& end) {
    velmora::fuzz::check_ending(end.status, console);
    velmora::fuzz::check(end.status == 2 && console.err_text.find(data_file ? ", channel 1, file \"" : ", channel 5\n") !=
                                                std::string::npos,
                         "a read ended the run other than by a failure on its channel", console.err_text);
  }
  return 0;
}
