// The reflection loop. Atoms and tables do not change while it runs, so each
// atom's table row is found once, before the first reflection; which symbol
// is reported missing is the same as searching for every reflection.
#include "scattering/reflection_loop.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <unordered_map>

#include "numbers/single_math.hpp"
#include "scattering/form_factors.hpp"
#include "scattering/symbol_lookup.hpp"

namespace velmora {
namespace {

// Row index (from 0) of every atom's symbol among the first `rows` rows of a
// table; false, with the symbol, for the first atom that has none.
template <typename Row, std::size_t Capacity, typename Label>
bool find_rows(const std::vector<AtomSite>& atoms, const std::array<Row, Capacity>& table, int rows,
               Label label, std::vector<int>& found, std::optional<Symbol>& missing) {
  const std::span<const Row> searched(table.data(), static_cast<std::size_t>(rows));
  found.reserve(atoms.size());
  for (const AtomSite& atom : atoms) {
    const int row = find_symbol_row(atom.atype, searched, label);
    if (row == kUnknownSymbol) {
      missing = atom.atype;
      return false;
    }
    found.push_back(row - 1);
  }
  return true;
}

std::vector<int> distinct_rows(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

}  // namespace

ReflectionLoop::ReflectionLoop(const ScatteringInputs& in) : in_(in) {
  const Structure& st = in.structure;
  if (!find_rows(
          st.atoms, in.tables.neutron, kNeutronRows, [](const NeutronLengthRow& r) { return r.nion; },
          nuclear_rows_, missing_) ||
      !find_rows(
          st.magnetic, in.tables.magnetic, kMagneticRows, [](const MagneticFormRow& r) { return r.mion; },
          magnetic_rows_, missing_)) {
    return;
  }
  xray_rows_used_ = distinct_rows(nuclear_rows_);
  magnetic_rows_used_ = distinct_rows(magnetic_rows_);
  // Equal B values (by their bits) share one Debye-Waller factor.
  std::unordered_map<std::uint32_t, std::size_t> seen;
  for (const AtomSite& atom : st.atoms) {
    auto [it, added] = seen.try_emplace(std::bit_cast<std::uint32_t>(atom.biso), b_values_.size());
    if (added) b_values_.push_back(atom.biso);
    b_of_atom_.push_back(it->second);
  }
}

std::size_t ReflectionLoop::terms_per_reflection() const {
  return in_.structure.atoms.size() + in_.structure.magnetic.size();
}

// Within one reflection, everything that depends only on a table row (form
// factors), on a B value (Debye-Waller factor) or on a site (the phase, also
// used by the site's magnetic copy) is computed once and then shared by all
// the terms that need it: the same values, in the same sums, in the same
// order as computing each term from scratch.
void ReflectionLoop::compute(std::size_t first, std::span<ReflectionValues> out) const {
  const Structure& st = in_.structure;
  const ScatteringTables& tables = in_.tables;
  std::array<float, std::tuple_size_v<decltype(tables.xray)>> xray_formf{};
  std::array<float, std::tuple_size_v<decltype(tables.magnetic)>> magnetic_formf{};
  std::vector<float> gaussian_exponents(4 * xray_rows_used_.size() + 3 * magnetic_rows_used_.size());
  std::vector<float> gaussians(gaussian_exponents.size());
  std::vector<float> dw_exponent(b_values_.size()), dw(b_values_.size());
  std::vector<float> angle(st.atoms.size()), sine(st.atoms.size()), cosine(st.atoms.size());

  for (std::size_t r = 0; r < out.size(); ++r) {
    const ReflectionGeometry g = compute_reflection_geometry(st.hkl[first + r], in_.cell, in_.pi);
    // The exponentials of all form-factor Gaussians in one batch, then each
    // used row's form factor from its own.
    std::size_t n = 0;
    for (int row : xray_rows_used_) {
      for (int t = 1; t < 8; t += 2)
        gaussian_exponents[n++] = gaussian_exponent(tables.xray[row].xsf[t], g.s);
    }
    for (int row : magnetic_rows_used_) {
      for (int t = 1; t < 6; t += 2)
        gaussian_exponents[n++] = gaussian_exponent(tables.magnetic[row].msf[t], g.s);
    }
    exp_f_many(gaussian_exponents, gaussians);
    const float* next = gaussians.data();
    for (int row : xray_rows_used_) {
      xray_formf[row] = xray_form_factor(tables.xray[row].xsf, next);
      next += 4;
    }
    for (int row : magnetic_rows_used_) {
      magnetic_formf[row] = magnetic_form_factor(tables.magnetic[row].msf, next);
      next += 3;
    }
    for (std::size_t k = 0; k < b_values_.size(); ++k) {
      dw_exponent[k] = debye_waller_exponent(b_values_[k], g.kappa, in_.pi);
    }
    exp_f_many(dw_exponent, dw);
    for (std::size_t i = 0; i < st.atoms.size(); ++i) angle[i] = phase_angle(st.atoms[i].xyz, g, in_.pi);
    sincos_f_many(angle, sine, cosine);

    // One pass over the atoms adds each atom's nuclear term and then the
    // terms of its magnetic copies (they follow the atoms' order), so every
    // sum sees its terms in the same order as separate passes would give,
    // while the independent sums overlap in time.
    NuclearXraySums nx;
    MagneticSums ms;
    std::size_t m = 0;
    for (std::size_t i = 0; i < st.atoms.size(); ++i) {
      const int row = nuclear_rows_[i];
      const float dw_i = dw[b_of_atom_[i]];
      const Phase phase{cosine[i], sine[i]};
      add_nuclear_xray_term(st.atoms[i].occ, tables.neutron[row].bcoh, xray_formf[row], dw_i, phase, nx);
      for (; m < st.magnetic.size() && st.magnetic_site[m] == i; ++m) {
        add_magnetic_term(st.magnetic[m].occ, st.moments[m], in_.umom[m], magnetic_formf[magnetic_rows_[m]],
                          dw_i, phase, ms);
      }
    }
    out[r].geometry = g;
    set_squared_moduli(nx, ms, in_.eg2mc, out[r]);
  }
}

}  // namespace velmora
