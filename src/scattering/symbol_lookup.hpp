// Finding an atom's row in a reference table by its three-character symbol:
// an exact byte-for-byte match, the last matching row when a label occurs
// more than once, kUnknownSymbol when none matches.
#pragma once

#include <span>

#include "tables/symbol.hpp"

namespace velmora {

inline constexpr int kUnknownSymbol = -9999;

// Rows are numbered from 1; label(row) gives the label of a table row.
template <typename Row, typename Label>
int find_symbol_row(const Symbol& symbol, std::span<const Row> rows, Label label) {
  int atom = kUnknownSymbol;
  for (int itype = 1; itype <= static_cast<int>(rows.size()); ++itype) {
    if (label(rows[itype - 1]) == symbol) atom = itype;
  }
  return atom;
}

}  // namespace velmora
