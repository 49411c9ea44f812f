// The reflection loop: for every reflection in input order its geometry, the
// nuclear and X-ray sums over all atoms, the magnetic sum over the magnetic
// atoms, and the three squared moduli. It computes only; what becomes of each
// reflection's values (the report, a powder pattern) is its caller's choice.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "geometry/cell.hpp"
#include "scattering/atom_corrections.hpp"
#include "scattering/given_magnetic_forms.hpp"
#include "scattering/reflection_geometry.hpp"
#include "scattering/structure_factors.hpp"
#include "structure/structure.hpp"
#include "tables/scattering_tables.hpp"

namespace velmora {

// Everything the loop reads. None of it may change while the loop exists.
struct ScatteringInputs {
  const ScatteringTables& tables;
  const Structure& structure;
  const CellGeometry& cell;
  const std::vector<Vector3>& umom;
  float pi;
  float eg2mc;
  // Form factors of some magnetic atoms given by a companion's model; velmora
  // itself gives none and every magnetic atom takes its table row.
  const GivenMagneticForms* given_forms = nullptr;
  // A companion's corrections to the free-atom scattering (dispersion,
  // neutron lengths of its own); velmora itself gives none.
  const AtomCorrections* corrections = nullptr;
};

class ReflectionLoop {
 public:
  // Finds each atom's table rows once: every atom in the neutron table, then
  // every magnetic atom in the magnetic table. The neutron row also indexes
  // the X-ray table.
  explicit ReflectionLoop(const ScatteringInputs& in);

  // The first symbol, in the order of the lookups, that its table lacks; the
  // loop then computes nothing.
  const std::optional<Symbol>& missing_symbol() const { return missing_; }

  std::size_t reflections() const { return in_.structure.hkl.size(); }
  // Atom-reflection terms of one reflection: atoms plus magnetic atoms.
  std::size_t terms_per_reflection() const;

  // The values of reflections first, first + 1, ... into out (one each).
  // Reads only what the loop holds, so several threads may call it at once.
  void compute(std::size_t first, std::span<ReflectionValues> out) const;

 private:
  struct Lanes;  // the kernel, compiled per instruction set
  ScatteringInputs in_;
  std::optional<Symbol> missing_;
  std::vector<int> xray_rows_used_;            // distinct table rows (from 0) of the atoms, ascending
  std::vector<int> magnetic_rows_used_;        // the same for the magnetic atoms in the magnetic table,
                                               // then kGivenRow + form for the given forms
  std::size_t magnetic_table_rows_ = 0;        // how many of them are table rows
  std::vector<std::size_t> xray_of_atom_;      // each atom's index in xray_rows_used_
  std::vector<std::size_t> magnetic_of_atom_;  // each magnetic atom's in magnetic_rows_used_
  std::vector<float> b_values_;                // distinct B values, by their bits
  std::vector<std::size_t> b_of_atom_;         // each atom's index in b_values_
};

}  // namespace velmora
