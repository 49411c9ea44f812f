// A site's refined U_ij make each atom's Debye-Waller factor differ by
// reflection, exp(-2 pi^2 h' C h), which velmora's loop, computing with one B
// an atom, gives as exp(-B s^2) for B = 8 pi^2 h' C h d^2: such a structure
// is computed one reflection at a time, its atoms' B set for that reflection.
#include "rietveld/structure_weights.hpp"

#include "run/run_state.hpp"

namespace velmora::rietveld {

StructureWeights::StructureWeights(PhaseStructure structure, const std::string& tables_folder,
                                   std::vector<Reflection> hkl, bool xray, AtomCorrections corrections)
    : structure_(std::move(structure)),
      crystal_(powder::velmora_tables(tables_folder)),
      hkl_(std::move(hkl)),
      xray_(xray) {
  crystal_.state->corrections = std::move(corrections);
}

void StructureWeights::each_reflection(std::span<const double> values,
                                       const std::function<void(const ReflectionValues&)>& take) {
  const Crystal c = structure_.crystal_at(values);
  powder::set_crystal(crystal_, c);
  if (!structure_.anisotropic()) {
    powder::for_each_crystal_reflection(crystal_, hkl_, take);
    return;
  }
  const std::vector<std::optional<Covariance>> covariances = structure_.atom_covariances(c);
  Structure& run = crystal_.state->structure;
  for (const Reflection& h : hkl_) {
    const std::array<double, 3> hd{h[0], h[1], h[2]};
    for (std::size_t a = 0; a < covariances.size(); ++a)
      if (covariances[a]) run.atoms[a].biso = static_cast<float>(effective_b(c.cell, *covariances[a], hd));
    for (std::size_t m = 0; m < run.magnetic.size(); ++m)
      run.magnetic[m].biso = run.atoms[run.magnetic_site[m]].biso;
    powder::for_each_crystal_reflection(crystal_, {h}, take);
  }
}

std::vector<double> StructureWeights::at(std::span<const double> values) {
  std::vector<double> weights;
  weights.reserve(hkl_.size());
  each_reflection(values, [&](const ReflectionValues& v) {
    weights.push_back(xray_ ? static_cast<double>(v.fx_squared)
                            : static_cast<double>(v.fn_squared) + static_cast<double>(v.fm_squared));
  });
  return weights;
}

std::vector<std::array<double, 3>> StructureWeights::parts(std::span<const double> values) {
  std::vector<std::array<double, 3>> parts;
  parts.reserve(hkl_.size());
  each_reflection(values, [&](const ReflectionValues& v) {
    parts.push_back({v.fn_squared, v.fm_squared, v.fx_squared});
  });
  return parts;
}

}  // namespace velmora::rietveld
