// What a refinement changes, by the groups of parameters a user names
// ("scale,background,zero,cell"): the default is what velmora-powder has
// always fitted, and "all" is every group a constant-wavelength pattern can
// carry for its radiation.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::rietveld {

enum class ParameterGroup {
  scale,
  background,
  zero,
  cell,
  wavelength,
  displacement,
  transparency,
  profile,
  asymmetry,
  axial,
  xyz,
  biso,
  overall_biso,
  uaniso,
  occupancy,
  moments,
  moment_sizes
};

// The groups of the structure: each site's free coordinates, its B, one B
// added to every site's, its anisotropic displacements, its occupancy, its moment's free components or its
// moment's size alone.
bool is_structure_group(ParameterGroup g);

struct RefineChoice {
  std::set<ParameterGroup> groups{ParameterGroup::scale, ParameterGroup::background, ParameterGroup::zero};
  bool all = false;  // "all": decided by the radiation when the run knows it
  // Le Bail's extraction: each peak group's intensity taken from the
  // measurement instead of the structure, the scale held
  bool le_bail = false;
  // The sites a structure group is limited to ("xyz:O1,O2"), by label or
  // element; a structure group absent here acts on every site.
  std::map<ParameterGroup, std::vector<std::string>> sites;
  bool xyz_by_all = false;      // the positions come from "all", not from their own name
  bool moments_by_all = false;  // and the moments likewise
  bool biso_by_all = false;     // and each site's B (which a site's refined U_ij then take the place of)
  // Parameters held at their start by name ("site.O3.y"), whatever their groups refine.
  std::vector<std::string> fixed;

  bool has(ParameterGroup g) const { return groups.count(g) != 0; }
  bool refines_structure() const;
  // More than the scale, background and zero of the fit without a refinement.
  bool beyond_default() const;
};

// The groups of a comma-separated list; std::nullopt with fault saying why
// (an unknown or repeated name, an empty item). A structure group may name
// its sites after a colon, the names that follow it up to the next group
// being sites too: "cell,xyz:O1,O2,biso:Pb".
std::optional<RefineChoice> refine_choice_of(std::string_view list, std::string& fault);

// "all" for the radiation: every group but the wavelength (which moves every
// peak as the cell does, so the two cannot be told apart) and the
// transparency (which a displacement all but mimics); the displacement only
// for X-rays, whose Bragg-Brentano samples are flat. The axial divergence,
// which leans the low-angle peaks of every instrument, is in it: for X-rays
// as Finger, Cox & Jephcoat's S/L and H/L (axial), from the geometry of a
// laboratory diffractometer; for neutrons as Berar & Baldinozzi's four
// coefficients (asymmetry), the practice on constant-wavelength neutron
// patterns, whose collimation that geometry does not describe as well. The
// structure's positions and B are in it (not its occupancies, which the
// scale and B mimic on most patterns: they are refined when named), and for
// neutrons its moments, except under Le Bail's extraction, which takes no
// intensity from the structure.
void settle_all(RefineChoice& choice, bool xray);

// Le Bail's extraction added to a choice; with none made, it refines "all".
void choose_le_bail(std::optional<RefineChoice>& choice);

// The groups' names, in the order above, for messages and --help.
std::string group_names();

}  // namespace velmora::rietveld
