// Bounds: an occupancy lies in 0..1, B and a moment's size are not negative
// (a negative B is a fault of the model, shown as a parameter at its bound,
// not a value to report). Steps: central differences of |F|^2 computed in
// single precision, whose rounding (6e-8 of each value) over the step must
// stay below the truncation error of the step (about (2 pi h dx)^2 / 6 of the
// derivative); |F|^2 is quadratic in the moments, whose central differences
// are exact but for that rounding.
#include "rietveld/phase_structure.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "powder/powder_error.hpp"
#include "tables/symbol.hpp"

namespace velmora::rietveld {
namespace {

using What = StructureSlot::What;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::array<const char*, 5> kSlotNames = {"x", "y", "z", "biso", "occ"};
constexpr double kCoordinateStep = 2e-4, kBisoStep = 1e-2, kOccupancyStep = 1e-3, kMomentStep = 2e-2,
                 kUStep = 1e-4;
// |F|^2 is even in each moment component, so at 0 its derivatives by one
// vanish and a refinement could never move it: a free component starts here.
constexpr double kMomentNudge = 0.1;
// Sites whose positions lie closer than this (angstroms) share one position.
constexpr double kSharedPosition = 0.05;

std::string upper_trimmed(const Symbol& s) {
  std::string text(trimmed_text_of(s));
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

double cartesian_gap(const CellParameters& cell, const std::array<double, 3>& p,
                     const std::array<double, 3>& q) {
  const double radian = 3.14159265358979323846 / 180;
  std::array<double, 3> d{};
  for (std::size_t i = 0; i < 3; ++i) d[i] = (p[i] - q[i] - std::round(p[i] - q[i])) * cell[i];
  const double ca = std::cos(cell[3] * radian), cb = std::cos(cell[4] * radian),
               cg = std::cos(cell[5] * radian);
  const double sum =
      d[0] * d[0] + d[1] * d[1] + d[2] * d[2] + 2 * (d[0] * d[1] * cg + d[0] * d[2] * cb + d[1] * d[2] * ca);
  return std::sqrt(std::max(sum, 0.0));
}

// The sites a group acts on: all, or those the choice names (by label, else by element).
std::vector<bool> chosen_sites(const Crystal& crystal, const std::vector<std::string>& names_of,
                               const RefineChoice& choice, ParameterGroup group,
                               const std::string& group_name) {
  std::vector<bool> chosen(crystal.sites.size(), choice.has(group));
  const auto named = choice.sites.find(group);
  if (!choice.has(group) || named == choice.sites.end()) return chosen;
  chosen.assign(crystal.sites.size(), false);
  for (const std::string& name : named->second) {
    bool found = false;
    for (std::size_t s = 0; s < crystal.sites.size(); ++s)
      if (names_of[s] == name) chosen[s] = found = true;
    if (!found)
      for (std::size_t s = 0; s < crystal.sites.size(); ++s)
        if (crystal.sites[s].element == name) chosen[s] = found = true;
    if (!found) {
      std::string all;
      for (const std::string& n : names_of) all += (all.empty() ? "" : ", ") + n;
      powder::fail_powder("--refine " + group_name + ":" + name + ": " + crystal.source +
                          " has no site labelled " + name + " and none of element " + name +
                          "; its sites are " + all);
    }
  }
  return chosen;
}

// The sites whose U_ij are refined: those the choice names (each must give
// them), else every site that gives them; their B is then B_eq, refined
// through them, so B asked for by "all" gives way and B asked for by name is
// refused beside them.
std::vector<bool> anisotropic_sites(const Crystal& crystal, const std::vector<std::string>& names,
                                    const RefineChoice& choice, std::vector<bool>& biso) {
  std::vector<bool> chosen = chosen_sites(crystal, names, choice, ParameterGroup::uaniso, "uaniso");
  if (!choice.has(ParameterGroup::uaniso)) return chosen;
  const bool listed = choice.sites.count(ParameterGroup::uaniso) != 0;
  bool any = false;
  for (std::size_t s = 0; s < crystal.sites.size(); ++s) {
    if (!chosen[s]) continue;
    if (!crystal.sites[s].uaniso) {
      if (listed)
        powder::fail_powder("--refine uaniso:" + names[s] + ": " + crystal.source +
                            " gives no anisotropic "
                            "displacements (_atom_site_aniso_U_11 ...) of site " +
                            names[s] + "; refine its biso");
      chosen[s] = false;
      continue;
    }
    any = true;
    if (biso[s] && !choice.biso_by_all)
      powder::fail_powder("--refine biso and uaniso: both choose site " + names[s] + " of " + crystal.source +
                          ", whose B is the equivalent of its U_ij; give one");
    biso[s] = false;
  }
  if (!any)
    powder::fail_powder("--refine uaniso: " + crystal.source +
                        " gives no anisotropic displacements "
                        "(_atom_site_aniso_U_11 ...) to refine");
  return chosen;
}

// A moment group names magnetic sites only, a site takes its components or
// its size, and a crystal without magnetic sites has no moments to refine.
void check_moment_choice(const Crystal& crystal, const std::vector<std::string>& names,
                         const RefineChoice& choice, const std::vector<bool>& moments,
                         const std::vector<bool>& sizes) {
  const bool any_magnetic = std::any_of(crystal.sites.begin(), crystal.sites.end(),
                                        [](const CrystalSite& s) { return s.magnetic; });
  for (const auto& [group, name] : {std::pair{ParameterGroup::moment_sizes, "moment-sizes"},
                                    std::pair{ParameterGroup::moments, "moments"}}) {
    if (!choice.has(group) || (group == ParameterGroup::moments && choice.moments_by_all)) continue;
    if (!any_magnetic)
      powder::fail_powder("--refine " + std::string(name) + ": " + crystal.source + " has no magnetic site");
    const std::vector<bool>& chosen = group == ParameterGroup::moments ? moments : sizes;
    if (choice.sites.count(group) == 0) continue;
    for (std::size_t s = 0; s < crystal.sites.size(); ++s)
      if (chosen[s] && !crystal.sites[s].magnetic)
        powder::fail_powder("--refine " + std::string(name) + ":" + names[s] + ": " + crystal.source +
                            ": site " + names[s] + " is not magnetic");
  }
  if (choice.moments_by_all) return;
  for (std::size_t s = 0; s < crystal.sites.size(); ++s)
    if (moments[s] && sizes[s] && crystal.sites[s].magnetic)
      powder::fail_powder("--refine moments and moment-sizes: both choose site " + names[s] + " of " +
                          crystal.source +
                          "; moment-sizes keeps the direction that moments would refine, give one");
}

}  // namespace

std::vector<std::string> site_names(const Crystal& crystal) {
  std::vector<std::string> names;
  std::map<std::string, int> counts;
  for (const CrystalSite& site : crystal.sites) {
    if (!site.label.empty()) {
      names.push_back(site.label);
      continue;
    }
    const std::string kind = upper_trimmed(site.atype);
    names.push_back(kind + std::to_string(++counts[kind]));
  }
  return names;
}

PhaseStructure::PhaseStructure(const Crystal& crystal, const RefineChoice& choice, const std::string& prefix,
                               frontend::Remarks& remarks)
    : start_(crystal) {
  std::string fault;
  auto freedoms = site_freedoms(crystal, fault);
  if (!freedoms) powder::fail_powder(crystal.source + ": the positions cannot be refined: " + fault);
  freedoms_ = std::move(*freedoms);
  const std::vector<std::string> names = site_names(crystal);
  std::vector<bool> xyz = chosen_sites(crystal, names, choice, ParameterGroup::xyz, "xyz");
  std::vector<bool> biso = chosen_sites(crystal, names, choice, ParameterGroup::biso, "biso");
  const std::vector<bool> uaniso = anisotropic_sites(crystal, names, choice, biso);
  const std::vector<bool> occ = chosen_sites(crystal, names, choice, ParameterGroup::occupancy, "occupancy");
  std::vector<bool> moments = chosen_sites(crystal, names, choice, ParameterGroup::moments, "moments");
  const std::vector<bool> sizes =
      chosen_sites(crystal, names, choice, ParameterGroup::moment_sizes, "moment-sizes");
  moments_ = moment_freedoms(crystal, freedoms_);
  displacements_.resize(crystal.sites.size());
  check_moment_choice(crystal, names, choice, moments, sizes);
  if (crystal.operations.empty() && std::find(xyz.begin(), xyz.end(), true) != xyz.end()) {
    if (choice.xyz_by_all) {
      remarks.note(crystal.source +
                   " gives no symmetry to hold its atoms' positions together, so all leaves "
                   "them fixed; --refine xyz refines each atom on its own");
      xyz.assign(xyz.size(), false);
    } else {
      remarks.warn(crystal.source +
                   " gives no symmetry: each atom's position is refined on its own, and "
                   "nothing keeps equivalent atoms equivalent");
    }
  }
  // Without symmetry each magnetic atom is a site of its own, and all would
  // refine every atom's moment apart, equivalent ones no longer alike.
  const bool magnetic = std::any_of(crystal.sites.begin(), crystal.sites.end(),
                                    [](const CrystalSite& site) { return site.magnetic; });
  if (crystal.operations.empty() && choice.moments_by_all && magnetic) {
    remarks.note(crystal.source +
                 " gives no symmetry to hold its moments together, so all leaves them fixed; "
                 "--refine moments or moment-sizes refines each atom's on its own");
    moments.assign(moments.size(), false);
  }
  // The sites sharing a position with an earlier one: the first of them leads.
  std::vector<std::size_t> leader(crystal.sites.size());
  for (std::size_t s = 0; s < crystal.sites.size(); ++s) {
    leader[s] = s;
    for (std::size_t t = 0; t < s; ++t)
      if (leader[t] == t &&
          cartesian_gap(crystal.cell, freedoms_[s].position, freedoms_[t].position) < kSharedPosition) {
        leader[s] = t;
        break;
      }
  }
  std::map<std::pair<std::size_t, What>, std::size_t> index_of;  // a site's slot, by what it is
  for (std::size_t s = 0; s < crystal.sites.size(); ++s) {
    const SiteFreedom& f = freedoms_[s];
    const std::string base = prefix + "site." + names[s] + ".";
    const std::size_t lead = leader[s];
    const auto add = [&](What what, refine::Parameter p) {
      index_of[{s, what}] = slots_.size();
      slots_.push_back({s, what});
      parameters_.push_back(std::move(p));
    };
    if (xyz[s] && f.free_count() > 0) {
      for (std::size_t j = 0; j < 3; ++j) {
        if (f.kind[j] == SiteFreedom::Kind::fixed) continue;
        const auto what = static_cast<What>(j);
        refine::Parameter p =
            refine::named(base + kSlotNames[j], f.position[j], f.kind[j] == SiteFreedom::Kind::free);
        if (lead != s && xyz[lead] && index_of.count({lead, what}) != 0) {
          p.refined = false;
          p.tie = refine::Tie{{{index_of[{lead, what}], 1.0}}, f.position[j] - freedoms_[lead].position[j]};
        }
        add(what, std::move(p));
      }
      // Tied coordinates follow the free ones of their own site.
      for (std::size_t j = 0; j < 3; ++j) {
        if (f.kind[j] != SiteFreedom::Kind::tied || parameters_[index_of[{s, static_cast<What>(j)}]].tie)
          continue;
        refine::Tie tie{{}, f.position[j]};
        for (std::size_t k = 0; k < 3; ++k)
          if (f.follows[j][k] != 0) {
            tie.terms.emplace_back(index_of[{s, static_cast<What>(k)}], f.follows[j][k]);
            tie.offset -= f.follows[j][k] * f.position[k];
          }
        parameters_[index_of[{s, static_cast<What>(j)}]].refined = false;
        parameters_[index_of[{s, static_cast<What>(j)}]].tie = tie;
      }
    }
    const CrystalSite& site = crystal.sites[s];
    if (biso[s]) {
      refine::Parameter p = refine::named(base + "biso", site.biso, true, 0);
      if (lead != s && biso[lead]) {
        p.refined = false;
        p.tie = refine::Tie{{{index_of[{lead, What::biso}], 1.0}}, site.biso - crystal.sites[lead].biso};
      }
      add(What::biso, std::move(p));
    }
    if (occ[s]) add(What::occ, refine::named(base + "occ", site.occ, true, 0, 1));
    if (uaniso[s]) {
      const DisplacementFreedom& d =
          displacements_[s].emplace(displacement_freedom(crystal, f, *site.uaniso));
      std::array<std::size_t, 6> slot{};
      for (std::size_t j = 0; j < 6; ++j) {
        if (d.kind[j] == DisplacementFreedom::Kind::fixed) continue;
        slot[j] = slots_.size();
        add(static_cast<What>(static_cast<std::size_t>(What::u11) + j),
            refine::named(base + kDisplacementNames[j], d.start[j],
                          d.kind[j] == DisplacementFreedom::Kind::free));
      }
      for (std::size_t j = 0; j < 6; ++j) {
        if (d.kind[j] != DisplacementFreedom::Kind::tied) continue;
        refine::Tie tie{{}, 0.0};
        for (std::size_t k = 0; k < 6; ++k)
          if (d.follows[j][k] != 0) tie.terms.emplace_back(slot[k], d.follows[j][k]);
        parameters_[slot[j]].tie = tie;
      }
    }
    if (!site.magnetic) continue;
    const MomentFreedom& m = moments_[s];
    const std::string moment = prefix + "moment." + names[s] + ".";
    std::array<double, 3> gradient{};
    if (sizes[s]) {
      const double size = m.size(m.start, gradient);
      if (size == 0)
        powder::fail_powder(
            "--refine moment-sizes: " + crystal.source + ": site " + names[s] +
            " has a moment of 0, whose direction there is none to keep; refine its components "
            "with moments");
      add(What::size, refine::named(moment + "size", size, true, 0));
    } else if (moments[s] && m.free_count() > 0) {
      MomentSize& sized = moment_sizes_.emplace_back(MomentSize{moment + "size", s, {-1, -1, -1}});
      std::string nudged;
      for (std::size_t j = 0; j < 3; ++j) {
        if (m.kind[j] == ComponentFreedom::Kind::fixed) continue;
        const bool free = m.kind[j] == ComponentFreedom::Kind::free;
        sized.slot[j] = static_cast<std::ptrdiff_t>(slots_.size());
        double value = m.start[j];
        const std::string name = moment + kMomentComponentNames[j];
        const bool fixed = std::find(choice.fixed.begin(), choice.fixed.end(), name) != choice.fixed.end();
        if (free && value == 0 && !fixed) {
          value = kMomentNudge;
          nudged += (nudged.empty() ? "" : ", ") + name;
        }
        add(static_cast<What>(static_cast<std::size_t>(What::mx) + j), refine::named(name, value, free));
      }
      if (!nudged.empty())
        remarks.note(
            nudged + " start" + (nudged.find(',') == std::string::npos ? "s" : "") +
            " from 0.1 rather than 0, where the pattern's derivatives by a moment's component vanish");
      for (std::size_t j = 0; j < 3; ++j) {
        if (m.kind[j] != ComponentFreedom::Kind::tied) continue;
        refine::Tie tie{{}, 0.0};
        refine::Parameter& tied = parameters_[static_cast<std::size_t>(sized.slot[j])];
        tied.value = 0;
        for (std::size_t k = 0; k < 3; ++k)
          if (m.follows[j][k] != 0) {
            tie.terms.emplace_back(static_cast<std::size_t>(sized.slot[k]), m.follows[j][k]);
            tied.value += m.follows[j][k] * parameters_[static_cast<std::size_t>(sized.slot[k])].value;
          }
        tied.tie = tie;
      }
    }
  }
  if (choice.has(ParameterGroup::overall_biso)) {
    if (!crystal.sites.empty() && std::all_of(biso.begin(), biso.end(), [](bool b) { return b; }))
      powder::fail_powder(
          "--refine biso and overall-biso: an overall B moves every site's B alike with them, so "
          "the pattern cannot tell it from theirs; give one, or biso:SITES beside overall-biso");
    double least = kInfinity;  // no site's B may fall below 0
    for (const CrystalSite& site : crystal.sites) least = std::min(least, site.biso);
    slots_.push_back({0, What::overall_biso});
    parameters_.push_back(
        refine::named(prefix + "biso.overall", 0, true, crystal.sites.empty() ? 0 : -least));
  }
  // A mixed site's occupancies keep their sum: its last refined one takes what the others leave.
  for (std::size_t lead = 0; lead < crystal.sites.size(); ++lead) {
    std::vector<std::size_t> members;
    for (std::size_t s = 0; s < crystal.sites.size(); ++s)
      if (leader[s] == lead && occ[s]) members.push_back(s);
    if (members.size() < 2) continue;
    double total = 0;
    for (std::size_t s : members) total += crystal.sites[s].occ;
    refine::Tie tie{{}, total};
    for (std::size_t k = 0; k + 1 < members.size(); ++k)
      tie.terms.emplace_back(index_of[{members[k], What::occ}], -1.0);
    refine::Parameter& last = parameters_[index_of[{members.back(), What::occ}]];
    last.refined = false;
    last.tie = tie;
  }
}

std::vector<refine::Parameter> PhaseStructure::parameters(std::size_t first) const {
  std::vector<refine::Parameter> placed = parameters_;
  for (refine::Parameter& p : placed)
    if (p.tie)
      for (auto& term : p.tie->terms) term.first += first;
  return placed;
}

Crystal PhaseStructure::crystal_at(std::span<const double> values) const {
  Crystal c = start_;
  std::vector<std::array<double, 3>> positions;
  std::vector<bool> moved(c.sites.size(), false);
  for (const SiteFreedom& f : freedoms_) positions.push_back(f.position);
  std::vector<std::array<double, 3>> moments;
  for (const MomentFreedom& m : moments_) moments.push_back(m.start);
  for (std::size_t m = 0; m < slots_.size(); ++m) {
    const StructureSlot& slot = slots_[m];
    CrystalSite& site = c.sites[slot.site];
    switch (slot.what) {
      case What::x:
      case What::y:
      case What::z:
        positions[slot.site][static_cast<std::size_t>(slot.what)] = values[m];
        moved[slot.site] = true;
        break;
      case What::biso:
        site.biso = values[m];
        break;
      case What::occ:
        site.occ = values[m];
        break;
      case What::overall_biso:
        for (CrystalSite& each : c.sites) each.biso += values[m];
        break;
      default:  // a U_ij
        (*site.uaniso)[static_cast<std::size_t>(slot.what) - static_cast<std::size_t>(What::u11)] = values[m];
        break;
      case What::mx:
      case What::my:
      case What::mz:
        moments[slot.site][static_cast<std::size_t>(slot.what) - static_cast<std::size_t>(What::mx)] =
            values[m];
        break;
      case What::size: {
        // The direction kept: every atom's moment scaled alike.
        std::array<double, 3> gradient{};
        const double ratio = values[m] / moments_[slot.site].size(moments_[slot.site].start, gradient);
        if (ratio == 1) break;
        for (const MomentImage& image : moments_[slot.site].images) c.atoms[image.atom].moment.size *= ratio;
        for (double& v : site.moment) v *= ratio;
        break;
      }
    }
  }
  for (std::size_t s = 0; s < c.sites.size(); ++s)
    if (moved[s]) {
      freedoms_[s].move_atoms(positions[s], c.atoms);
      c.sites[s].xyz = positions[s];
    }
  for (std::size_t s = 0; s < c.sites.size(); ++s)
    if (displacements_[s]) {
      // The U_ij the symmetry fixes at 0 stay so; the tied ones came with the values.
      for (std::size_t j = 0; j < 6; ++j)
        if (displacements_[s]->kind[j] == DisplacementFreedom::Kind::fixed) (*c.sites[s].uaniso)[j] = 0;
      c.sites[s].biso = equivalent_b(c.cell, *c.sites[s].uaniso);
    }
  for (std::size_t s = 0; s < c.sites.size(); ++s) {
    // At its start a moment keeps the atoms' values to the last bit.
    if (moments[s] == moments_[s].start) continue;
    moments_[s].move_atoms(moments[s], c.atoms);
    c.sites[s].moment = moments[s];
  }
  return c;
}

bool PhaseStructure::anisotropic() const {
  return std::any_of(displacements_.begin(), displacements_.end(),
                     [](const std::optional<DisplacementFreedom>& d) { return d.has_value(); });
}

std::vector<std::optional<Covariance>> PhaseStructure::atom_covariances(const Crystal& c) const {
  std::vector<std::optional<Covariance>> each(c.atoms.size());
  for (std::size_t s = 0; s < c.sites.size(); ++s) {
    if (!displacements_[s]) continue;
    const Covariance site = covariance_of(c.cell, *c.sites[s].uaniso);
    for (const DisplacementFreedom::Image& image : displacements_[s]->images)
      each[image.atom] = turned(image.rot, site);
  }
  return each;
}

std::vector<std::string> PhaseStructure::unphysical_displacements(const Crystal& c) const {
  std::vector<std::string> sites;
  const std::vector<std::string> names = site_names(c);
  for (std::size_t s = 0; s < c.sites.size(); ++s) {
    if (!displacements_[s]) continue;
    // Sylvester's criterion on the covariance: every leading minor positive.
    const Covariance m = covariance_of(c.cell, *c.sites[s].uaniso);
    const double first = m[0][0], second = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    const double third = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!(first > 0 && second > 0 && third > 0)) sites.push_back(names[s]);
  }
  return sites;
}

double PhaseStructure::moment_size(const MomentSize& m, std::span<const double> values,
                                   std::array<double, 3>& gradient) const {
  std::array<double, 3> components = moments_[m.site].start;
  for (std::size_t j = 0; j < 3; ++j)
    if (m.slot[j] >= 0) components[j] = values[static_cast<std::size_t>(m.slot[j])];
  return moments_[m.site].size(components, gradient);
}

double PhaseStructure::step(std::size_t m) const {
  if (slots_[m].what >= What::u11) return kUStep;  // u11 .. u23 end the list
  switch (slots_[m].what) {
    case What::biso:
    case What::overall_biso:
      return kBisoStep;
    case What::occ:
      return kOccupancyStep;
    case What::mx:
    case What::my:
    case What::mz:
    case What::size:
      return kMomentStep;
    default:
      return kCoordinateStep;
  }
}

}  // namespace velmora::rietveld
