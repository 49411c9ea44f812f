// Bond-valence sums: the valence of a cation as the sum over its bonds of
// exp((R0 - R) / b) (Brown and Altermatt, Acta Cryst. B41 (1985) 244), with
// the parameters of the cation's charge from the IUCr table.
#pragma once

#include <array>
#include <gemmi/elem.hpp>
#include <gemmi/unitcell.hpp>
#include <optional>
#include <vector>

namespace velmora::cif {

// Elements that bond as anions in a bond-valence sum: N, O, the halogens and
// the chalcogens S, Se and Te.
bool bond_valence_anion(gemmi::Element element);

struct BondParameters {
  double r0 = 0;  // angstroms
  double b = 0.37;
};

// The parameters of the cation at the charge with the anion: the table's for
// that charge, else those it gives for any charge, else those of the charge
// nearest it that the table has (R0 changes little with the charge); nothing
// when the table has no row of the pair.
std::optional<BondParameters> bond_parameters(gemmi::Element cation, int charge, gemmi::Element anion);

// One atom of the cell.
struct BondAtom {
  gemmi::Element element = gemmi::El::X;
  std::array<double, 3> xyz{};  // fractional
  double occupancy = 1;
};

// Bonds reach this far (angstroms); a bond this long adds a few hundredths.
constexpr double kBondReach = 3.5;

// The sum at atom `centre`, given the charge, over the anions of `atoms`
// within kBondReach, each bond weighted by the anion's occupancy; nothing
// when a pair has no parameters.
std::optional<double> bond_valence_sum(const gemmi::UnitCell& cell, const std::vector<BondAtom>& atoms,
                                       std::size_t centre, int charge);

}  // namespace velmora::cif
