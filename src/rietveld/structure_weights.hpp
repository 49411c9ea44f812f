// The squared structure-factor moduli of a phase's reflections as functions
// of its structure's parameters, computed by velmora's own reflection loop
// for the crystal those values make: at the starting values every value is
// the one the pattern without a refinement has, to the last bit.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "powder/velmora_reflections.hpp"
#include "rietveld/phase_structure.hpp"
#include "scattering/atom_corrections.hpp"

namespace velmora::rietveld {

class StructureWeights {
 public:
  // hkl: the reflections whose weights are asked for; xray: |FX|^2, else |Fn|^2 + |Fm|^2;
  // corrections: what the sums add to each atom's free-atom scattering (its f' + i f'', its
  // isotope's or absorbing nucleus's length), which the refined parameters leave unchanged.
  StructureWeights(PhaseStructure structure, const std::string& tables_folder, std::vector<Reflection> hkl,
                   bool xray, AtomCorrections corrections = {});
  const PhaseStructure& structure() const { return structure_; }
  std::size_t parameters() const { return structure_.size(); }
  // Each reflection's weight, in the order of hkl, at the parameters' values.
  std::vector<double> at(std::span<const double> values);
  // Each reflection's |Fn|^2, |Fm|^2 and |FX|^2 at the parameters' values.
  std::vector<std::array<double, 3>> parts(std::span<const double> values);

 private:
  // Each reflection's values, in the order of hkl, for the crystal at the values.
  void each_reflection(std::span<const double> values,
                       const std::function<void(const ReflectionValues&)>& take);

  PhaseStructure structure_;
  powder::VelmoraCrystal crystal_;
  std::vector<Reflection> hkl_;
  bool xray_ = false;
};

}  // namespace velmora::rietveld
