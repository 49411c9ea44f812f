// Text faults of published CIFs that CIF readers forgive: before parsing, a
// Unicode minus before a number and items before the first data block; where
// the parser stops, control characters, curly quotes, a quote left open at
// the end of its line or closed inside its value, and a misspelt loop_.
// Each mending is remembered by its line, so that a fault in an item velmora
// uses can still be refused, and every other one is reported once.
#pragma once

#include <cstddef>
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

// The text as the parser reads it, beside the file's bytes that values are
// given back from: the same text but for each byte beyond ASCII, and each
// control character kept inside a word, which is '~' to the parser. A mending
// changes both alike and keeps every line where it was.
struct MendedText {
  std::string bytes;
  std::string parsed;
  void replace(std::size_t at, std::size_t count, const std::string& ascii);
};

// The text with each Unicode minus read as '-' and the items before the first
// data block blanked, every line where it was.
std::string repaired_text(const std::string& text, std::vector<TextRepair>& repairs);

// Each mending below looks at the place `at` where the parser stopped and
// returns false when it finds nothing there to mend.

// Curly double quotes on the line of `at` (and the line before) read as ASCII
// ones; curly single quotes too where they open or close a word.
bool mend_curly_quotes(MendedText& text, std::size_t at, std::vector<TextRepair>& repairs);

// A quote that opens a value on the line of `at` and is never closed on it
// (an author's name, a title) closed after the line's last character; a
// value closed too early by a quote inside it ('Hund' rule') read whole.
bool mend_open_quote(MendedText& text, std::size_t at, std::vector<TextRepair>& repairs);

// `loop`, `loop__tag` or `loop_name` before a tag read as loop_.
bool mend_loop_keyword(MendedText& text, std::size_t at, std::vector<TextRepair>& repairs);

// The line (from 1) of a byte of the text.
int line_of(const std::string& text, std::size_t at);

}  // namespace velmora::cif
