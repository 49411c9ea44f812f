// Reading the loop of atom sites, each value checked, with a warning for each
// site whose type or displacement had to be taken from elsewhere.
#include "cif/atom_sites.hpp"

#include <gemmi/math.hpp>

#include "cif/cif_values.hpp"
#include "cif/displacements.hpp"
#include "cif/site_charges.hpp"

namespace velmora::cif {

namespace cif = gemmi::cif;

void read_sites(cif::Block& block, CifStructure& s, Warnings& warnings) {
  enum { kLabel, kType, kX, kY, kZ, kOcc, kU, kB };
  cif::Table table = block.find("_atom_site_", {"label", "?type_symbol", "fract_x", "fract_y", "fract_z",
                                                "?occupancy", "?U_iso_or_equiv", "?B_iso_or_equiv"});
  if (!table.ok() || table.length() == 0)
    fail_conversion(s.source + ": data_" + block.name +
                    ": no atoms: no loop of atom sites with _atom_site_label and _atom_site_fract_x, _y, _z");
  const Place place{s.source,
                    table.loop_item != nullptr ? table.loop_item : &block.items.at(table.positions[0])};
  const std::map<std::string, int> type_charges = charges_of_types(block);
  const std::map<std::string, double> b_eq = equivalent_b(block, s);
  for (int i = 0; i < static_cast<int>(table.length()); ++i) {
    cif::Table::Row row = table[i];
    const std::string where = table.loop_item != nullptr ? place.row(i) : place.line();
    CifSite site;
    site.label = cif::as_string(row[kLabel]);
    const std::string about = "atom '" + site.label + "': ";
    if (!row.has2(kType))
      warnings.add(s.source + ": atoms without _atom_site_type_symbol are typed by their labels", site.label);
    site.type_symbol = row.has2(kType) ? cif::as_string(row[kType]) : site.label;
    read_type(site, where);
    if (site.charge == 0) {
      auto given = type_charges.find(site.type_symbol);
      if (given == type_charges.end() && !site.charge_unreadable)
        given = type_charges.find(site.element.name());
      if (given != type_charges.end()) site.charge = static_cast<signed char>(given->second);
      if (given != type_charges.end()) site.charge_unreadable = false;
    }
    static const char* const axis_tags[3] = {"_atom_site_fract_x", "_atom_site_fract_y",
                                             "_atom_site_fract_z"};
    for (int k = 0; k < 3; ++k) site.fract[k] = number_or_fail(row[kX + k], where, about + axis_tags[k]);
    if (row.has2(kOcc)) site.occ = number_or_fail(row[kOcc], where, about + "_atom_site_occupancy");
    if (row.has2(kU)) {
      site.biso = single_or_fail(
          gemmi::u_to_b() * number_or_fail(row[kU], where, about + "_atom_site_U_iso_or_equiv"), where,
          about + "B = 8 pi^2 U of _atom_site_U_iso_or_equiv", row[kU]);
    } else if (row.has2(kB)) {
      site.biso = number_or_fail(row[kB], where, about + "_atom_site_B_iso_or_equiv");
    } else if (auto found = b_eq.find(site.label); found != b_eq.end()) {
      site.biso = found->second;
      warnings.add(s.source + ": B is the isotropic equivalent of the anisotropic displacements", site.label);
    } else {
      warnings.add(s.source + ": B = 0 for atoms without U_iso_or_equiv or B_iso_or_equiv", site.label);
    }
    s.sites.push_back(site);
  }
}

}  // namespace velmora::cif
