#include "rietveld/structure_weights.hpp"

namespace velmora::rietveld {

StructureWeights::StructureWeights(PhaseStructure structure, const std::string& tables_folder,
                                   std::vector<Reflection> hkl, bool xray)
    : structure_(std::move(structure)),
      crystal_(powder::velmora_tables(tables_folder)),
      hkl_(std::move(hkl)),
      xray_(xray) {}

std::vector<double> StructureWeights::at(std::span<const double> values) {
  powder::set_crystal(crystal_, structure_.crystal_at(values));
  std::vector<double> weights;
  weights.reserve(hkl_.size());
  powder::for_each_crystal_reflection(crystal_, hkl_, [&](const ReflectionValues& v) {
    weights.push_back(xray_ ? static_cast<double>(v.fx_squared)
                            : static_cast<double>(v.fn_squared) + static_cast<double>(v.fm_squared));
  });
  return weights;
}

std::vector<std::array<double, 3>> StructureWeights::parts(std::span<const double> values) {
  powder::set_crystal(crystal_, structure_.crystal_at(values));
  std::vector<std::array<double, 3>> parts;
  parts.reserve(hkl_.size());
  powder::for_each_crystal_reflection(crystal_, hkl_, [&](const ReflectionValues& v) {
    parts.push_back({v.fn_squared, v.fm_squared, v.fx_squared});
  });
  return parts;
}

}  // namespace velmora::rietveld
