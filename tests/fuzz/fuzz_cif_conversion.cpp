// Fuzz target: velmora-cif's conversion inside the process, the input as a CIF (README.md); the
// conversion may refuse the input with a message, and nothing else may go wrong.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gemmi/cifdoc.hpp>
#include <string>

#include "cif/answer_file.hpp"
#include "cif/conversion.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora::cif;
  static const TableLabels tables = read_table_labels(VELMORA_CIF_SHIPPED_TABLES);
  Warnings warnings;
  try {
    gemmi::cif::Document document =
        parse_cif_text(std::string(reinterpret_cast<const char*>(data), size), "f.cif", warnings);
    const CifStructure s = read_cif_structure(document, "", warnings);
    Options options;
    options.dmin = std::max(0.5, std::cbrt(4.19 * s.cell.volume / 3000));
    options.choices.velmora_only = true;
    const velmora::Crystal crystal = crystal_of(s, tables, options.choices, warnings);
    if (answer_text(crystal, reflections_asked(options, crystal.cell, warnings)).empty()) std::abort();
  } catch (const ConversionError& e) {
    if (e.what()[0] == '\0') std::abort();
  }
  for (const std::string& line : warnings.lines())
    if (line.empty()) std::abort();
  return 0;
}
