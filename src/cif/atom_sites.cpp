// Reading the loop of atom sites, each value checked, with a warning for each
// site whose type or displacement had to be taken from elsewhere.
#include "cif/atom_sites.hpp"

#include <cctype>
#include <gemmi/elem.hpp>
#include <gemmi/math.hpp>
#include <map>

#include "cif/cif_values.hpp"
#include "cif/displacements.hpp"
#include "cif/site_charges.hpp"
#include "numbers/shortest_text.hpp"

namespace velmora::cif {

namespace cif = gemmi::cif;

namespace {

// Displacements beyond these are no thermal motion of an ordered crystal but
// a U written where a B was meant, or the reverse (B = 8 pi^2 U, so the two
// differ by a factor near 79): the numbers then change without a sign.
constexpr double kMostPlausibleB = 20.0;  // square angstroms
constexpr double kLeastPlausibleB = 0.1;  // a typical U (0.005 - 0.05) read as B falls below
// An occupancy a little above 1 is a rounded or refined value of a full site;
// beyond this it is no occupancy at all.
constexpr double kMostOccupancy = 1.05;

// An occupancy is a fraction of the site: below 0 or well above 1 it is
// refused, a little above 1 warned of.
void check_occupancy(const CifSite& site, const std::string& where, const std::string& source,
                     Warnings& warnings) {
  if (site.occ < 0 || site.occ > kMostOccupancy)
    fail_conversion(where + ": atom '" + site.label + "': _atom_site_occupancy " + shortest_text(site.occ) +
                    ": an occupancy is the fraction of the site held, from 0 to 1");
  if (site.occ > 1)
    warnings.add(source + ": an occupancy above 1 (a rounded or refined full site?) is used as it stands",
                 site.label);
}

void warn_implausible_b(const CifSite& site, const std::string& given_as, const std::string& source,
                        Warnings& warnings) {
  if (site.biso > kMostPlausibleB)
    warnings.add(source + ": B above 20 A^2 is implausible" +
                     (given_as == "U" ? std::string(" (a B given as _atom_site_U_iso_or_equiv?)") : "") +
                     "; it is used as it stands",
                 site.label);
  if (site.biso < 0)
    warnings.add(source +
                     ": a negative displacement parameter is unphysical (its peaks grow with angle);"
                     " it is used as it stands",
                 site.label);
  if (given_as == "B" && site.biso > 0 && site.biso < kLeastPlausibleB)
    warnings.add(source +
                     ": _atom_site_B_iso_or_equiv below 0.1 A^2 is implausible (a U given as B?);"
                     " it is used as it stands",
                 site.label);
}

// A dummy atom's type: X, alone or with a number or charge (X1, X0+).
bool dummy_type(const std::string& type) {
  return !type.empty() && (type[0] == 'X' || type[0] == 'x') &&
         (type.size() == 1 || !std::isalpha(static_cast<unsigned char>(type[1])));
}

}  // namespace

void read_sites(cif::Block& block, CifStructure& s, Warnings& warnings) {
  enum { kX, kY, kZ, kLabel, kType, kOcc, kU, kB };
  cif::Table table = block.find("_atom_site_", {"fract_x", "fract_y", "fract_z", "?label", "?type_symbol",
                                                "?occupancy", "?U_iso_or_equiv", "?B_iso_or_equiv"});
  if (!table.ok() || table.length() == 0 || (!table.has_column(kLabel) && !table.has_column(kType)))
    fail_conversion(s.source + ": data_" + block.name +
                    ": no atoms: no loop of atom sites with _atom_site_label (or _atom_site_type_symbol) and"
                    " _atom_site_fract_x, _y, _z");
  std::map<std::string, int> unlabelled;  // sites named so far by element
  const Place place{s.source,
                    table.loop_item != nullptr ? table.loop_item : &block.items.at(table.positions[0])};
  const std::map<std::string, int> type_charges = charges_of_types(block);
  const std::map<std::string, AnisotropicDisplacement> anisotropic = anisotropic_displacements(block, s);
  for (int i = 0; i < static_cast<int>(table.length()); ++i) {
    cif::Table::Row row = table[i];
    const std::string where = table.loop_item != nullptr ? place.row(i) : place.line();
    CifSite site;
    if (row.has2(kLabel)) {
      site.label = cif::as_string(row[kLabel]);
    } else if (row.has2(kType)) {
      // Named as a labelled file would name it: the element and a count (Se1, Se2).
      const std::string type = cif::as_string(row[kType]);
      std::string stem = type.substr(0, 2);
      if (stem.size() < 2 || gemmi::find_element(stem.c_str()) == gemmi::El::X) stem = type.substr(0, 1);
      site.label = stem + std::to_string(++unlabelled[stem]);
      warnings.add(s.source + ": atom sites without _atom_site_label are named by their type symbols",
                   site.label);
    } else {
      fail_conversion(where + ": an atom site with neither _atom_site_label nor _atom_site_type_symbol");
    }
    const std::string about = "atom '" + site.label + "': ";
    if (!row.has2(kType))
      warnings.add(s.source + ": atoms without _atom_site_type_symbol are typed by their labels", site.label);
    site.type_symbol = row.has2(kType) ? cif::as_string(row[kType]) : site.label;
    if (dummy_type(site.type_symbol)) {
      // A point of no element (the centre of a ring, a marker): it scatters nothing.
      warnings.add(s.source + ": dummy atoms (type " + site.type_symbol + ") are skipped", site.label);
      continue;
    }
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
    check_occupancy(site, where, s.source, warnings);
    if (row.has2(kU)) {
      site.biso = single_or_fail(
          gemmi::u_to_b() * number_or_fail(row[kU], where, about + "_atom_site_U_iso_or_equiv"), where,
          about + "B = 8 pi^2 U of _atom_site_U_iso_or_equiv", row[kU]);
    } else if (row.has2(kB)) {
      site.biso = number_or_fail(row[kB], where, about + "_atom_site_B_iso_or_equiv");
    } else if (auto found = anisotropic.find(site.label); found != anisotropic.end()) {
      site.biso = found->second.b_eq;
      warnings.add(s.source + ": B is the isotropic equivalent of the anisotropic displacements", site.label);
    } else {
      warnings.add(s.source + ": B = 0 for atoms without U_iso_or_equiv or B_iso_or_equiv", site.label);
    }
    if (auto found = anisotropic.find(site.label); found != anisotropic.end()) site.uaniso = found->second.u;
    warn_implausible_b(site, row.has2(kU) ? "U" : row.has2(kB) ? "B" : "", s.source, warnings);
    s.sites.push_back(site);
  }
}

}  // namespace velmora::cif
