// One crystal in memory, as every reader builds it (velmora's dialogue, the
// CIF reader, the Python constructor) and every calculation takes it: the
// cell, the symmetry operations, the sites with what scatters there, the
// atoms of the whole cell those sites give, and the magnetic form factor of
// each magnetic atom. Values are held as read, in double; velmora's
// single-precision run values are made from them in one place
// (run/run_structure.hpp).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "magnetic/magnetic_form_model.hpp"
#include "model/symmetry_operation.hpp"
#include "tables/symbol.hpp"

namespace velmora {

// a b c in angstroms, alpha beta gamma in degrees.
using CellParameters = std::array<double, 6>;

// A moment in velmora's Cartesian frame (x along a, y in the a-b plane, z
// along c*): its size in Bohr magnetons, its azimuth from x towards y (the
// angle to x) and its polar angle from z (the angle to z), in degrees.
struct CartesianMoment {
  double size = 0.0;
  double angle_to_x = 0.0;
  double angle_to_z = 0.0;
};

struct CrystalSite {
  std::string label;            // the file's site label; velmora's answers name none
  std::string element;          // "Fe"; empty when only the table label is known
  int charge = 0;               // 0 for a neutral atom or an unknown charge
  Symbol atype = kBlankSymbol;  // the table label: velmora's X-ray, neutron and <j0> rows
  std::array<double, 3> xyz{};  // fractional coordinates along a, b, c
  double occ = 1.0;
  double biso = 0.0;  // isotropic displacement parameter B, square angstroms
  // U11 U22 U33 U12 U13 U23 in square angstroms, when the file gives them (B is then B_eq).
  std::optional<std::array<double, 6>> uaniso;
  bool magnetic = false;
  // Components along a/|a|, b/|b|, c/|c| in Bohr magnetons, when the source
  // gives them so (velmora's answers give the Cartesian angles only).
  std::array<double, 3> moment{};
};

// One atom of the whole cell: an image of its site.
struct CrystalAtom {
  std::size_t site = 0;         // index in Crystal::sites
  std::array<double, 3> xyz{};  // fractional
  CartesianMoment moment;       // for an atom of a magnetic site
};

// The magnetic form factor of every magnetic atom of the cell, in order, by
// the companions' model; none when velmora's own <j0> rows give them all.
struct CrystalMagnetism {
  std::shared_ptr<MagneticFormChooser> chooser;  // holds the ion table the forms point into
  std::vector<MagneticForm> forms;
  std::string model_line;  // which model gave |Fm|^2; empty when velmora's own table gave every one
  bool own_forms() const { return model_line.empty(); }
};

struct Crystal {
  std::string source;  // the file or the maker, as messages name it
  CellParameters cell{};
  // The operations of the structure's group, with time reversal when
  // magnetic_operations; empty when the source gives no symmetry.
  std::vector<SymmetryOperation> operations;
  bool magnetic_operations = false;
  std::vector<CrystalSite> sites;
  std::vector<CrystalAtom> atoms;  // the whole cell, in velmora's order
  CrystalMagnetism magnetism;

  const CrystalSite& site_of(const CrystalAtom& atom) const { return sites[atom.site]; }
};

}  // namespace velmora
