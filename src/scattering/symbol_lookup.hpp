// Finding an atom's row in a reference table by its three-character symbol:
// an exact byte-for-byte match, the last matching row when a label occurs
// more than once, kUnknownSymbol when none matches.
#pragma once

#include <array>
#include <optional>
#include <span>

#include "tables/scattering_tables.hpp"
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

// velmora's <j0> coefficients of a label, from the row its own reader finds
// among its magnetic rows; nothing when it has none.
inline std::optional<std::array<float, 7>> velmora_j0_row(const ScatteringTables& tables,
                                                          const Symbol& label) {
  const auto rows = std::span(tables.magnetic).first(kMagneticRows);
  const int row = find_symbol_row(label, rows, [](const MagneticFormRow& r) { return r.mion; });
  if (row == kUnknownSymbol) return std::nullopt;
  return rows[row - 1].msf;
}

}  // namespace velmora
