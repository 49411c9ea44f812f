// Fuzz target: the free-form reader over arbitrary bytes, with every list of
// targets that the program reads, several reads in a row over one source, as
// the dialogue and the table loader make them. Also mixes in the fixed-text
// read of a header line.
//
// Input layout: byte 0 chooses the channel (bit 0: a data file, else standard
// input); bytes 1 to 8 choose the list of each read in turn (value mod 8, 7
// being the fixed-text read), repeated in a cycle; the rest is the source.
// Every read either returns or ends the run through RunEnded; since each read
// that returns consumes at least one character, the loop ends.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/console.hpp"
#include "console/free_form_reader.hpp"
#include "console/input_source.hpp"
#include "console/run_end.hpp"
#include "fuzz_support.hpp"
#include "tables/scattering_tables.hpp"
#include "tables/symbol.hpp"

namespace {

using velmora::read_free_form;
using velmora::target;
using velmora::text_span;

constexpr std::size_t kControlBytes = 9;

struct Targets {
  std::array<float, 9> reals{};
  std::int32_t integer = 0;
  velmora::Symbol symbol = velmora::kBlankSymbol;
};

// One read of list `choice`; the same lists, in the same order of kinds, as
// the dialogue (lattice, a count, an atom, a moment or a reflection) and the
// three table rows.
void read_list(velmora::Console& console, velmora::InputSource& source, int choice, Targets& t) {
  auto& r = t.reals;
  switch (choice) {
    case 0:  // lattice parameters
      read_free_form(console, source, {target(r[0]), target(r[1]), target(r[2]), target(r[3]), target(r[4]), target(r[5])});
      break;
    case 1:  // number of atoms or of reflections
      read_free_form(console, source, {target(t.integer)});
      break;
    case 2:  // one atom
      read_free_form(console, source, {target(text_span(t.symbol)), target(r[0]), target(r[1]), target(r[2]),
                                       target(r[3]), target(r[4]), target(t.integer)});
      break;
    case 3:  // one moment or one reflection
      read_free_form(console, source, {target(r[0]), target(r[1]), target(r[2])});
      break;
    case 4:  // X-ray row
      read_free_form(console, source, {target(text_span(t.symbol)), target(r[0]), target(r[1]), target(r[2]),
                                       target(r[3]), target(r[4]), target(r[5]), target(r[6]), target(r[7]),
                                       target(r[8])});
      break;
    case 5:  // neutron-length row
      read_free_form(console, source, {target(text_span(t.symbol)), target(r[0])});
      break;
    case 6:  // magnetic row
      read_free_form(console, source, {target(text_span(t.symbol)), target(r[0]), target(r[1]), target(r[2]),
                                       target(r[3]), target(r[4]), target(r[5]), target(r[6])});
      break;
    default: {  // a header line
      std::string header = velmora::read_fixed_text(console, source, velmora::kHeaderWidth);
      velmora::fuzz::check(header.size() == static_cast<std::size_t>(velmora::kHeaderWidth),
                           "a header line of the wrong width");
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, kControlBytes> control{};
  for (std::size_t i = 0; i < kControlBytes && i < size; ++i) control[i] = data[i];
  std::size_t skip = size < kControlBytes ? size : kControlBytes;
  std::string text(reinterpret_cast<const char*>(data) + skip, size - skip);

  const bool data_file = (control[0] & 1) != 0;
  velmora::Console console("");
  velmora::InputSource source(std::move(text),
                              data_file ? velmora::kDataFileChannel : velmora::kStandardInputChannel,
                              data_file ? std::string(velmora::kXrayFileName) : std::string());
  Targets targets;
  std::size_t reads = 0;
  try {
    for (;; ++reads) {
      velmora::fuzz::check(reads <= size + 1, "a read returned without consuming its input");
      read_list(console, source, control[1 + reads % (kControlBytes - 1)] % 8, targets);
    }
  } catch (const velmora::RunEnded& end) {
    velmora::fuzz::check(end.status == 2, "a read ended the run other than by a failure");
    velmora::fuzz::check_ending(end.status, console);
    const std::string& err = console.err_text;
    velmora::fuzz::check(err.find(data_file ? ", channel 1, file \"" : ", channel 5\n") != std::string::npos,
                         "the place line names the wrong channel", err);
  }
  return 0;
}
