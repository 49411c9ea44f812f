// The rounding from a crystal's values (double) to the run's (float): one
// static_cast per stored value, the angles converted after it.
#include "run/run_structure.hpp"

namespace velmora {
namespace {

float stored(double v) { return static_cast<float>(v); }

AtomSite atom_site(const CrystalSite& site, const CrystalAtom& atom) {
  return {site.atype,
          {stored(atom.xyz[0]), stored(atom.xyz[1]), stored(atom.xyz[2])},
          stored(site.occ),
          stored(site.biso)};
}

MomentAngles moment_angles(const CartesianMoment& m, float pi) {
  return {stored(m.size), to_radians(stored(m.angle_to_x), pi), to_radians(stored(m.angle_to_z), pi)};
}

}  // namespace

Structure run_structure(const Crystal& crystal, std::vector<Reflection> hkl, float pi) {
  Structure s;
  for (std::size_t k = 0; k < 3; ++k) s.param[k] = stored(crystal.cell[k]);
  for (std::size_t k = 3; k < 6; ++k) s.param[k] = to_radians(stored(crystal.cell[k]), pi);
  s.atoms.reserve(crystal.atoms.size());
  for (const CrystalAtom& atom : crystal.atoms) {
    const CrystalSite& site = crystal.site_of(atom);
    s.atoms.push_back(atom_site(site, atom));
    if (!site.magnetic) continue;
    s.magnetic.push_back(s.atoms.back());
    s.magnetic_site.push_back(s.atoms.size() - 1);
    s.moments.push_back(moment_angles(atom.moment, pi));
  }
  s.hkl = std::move(hkl);
  return s;
}

}  // namespace velmora
