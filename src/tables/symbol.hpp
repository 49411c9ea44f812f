// Atom symbols and table labels: texts of exactly three characters, padded on
// the right with blanks when read shorter and compared byte for byte.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace velmora {

using Symbol = std::array<char, 3>;

inline constexpr Symbol kBlankSymbol = {' ', ' ', ' '};

inline std::string_view text_of(const Symbol& symbol) { return {symbol.data(), symbol.size()}; }
inline std::span<char> text_span(Symbol& symbol) { return {symbol.data(), symbol.size()}; }

}  // namespace velmora
