// velmora's reflections as a table that another program reads: CSV or JSON,
// every value the single-precision number velmora computed, written in the
// fewest digits that read back as that number, and the model that made them
// (file, block, tables, counts, symmetry) beside the table.
#pragma once

#include <string>
#include <vector>

#include "scattering/structure_factors.hpp"
#include "scattering/unique_reflections.hpp"

namespace velmora::cif {

// One fact of the model: a name and a value, which is text, or a JSON number
// or array of numbers already written out.
struct ModelEntry {
  std::string name;
  std::string value;
  bool text = true;
};

enum class TableFormat { csv, json };

// The reflections in list order, or with sets one row per set of equivalents
// (its representative's values) and a multiplicity column. The CSV file is the
// header line, one line per row, then one "# name: value" line per model entry
// (readers that skip # comments, such as numpy and pandas, take it as it is);
// the JSON file is one object: model, units, and the columns by name.
std::string reflection_table(TableFormat format, const std::vector<ReflectionValues>& values,
                             const std::vector<EquivalentSet>* sets, const std::vector<ModelEntry>& model);

}  // namespace velmora::cif
