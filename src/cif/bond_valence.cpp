#include "cif/bond_valence.hpp"

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include "cif/bond_valence_table.hpp"

namespace velmora::cif {
namespace {

constexpr int kAnyCharge = 0;

// (cation, charge, anion) to parameters, read once from the shipped text.
using ParameterTable = std::map<std::tuple<int, int, int>, BondParameters>;

const ParameterTable& parameter_table() {
  static const ParameterTable table = [] {
    ParameterTable t;
    std::istringstream lines(bond_valence_parameter_text());
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      std::string head;
      words >> head;
      std::size_t digits = head.find_first_of("0123456789*");
      const int cation = gemmi::Element(head.substr(0, digits)).atomic_number();
      const int charge = head[digits] == '*' ? kAnyCharge : std::atoi(head.c_str() + digits);
      for (std::string word; words >> word;) {
        const std::size_t start = word.find_first_of("0123456789");
        BondParameters p;
        p.r0 = std::atof(word.c_str() + start);
        if (const std::size_t slash = word.find('/'); slash != std::string::npos)
          p.b = std::atof(word.c_str() + slash + 1);
        t[{cation, charge, gemmi::Element(word.substr(0, start)).atomic_number()}] = p;
      }
    }
    return t;
  }();
  return table;
}

}  // namespace

bool bond_valence_anion(gemmi::Element element) {
  switch (element.elem) {
    case gemmi::El::N:
    case gemmi::El::O:
    case gemmi::El::F:
    case gemmi::El::S:
    case gemmi::El::Cl:
    case gemmi::El::Se:
    case gemmi::El::Br:
    case gemmi::El::Te:
    case gemmi::El::I:
      return true;
    default:
      return false;
  }
}

std::optional<BondParameters> bond_parameters(gemmi::Element cation, int charge, gemmi::Element anion) {
  const ParameterTable& table = parameter_table();
  const int c = cation.atomic_number(), a = anion.atomic_number();
  if (auto found = table.find({c, charge, a}); found != table.end()) return found->second;
  if (auto found = table.find({c, kAnyCharge, a}); found != table.end()) return found->second;
  for (int step = 1; step < 8; ++step)
    for (int q : {charge - step, charge + step})
      if (q != kAnyCharge)
        if (auto found = table.find({c, q, a}); found != table.end()) return found->second;
  return std::nullopt;
}

std::optional<double> bond_valence_sum(const gemmi::UnitCell& cell, const std::vector<BondAtom>& atoms,
                                       std::size_t centre, int charge) {
  const BondAtom& cation = atoms[centre];
  const gemmi::Position origin =
      cell.orthogonalize(gemmi::Fractional(cation.xyz[0], cation.xyz[1], cation.xyz[2]));
  // Cell translations that can bring an atom within reach: the reach over
  // each axis's distance between lattice planes, and one more.
  std::array<int, 3> span{};
  for (int axis = 0; axis < 3; ++axis)
    span[axis] = static_cast<int>(std::ceil(kBondReach * cell.frac.mat.row_copy(axis).length())) + 1;
  double sum = 0;
  for (const BondAtom& atom : atoms) {
    if (!bond_valence_anion(atom.element)) continue;
    const std::optional<BondParameters> p = bond_parameters(cation.element, charge, atom.element);
    if (!p) return std::nullopt;
    for (int i = -span[0]; i <= span[0]; ++i)
      for (int j = -span[1]; j <= span[1]; ++j)
        for (int k = -span[2]; k <= span[2]; ++k) {
          const gemmi::Position at =
              cell.orthogonalize(gemmi::Fractional(atom.xyz[0] + i, atom.xyz[1] + j, atom.xyz[2] + k));
          const double r = at.dist(origin);
          if (r <= kBondReach && r > 0.5) sum += atom.occupancy * std::exp((p->r0 - r) / p->b);
        }
  }
  return sum;
}

}  // namespace velmora::cif
