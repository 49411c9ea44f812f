// Atom symbols and table labels: texts of exactly three characters, padded on
// the right with blanks when read shorter and compared byte for byte.
#pragma once

#include <array>
#include <string_view>

namespace velmora {

using Symbol = std::array<char, 3>;

inline constexpr Symbol kBlankSymbol = {' ', ' ', ' '};

inline std::string_view text_of(const Symbol& symbol) { return {symbol.data(), symbol.size()}; }

// A label as velmora's reader takes a text answer: its first three
// characters, padded with blanks.
inline Symbol symbol_of(std::string_view text) {
  Symbol symbol = kBlankSymbol;
  for (std::size_t i = 0; i < symbol.size() && i < text.size(); ++i) symbol[i] = text[i];
  return symbol;
}

// The label without the blanks that pad it.
inline std::string_view trimmed_text_of(const Symbol& symbol) {
  std::string_view text = text_of(symbol);
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

}  // namespace velmora
