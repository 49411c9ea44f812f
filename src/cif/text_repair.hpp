// Text faults of published CIFs that CIF readers forgive, mended without
// moving a byte: before parsing, a Unicode minus before a number and items
// before the first data block; where the parser stops, curly double quotes
// and control characters.
// Each mending is remembered by its line, so that a fault in an item velmora
// uses can still be refused, and every other one is reported once.
#pragma once

#include <string>
#include <vector>

namespace velmora::cif {

struct TextRepair {
  int line = 0;
  std::string fault;           // "curly quotes (“ ”)"
  std::string mend;            // "are read as \""
  bool in_used_items = false;  // the mending is sound in an item velmora uses too
  bool needed = true;          // false: it changes nothing that an unused item would need
};

// The text with each fault mended in place (same length, same lines).
std::string repaired_text(const std::string& text, std::vector<TextRepair>& repairs);

// Curly double quotes on the line of byte `at` of the text (and the line
// before) read as ASCII ones; false when there are none.
bool mend_curly_quotes(std::string& text, std::size_t at, std::vector<TextRepair>& repairs);

// The line (from 1) of a byte of the text.
int line_of(const std::string& text, std::size_t at);

}  // namespace velmora::cif
