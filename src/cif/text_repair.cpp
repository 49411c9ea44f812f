// Mending the text faults that leave the bytes in place: each is replaced by
// ASCII of the same length, so lines and offsets stay those of the file.
#include "cif/text_repair.hpp"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace velmora::cif {

int line_of(const std::string& text, std::size_t at) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

namespace {

// Where the first data block starts (a line whose first word begins data_ or
// global_), or the text's size.
std::size_t first_block(const std::string& text) {
  for (std::size_t line = 0; line < text.size();) {
    const std::size_t word = text.find_first_not_of(" \t", line);
    if (word != std::string::npos && word < text.size()) {
      std::string head = text.substr(word, 7);
      std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
      if (head.compare(0, 5, "data_") == 0 || head == "global_") return word;
    }
    const std::size_t end = text.find('\n', line);
    if (end == std::string::npos) break;
    line = end + 1;
  }
  return text.size();
}

}  // namespace

bool mend_curly_quotes(std::string& text, std::size_t at, std::vector<TextRepair>& repairs) {
  at = std::min(at, text.size());
  std::size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
  begin = begin == std::string::npos || begin == 0 ? 0 : text.rfind('\n', begin - 1);
  begin = begin == std::string::npos ? 0 : begin;
  const std::size_t end = std::min(text.find('\n', at), text.size());
  bool mended = false;
  for (std::size_t i = begin; i + 2 < end; ++i)
    if (text.compare(i, 3, "\xE2\x80\x9C") == 0 || text.compare(i, 3, "\xE2\x80\x9D") == 0) {
      // “x” becomes   "x"  : the quotes stand where CIF wants them, blanks outside.
      text.replace(i, 3, text[i + 2] == '\x9C' ? "  \"" : "\"  ");
      repairs.push_back(
          {line_of(text, i), "curly quotes (\xE2\x80\x9C \xE2\x80\x9D)", "are read as \"", false});
      mended = true;
    }
  return mended;
}

std::string repaired_text(const std::string& text, std::vector<TextRepair>& repairs) {
  std::string out = text;
  for (std::size_t i = 0; i + 2 < out.size(); ++i) {
    if (out.compare(i, 3, "\xE2\x88\x92") == 0) {
      // -00.5 is read as -0.5: the number keeps its value and the text its length.
      const char next = i + 3 < out.size() ? out[i + 3] : ' ';
      const bool number = std::isdigit(static_cast<unsigned char>(next)) || next == '.';
      out.replace(i, 3, number ? "-00" : "-  ");
      if (number)
        repairs.push_back({line_of(text, i), "a Unicode minus (U+2212)", "is read as '-'", true, false});
    }
  }
  // Items before the first data_ belong to no block: they are passed over.
  const std::size_t start = first_block(out);
  std::size_t content = start;
  for (std::size_t i = 0; i < start && content == start; ++i) {
    if (out[i] == '#') i = std::min(out.find('\n', i), start);
    if (i < start && !std::isspace(static_cast<unsigned char>(out[i]))) content = i;
  }
  if (content < start && start < out.size()) {
    for (std::size_t i = 0; i < start; ++i)
      if (out[i] != '\n') out[i] = ' ';
    repairs.push_back({line_of(text, content), "text before the first data_",
                       "belongs to no data block and is not read", true});
  }
  return out;
}

}  // namespace velmora::cif
