// The reflection loop. Atoms and tables do not change while it runs, so each
// atom's table row is found once, before the first reflection; the result,
// including which message a missing symbol gives and that no lookup happens
// without reflections, is the same as searching for every reflection.
#include "scattering/reflection_loop.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <unordered_map>

#include "console/console.hpp"
#include "console/free_form_writer.hpp"
#include "console/run_end.hpp"
#include "numbers/single_math.hpp"
#include "scattering/form_factors.hpp"
#include "scattering/reflection_report.hpp"
#include "scattering/structure_factors.hpp"
#include "scattering/symbol_lookup.hpp"

namespace velmora {
namespace {

[[noreturn]] void unknown_symbol(Console& console, const Symbol& symbol) {
  write_free_form(console, {text_of(symbol), " is unknown symbol"});
  stop_run(console);
}

// Row index (from 0) of every atom's symbol among the first `rows` rows of a
// table; the first atom whose symbol is missing stops the run.
template <typename Row, std::size_t Capacity, typename Label>
std::vector<int> find_rows(Console& console, const std::vector<AtomSite>& atoms,
                           const std::array<Row, Capacity>& table, int rows, Label label) {
  const std::span<const Row> searched(table.data(), static_cast<std::size_t>(rows));
  std::vector<int> found;
  found.reserve(atoms.size());
  for (const AtomSite& atom : atoms) {
    const int row = find_symbol_row(atom.atype, searched, label);
    if (row == kUnknownSymbol) unknown_symbol(console, atom.atype);
    found.push_back(row - 1);
  }
  return found;
}

float squared(float v) { return static_cast<float>(static_cast<double>(v) * v); }

// The B values of the atoms, each distinct one once (by its bits, so equal
// values share a Debye-Waller factor), and each atom's index among them.
struct DistinctB {
  std::vector<float> values;
  std::vector<std::size_t> of_atom;
};

DistinctB distinct_b_values(const std::vector<AtomSite>& atoms) {
  DistinctB d;
  std::unordered_map<std::uint32_t, std::size_t> seen;
  for (const AtomSite& atom : atoms) {
    auto [it, added] = seen.try_emplace(std::bit_cast<std::uint32_t>(atom.biso), d.values.size());
    if (added) d.values.push_back(atom.biso);
    d.of_atom.push_back(it->second);
  }
  return d;
}

std::vector<int> distinct_rows(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

}  // namespace

// Within one reflection, everything that depends only on a table row (form
// factors), on a B value (Debye-Waller factor) or on a site (the phase, also
// used by the site's magnetic copy) is computed once and then shared by all
// the terms that need it: the same values, in the same sums, in the same
// order as computing each term from scratch.
void run_reflection_report(Console& console, const ReportInputs& in) {
  write_report_header(console);
  const Structure& st = in.structure;
  if (st.hkl.empty()) return;
  // The neutron table's row also indexes the X-ray table; the nuclear lookups
  // all come before the magnetic ones, as in the first reflection's sums.
  const std::vector<int> nuclear_rows =
      find_rows(console, st.atoms, in.tables.neutron, kNeutronRows, [](const NeutronLengthRow& r) { return r.nion; });
  const std::vector<int> magnetic_rows = find_rows(console, st.magnetic, in.tables.magnetic, kMagneticRows,
                                                   [](const MagneticFormRow& r) { return r.mion; });
  const std::vector<int> xray_rows_used = distinct_rows(nuclear_rows);
  const std::vector<int> magnetic_rows_used = distinct_rows(magnetic_rows);
  const DistinctB b = distinct_b_values(st.atoms);

  std::array<float, std::tuple_size_v<decltype(in.tables.xray)>> xray_formf{};
  std::array<float, std::tuple_size_v<decltype(in.tables.magnetic)>> magnetic_formf{};
  std::vector<float> gaussian_exponents(4 * xray_rows_used.size() + 3 * magnetic_rows_used.size());
  std::vector<float> gaussians(gaussian_exponents.size());
  std::vector<float> dw_exponent(b.values.size()), dw(b.values.size());
  std::vector<float> angle(st.atoms.size()), sine(st.atoms.size()), cosine(st.atoms.size());

  for (const Reflection& hkl : st.hkl) {
    const ReflectionGeometry g = compute_reflection_geometry(hkl, in.cell, in.pi);
    // The exponentials of all form-factor Gaussians in one batch, then each
    // used row's form factor from its own.
    std::size_t n = 0;
    for (int row : xray_rows_used) {
      for (int t = 1; t < 8; t += 2) gaussian_exponents[n++] = gaussian_exponent(in.tables.xray[row].xsf[t], g.s);
    }
    for (int row : magnetic_rows_used) {
      for (int t = 1; t < 6; t += 2) gaussian_exponents[n++] = gaussian_exponent(in.tables.magnetic[row].msf[t], g.s);
    }
    exp_f_many(gaussian_exponents, gaussians);
    const float* next = gaussians.data();
    for (int row : xray_rows_used) {
      xray_formf[row] = xray_form_factor(in.tables.xray[row].xsf, next);
      next += 4;
    }
    for (int row : magnetic_rows_used) {
      magnetic_formf[row] = magnetic_form_factor(in.tables.magnetic[row].msf, next);
      next += 3;
    }
    for (std::size_t k = 0; k < b.values.size(); ++k) dw_exponent[k] = debye_waller_exponent(b.values[k], g.kappa, in.pi);
    exp_f_many(dw_exponent, dw);
    for (std::size_t i = 0; i < st.atoms.size(); ++i) angle[i] = phase_angle(st.atoms[i].xyz, g, in.pi);
    sincos_f_many(angle, sine, cosine);

    // One pass over the atoms adds each atom's nuclear term and then the
    // terms of its magnetic copies (they follow the atoms' order), so every
    // sum sees its terms in the same order as separate passes would give,
    // while the independent sums overlap in time.
    NuclearXraySums nx;
    MagneticSums ms;
    std::size_t m = 0;
    for (std::size_t i = 0; i < st.atoms.size(); ++i) {
      const int row = nuclear_rows[i];
      const float dw_i = dw[b.of_atom[i]];
      const Phase phase{cosine[i], sine[i]};
      add_nuclear_xray_term(st.atoms[i].occ, in.tables.neutron[row].bcoh, xray_formf[row], dw_i, phase, nx);
      for (; m < st.magnetic.size() && st.magnetic_site[m] == i; ++m) {
        add_magnetic_term(st.magnetic[m].occ, st.moments[m], in.umom[m], magnetic_formf[magnetic_rows[m]], dw_i,
                          phase, ms);
      }
    }
    const MagneticResult mr = magnetic_result(ms, g.uq, in.eg2mc);
    const float fnucl = nuclear_modulus(nx);
    const float fx_squared =
        static_cast<float>(static_cast<double>(nx.xrn) * nx.xrn + static_cast<double>(nx.xin) * nx.xin);
    write_report_row(console, g, squared(fnucl), squared(mr.fmag), fx_squared);
  }
}

}  // namespace velmora
