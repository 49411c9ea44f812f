// The answers velmora's dialogue asks for, as one text: lattice parameters;
// the number of atoms; one line per atom (symbol x y z occupancy B magnetic
// flag); one line per magnetic atom with the size of its moment, its angle to
// x and its angle to z; the number of reflections; one h k l line each.
// Numbers are written with the fewest digits that read back as the same
// single-precision value, which is how velmora stores them.
#pragma once

#include <array>
#include <gemmi/math.hpp>
#include <gemmi/unitcell.hpp>
#include <string>
#include <vector>

#include "cif/reflection_list.hpp"

namespace velmora::cif {

// A moment as velmora's dialogue takes it, in its Cartesian frame (x along a,
// y in the a-b plane, z along c*): the size, the azimuth from x towards y in
// [0, 360) and the polar angle from z in [0, 180], both in degrees.
struct MomentAngles {
  double size = 0.0;
  double angle_to_x = 0.0;
  double angle_to_z = 0.0;
};

MomentAngles moment_angles(const gemmi::Vec3& moment);

// The shortest text that reads back as the single-precision value of v.
std::string float_text(double v);

struct AnswerAtom {
  std::string symbol;  // velmora's three-character label
  std::array<double, 3> xyz{};
  double occ = 1.0;
  double biso = 0.0;
  bool magnetic = false;
  MomentAngles moment;
  std::string site;  // the CIF's label, written after the answers on the line, where velmora skips it
};

std::string answer_text(const gemmi::UnitCell& cell, const std::vector<AnswerAtom>& atoms,
                        const std::vector<Hkl>& reflections);

}  // namespace velmora::cif
