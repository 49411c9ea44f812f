// Reading the moments of a magnetic CIF onto the atom sites they belong to.
#include "cif/moments.hpp"

#include <cfloat>
#include <map>
#include <set>

#include "cif/cell_expansion.hpp"
#include "cif/cif_values.hpp"

namespace velmora::cif {

namespace cif = gemmi::cif;

void read_moments(cif::Block& block, CifStructure& s, Warnings& warnings) {
  if (!block.has_tag("_atom_site_moment_label")) {
    if (s.magnetic_operations)
      warnings.add(s.source +
                   ": magnetic operations but no moments (_atom_site_moment.label): no atom is magnetic");
    return;
  }
  cif::Table table =
      block.find("_atom_site_moment_", {"label", "crystalaxis_x", "crystalaxis_y", "crystalaxis_z"});
  if (!table.ok())
    fail_conversion(
        s.source + ": data_" + block.name +
        ": the moments lack _atom_site_moment.crystalaxis_x, _y or _z (components along the axes)");
  if (!s.magnetic_operations)
    warnings.add(s.source + ": moments but no magnetic operations: no operation reverses time");
  std::map<std::string, std::size_t> index;
  std::set<std::string> shared;
  for (std::size_t i = 0; i < s.sites.size(); ++i)
    if (!index.emplace(s.sites[i].label, i).second) shared.insert(s.sites[i].label);
  const Place place{s.source,
                    table.loop_item != nullptr ? table.loop_item : &block.items.at(table.positions[0])};
  std::set<std::string> given;
  for (int i = 0; i < static_cast<int>(table.length()); ++i) {
    cif::Table::Row row = table[i];
    const std::string where = table.loop_item != nullptr ? place.row(i) : place.line();
    const std::string label = cif::as_string(row[0]);
    auto found = index.find(label);
    if (found == index.end())
      fail_conversion(where + ": moment of '" + label + "': no atom site has that label");
    if (shared.count(label) != 0)
      fail_conversion(where + ": moment of '" + label + "': more than one atom site has that label");
    if (!given.insert(label).second) fail_conversion(where + ": a second moment for atom '" + label + "'");
    CifSite& site = s.sites[found->second];
    static const char* const axis_tags[3] = {"crystalaxis_x", "crystalaxis_y", "crystalaxis_z"};
    for (int k = 0; k < 3; ++k)
      site.moment[k] = number_or_fail(row[1 + k], where, "moment of '" + label + "': " + axis_tags[k]);
    const double size = cartesian_moment(s.cell, site.moment).length();
    if (!(size <= FLT_MAX))
      fail_conversion(where + ": moment of '" + label + "': its size is beyond single precision");
    // Some programs write a row for every atom: a moment of zero makes no atom magnetic.
    site.magnetic = size > 0;
  }
}

}  // namespace velmora::cif
