// What a refinement changes, by the groups of parameters a user names
// ("scale,background,zero,cell"): the default is what velmora-powder has
// always fitted, and "all" is every group a constant-wavelength pattern can
// carry for its radiation.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace velmora::rietveld {

enum class ParameterGroup {
  scale, background, zero, cell, wavelength, displacement, transparency, profile, asymmetry, axial
};

struct RefineChoice {
  std::set<ParameterGroup> groups{ParameterGroup::scale, ParameterGroup::background, ParameterGroup::zero};
  bool all = false;  // "all": decided by the radiation when the run knows it
  // Le Bail's extraction: each peak group's intensity taken from the
  // measurement instead of the structure, the scale held
  bool le_bail = false;

  bool has(ParameterGroup g) const { return groups.count(g) != 0; }
  // More than the scale, background and zero of the fit without a refinement.
  bool beyond_default() const;
};

// The groups of a comma-separated list; std::nullopt with fault saying why
// (an unknown or repeated name, an empty item).
std::optional<RefineChoice> refine_choice_of(std::string_view list, std::string& fault);

// "all" for the radiation: every group but the wavelength (which moves every
// peak as the cell does, so the two cannot be told apart) and the
// transparency (which a displacement all but mimics); the displacement only
// for X-rays, whose Bragg-Brentano samples are flat. The axial divergence,
// which leans the low-angle peaks of every instrument, is in it: for X-rays
// as Finger, Cox & Jephcoat's S/L and H/L (axial), from the geometry of a
// laboratory diffractometer; for neutrons as Berar & Baldinozzi's four
// coefficients (asymmetry), the practice on constant-wavelength neutron
// patterns, whose collimation that geometry does not describe as well.
void settle_all(RefineChoice& choice, bool xray);

// Le Bail's extraction added to a choice; with none made, it refines "all".
void choose_le_bail(std::optional<RefineChoice>& choice);

// The groups' names, in the order above, for messages and --help.
std::string group_names();

}  // namespace velmora::rietveld
