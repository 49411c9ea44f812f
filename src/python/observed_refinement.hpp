// Structure.refine: the fit of a measured pattern and its refinement, as
// velmora-powder --observed and --refine compute them, returned as the
// fit report's members in a dict, with the pattern's columns as arrays.
#pragma once

#include <pybind11/pybind11.h>

#include "python/powder_arguments.hpp"
#include "python/structure_model.hpp"

namespace velmora::python {

// As Python gives them; None where not given.
struct FitArguments {
  PowderArguments powder;  // the source and the peak shape (no grid, no dmin)
  pybind11::object observed, refine, radiation, background_terms, zero_range, exclude, le_bail, fix;
  std::vector<const StructureModel*> phases;  // further phases of the sample
};

// The remarks of the run (notes and warnings) are handed back for the module to
// raise as Python warnings.
pybind11::dict refine_structure(const StructureModel& m, const FitArguments& given,
                                std::vector<frontend::Remark>& remarks);

}  // namespace velmora::python
