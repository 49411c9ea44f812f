// The reflection loop. Atoms and tables do not change while it runs, so each
// atom's table row is found once, before the first reflection; which symbol
// is reported missing is the same as searching for every reflection.
// Reflections are computed in blocks of kLanes, one lane each: every sum
// still takes its terms one at a time in atom order, rounded after each, and
// every lane gets the IEEE operations one reflection alone would get.
#include "scattering/reflection_loop.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <unordered_map>

#include "numbers/lanes.hpp"
#include "numbers/single_math.hpp"
#include "numbers/vector_path.hpp"
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

// Given form factors stand after every table row, as rows kGivenRow + form.
constexpr int kGivenRow = 1 << 20;

// The distinct rows, ascending, and each atom's index among them.
void index_rows(const std::vector<int>& rows, std::vector<int>& used, std::vector<std::size_t>& of_atom) {
  used = rows;
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  of_atom.reserve(rows.size());
  for (int row : rows) {
    of_atom.push_back(
        static_cast<std::size_t>(std::lower_bound(used.begin(), used.end(), row) - used.begin()));
  }
}

}  // namespace

ReflectionLoop::ReflectionLoop(const ScatteringInputs& in) : in_(in) {
  const Structure& st = in.structure;
  std::vector<int> nuclear_rows, magnetic_rows;
  // Magnetic atoms with a given form factor are not looked up.
  std::vector<AtomSite> looked_up;
  for (std::size_t m = 0; m < st.magnetic.size(); ++m)
    if (!in.given_forms || in.given_forms->form_of_atom[m] == GivenMagneticForms::kTableRow)
      looked_up.push_back(st.magnetic[m]);
  if (!find_rows(
          st.atoms, in.tables.neutron, in.tables.nuclear_rows,
          [](const NeutronLengthRow& r) { return r.nion; }, nuclear_rows, missing_) ||
      !find_rows(
          in.given_forms ? looked_up : st.magnetic, in.tables.magnetic, kMagneticRows,
          [](const MagneticFormRow& r) { return r.mion; }, magnetic_rows, missing_)) {
    return;
  }
  if (in.given_forms) {
    std::vector<int> all;
    for (std::size_t m = 0, next = 0; m < st.magnetic.size(); ++m) {
      const int form = in.given_forms->form_of_atom[m];
      all.push_back(form == GivenMagneticForms::kTableRow ? magnetic_rows[next++] : kGivenRow + form);
    }
    magnetic_rows = std::move(all);
  }
  index_rows(nuclear_rows, xray_rows_used_, xray_of_atom_);
  index_rows(magnetic_rows, magnetic_rows_used_, magnetic_of_atom_);
  magnetic_table_rows_ = static_cast<std::size_t>(
      std::lower_bound(magnetic_rows_used_.begin(), magnetic_rows_used_.end(), kGivenRow) -
      magnetic_rows_used_.begin());
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

// Within a block, everything that depends only on a table row (form factors),
// on a B value (Debye-Waller factor) or on a site (the phase, also used by the
// site's magnetic copy) is computed once per reflection and then shared by
// all the terms that need it: the same values, in the same sums, in the same
// order as computing each term from scratch. Values are laid out item by
// item, the lanes of an item side by side. Each phase of a block is its own
// always-inline function, so every instruction-set copy of the kernel below
// is still one function compiled for that set.
struct ReflectionLoop::Lanes {
  // Reflections per block: two groups of lanes, whose sums are independent
  // chains that overlap in time.
  static constexpr std::size_t kGroups = 2;
  static constexpr std::size_t B = kGroups * kLanes;

  // A block's reflections: each one's geometry, and h, k, l and kappa as lanes.
  struct BlockGeometry {
    std::array<ReflectionGeometry, B> g;
    std::array<std::array<FloatLanes, 3>, kGroups> h;
    std::array<FloatLanes, kGroups> kappa;
  };

  // Storage that every block of one call reuses: B values per used table row,
  // per distinct B value and per site.
  struct Shared {
    // Each reflection's Gaussians of one row lie together, as the form factors take them.
    std::vector<float> gaussian_exponents, gaussians;
    std::vector<float> xray_formf, magnetic_formf;
    std::vector<float> dw_exponent, dw;
    std::vector<float> angle, sine, cosine;

    explicit Shared(const ReflectionLoop& loop) {
      const std::size_t xray_rows = loop.xray_rows_used_.size(),
                        magnetic_rows = loop.magnetic_rows_used_.size();
      const std::size_t atoms = loop.in_.structure.atoms.size(), distinct_b = loop.b_values_.size();
      gaussian_exponents.resize((4 * xray_rows + 3 * loop.magnetic_table_rows_) * B);
      gaussians.resize(gaussian_exponents.size());
      xray_formf.resize(xray_rows * B);
      magnetic_formf.resize(magnetic_rows * B);
      dw_exponent.resize(distinct_b * B);
      dw.resize(distinct_b * B);
      angle.resize(atoms * B);
      sine.resize(atoms * B);
      cosine.resize(atoms * B);
    }
  };

  // A block's nuclear, X-ray and magnetic sums, one set per group of lanes.
  struct BlockSums {
    std::array<NuclearXraySumsOf<FloatLanes>, kGroups> nx;
    std::array<MagneticSumsOf<FloatLanes>, kGroups> ms;
  };

  // Geometry of reflections first, first + 1, ..., count of them; a short
  // last block repeats its last reflection in the spare lanes.
  [[gnu::always_inline]] static void load_geometry(const ReflectionLoop& loop, std::size_t first,
                                                   std::size_t count, BlockGeometry& b) {
    const ScatteringInputs& in = loop.in_;
    for (std::size_t r = 0; r < B; ++r) {
      b.g[r] = r < count ? compute_reflection_geometry(in.structure.hkl[first + r], in.cell, in.pi)
                         : b.g[count - 1];
    }
    std::array<float, 4 * B> column;  // h, k, l and kappa of each reflection
    for (std::size_t r = 0; r < B; ++r) {
      for (std::size_t k = 0; k < 3; ++k) column[k * B + r] = b.g[r].h[k];
      column[3 * B + r] = b.g[r].kappa;
    }
    for (std::size_t k = 0; k < kGroups; ++k) {
      for (std::size_t j = 0; j < 3; ++j) b.h[k][j] = load_lanes(&column[j * B + k * kLanes]);
      b.kappa[k] = load_lanes(&column[3 * B + k * kLanes]);
    }
  }

  // The exponentials of all form-factor Gaussians in one batch, then each
  // used row's form factor from its own.
  [[gnu::always_inline]] static void compute_form_factors(const ReflectionLoop& loop,
                                                          const std::array<ReflectionGeometry, B>& g,
                                                          Shared& v) {
    const ScatteringTables& tables = loop.in_.tables;
    float* e = v.gaussian_exponents.data();
    for (int row : loop.xray_rows_used_) {
      for (std::size_t r = 0; r < B; ++r) {
        for (int t = 1; t < 8; t += 2) *e++ = gaussian_exponent(tables.xray[row].xsf[t], g[r].s);
      }
    }
    for (std::size_t j = 0; j < loop.magnetic_table_rows_; ++j) {
      const int row = loop.magnetic_rows_used_[j];
      for (std::size_t r = 0; r < B; ++r) {
        for (int t = 1; t < 6; t += 2) *e++ = gaussian_exponent(tables.magnetic[row].msf[t], g[r].s);
      }
    }
    exp_f_many(v.gaussian_exponents, v.gaussians);
    const float* next = v.gaussians.data();
    for (std::size_t j = 0; j < loop.xray_rows_used_.size(); ++j) {
      for (std::size_t r = 0; r < B; ++r, next += 4) {
        v.xray_formf[j * B + r] = xray_form_factor(tables.xray[loop.xray_rows_used_[j]].xsf, next);
      }
    }
    for (std::size_t j = 0; j < loop.magnetic_table_rows_; ++j) {
      for (std::size_t r = 0; r < B; ++r, next += 3) {
        v.magnetic_formf[j * B + r] =
            magnetic_form_factor(tables.magnetic[loop.magnetic_rows_used_[j]].msf, next);
      }
    }
  }

  // The given form factors of reflections first, first + 1, ..., count of
  // them, the last repeated in spare lanes as the geometry is.
  [[gnu::always_inline]] static void take_given_forms(const ReflectionLoop& loop, std::size_t first,
                                                      std::size_t count, Shared& v) {
    for (std::size_t j = loop.magnetic_table_rows_; j < loop.magnetic_rows_used_.size(); ++j) {
      const std::vector<float>& given = loop.in_.given_forms->values[loop.magnetic_rows_used_[j] - kGivenRow];
      for (std::size_t r = 0; r < B; ++r) v.magnetic_formf[j * B + r] = given[first + std::min(r, count - 1)];
    }
  }

  // The Debye-Waller factor of every distinct B value, the exponentials in one batch.
  [[gnu::always_inline]] static void compute_debye_waller(const ReflectionLoop& loop,
                                                          const std::array<FloatLanes, kGroups>& kappa,
                                                          Shared& v) {
    for (std::size_t j = 0; j < loop.b_values_.size(); ++j) {
      for (std::size_t k = 0; k < kGroups; ++k) {
        store_lanes(&v.dw_exponent[j * B + k * kLanes],
                    debye_waller_exponent(loop.b_values_[j], kappa[k], loop.in_.pi));
      }
    }
    exp_f_many(v.dw_exponent, v.dw);
  }

  // The phase of every site, sines and cosines in one batch.
  [[gnu::always_inline]] static void compute_phases(const ReflectionLoop& loop,
                                                    const std::array<std::array<FloatLanes, 3>, kGroups>& h,
                                                    Shared& v) {
    const std::vector<AtomSite>& atoms = loop.in_.structure.atoms;
    for (std::size_t i = 0; i < atoms.size(); ++i) {
      for (std::size_t k = 0; k < kGroups; ++k) {
        store_lanes(&v.angle[i * B + k * kLanes], phase_angle(atoms[i].xyz, h[k], loop.in_.pi));
      }
    }
    sincos_f_many(v.angle, v.sine, v.cosine);
  }

  // One pass over the atoms adds each atom's nuclear term and then the
  // terms of its magnetic copies (they follow the atoms' order), so every
  // sum sees its terms in the same order as separate passes would give,
  // while the independent sums overlap in time.
  [[gnu::always_inline]] static void add_terms(const ReflectionLoop& loop, const Shared& v, BlockSums& sums) {
    const Structure& st = loop.in_.structure;
    std::size_t m = 0;
    for (std::size_t i = 0; i < st.atoms.size(); ++i) {
      const std::size_t slot = loop.xray_of_atom_[i];
      const float bcoh = loop.in_.tables.neutron[loop.xray_rows_used_[slot]].bcoh;
      const std::size_t dw_at = loop.b_of_atom_[i] * B;
      for (std::size_t k = 0; k < kGroups; ++k) {
        const std::size_t at = i * B + k * kLanes;
        add_nuclear_xray_term(st.atoms[i].occ, bcoh, load_lanes(&v.xray_formf[slot * B + k * kLanes]),
                              load_lanes(&v.dw[dw_at + k * kLanes]),
                              PhaseOf<FloatLanes>{load_lanes(&v.cosine[at]), load_lanes(&v.sine[at])},
                              sums.nx[k]);
      }
      for (; m < st.magnetic.size() && st.magnetic_site[m] == i; ++m) {
        const std::size_t formf_at = loop.magnetic_of_atom_[m] * B;
        for (std::size_t k = 0; k < kGroups; ++k) {
          const std::size_t at = i * B + k * kLanes;
          add_magnetic_term(
              st.magnetic[m].occ, st.moments[m], loop.in_.umom[m],
              load_lanes(&v.magnetic_formf[formf_at + k * kLanes]), load_lanes(&v.dw[dw_at + k * kLanes]),
              PhaseOf<FloatLanes>{load_lanes(&v.cosine[at]), load_lanes(&v.sine[at])}, sums.ms[k]);
        }
      }
    }
  }

  // Each reflection's geometry and squared moduli, from its lane of the sums.
  [[gnu::always_inline]] static void store_moduli(const ReflectionLoop& loop, const BlockGeometry& b,
                                                  const BlockSums& sums, std::span<ReflectionValues> out) {
    for (std::size_t r = 0; r < out.size(); ++r) {
      const auto& n = sums.nx[r / kLanes];
      const auto& p = sums.ms[r / kLanes];
      const std::size_t l = r % kLanes;
      ReflectionValues& v = out[r];
      v.geometry = b.g[r];
      set_squared_moduli({n.frn[l], n.fin[l], n.xrn[l], n.xin[l]},
                         {p.ax[l], p.ay[l], p.az[l], p.bx[l], p.by[l], p.bz[l]}, loop.in_.eg2mc, v);
      if (loop.in_.corrections)
        set_corrected_moduli(*loop.in_.corrections, loop.in_.structure,
                             {n.frn[l], n.fin[l], n.xrn[l], n.xin[l]}, v);
    }
  }

  [[gnu::always_inline]] static void compute(const ReflectionLoop& loop, std::size_t first,
                                             std::span<ReflectionValues> out) {
    Shared shared(loop);
    for (std::size_t block = 0; block < out.size(); block += B) {
      const std::size_t count = std::min(B, out.size() - block);
      BlockGeometry geometry;
      load_geometry(loop, first + block, count, geometry);
      compute_form_factors(loop, geometry.g, shared);
      take_given_forms(loop, first + block, count, shared);
      compute_debye_waller(loop, geometry.kappa, shared);
      compute_phases(loop, geometry.h, shared);
      BlockSums sums;
      add_terms(loop, shared, sums);
      store_moduli(loop, geometry, sums, out.subspan(block, count));
    }
  }

  static void baseline(const ReflectionLoop& loop, std::size_t first, std::span<ReflectionValues> out) {
    compute(loop, first, out);
  }
#ifdef VELMORA_X86_PATHS
  VELMORA_AVX2 static void avx2(const ReflectionLoop& loop, std::size_t first,
                                std::span<ReflectionValues> out) {
    compute(loop, first, out);
  }
  VELMORA_AVX512 static void avx512(const ReflectionLoop& loop, std::size_t first,
                                    std::span<ReflectionValues> out) {
    compute(loop, first, out);
  }
#endif
};

void ReflectionLoop::compute(std::size_t first, std::span<ReflectionValues> out) const {
#ifdef VELMORA_X86_PATHS
  if (vector_path() == VectorPath::avx512) return Lanes::avx512(*this, first, out);
  if (vector_path() == VectorPath::avx2) return Lanes::avx2(*this, first, out);
#endif
  Lanes::baseline(*this, first, out);
}

}  // namespace velmora
