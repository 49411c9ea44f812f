// Expansion of the sites to the cell: atom counts against the multiplicities
// of the International Tables, positions reduced to [0, 1), and moments that
// turn as the magnetic group requires (antiparallel sheets in MnO, the
// triangle of Mn3Ir, a three-fold axis in a hexagonal cell, improper rotations
// acting on an axial vector).
#include "cif/cell_expansion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <gemmi/cif.hpp>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using velmora::cif::CellAtom;
using velmora::cif::CifStructure;
using velmora::cif::ConversionError;
using velmora::cif::Warnings;

CifStructure read_file(const std::string& name) {
  gemmi::cif::Document document =
      velmora::cif::read_cif_file(std::string(VELMORA_CIF_TEST_DATA) + "/" + name);
  Warnings warnings;
  return velmora::cif::read_cif_structure(document, "", warnings);
}

CifStructure read_text(const std::string& text) {
  gemmi::cif::Document document = gemmi::cif::read_memory(text.data(), text.size(), "test.cif");
  Warnings warnings;
  return velmora::cif::read_cif_structure(document, "", warnings);
}

std::vector<CellAtom> expand(const CifStructure& s) {
  Warnings warnings;
  return velmora::cif::expand_cell(s, warnings);
}

std::map<std::string, int> count_by_site(const CifStructure& s, const std::vector<CellAtom>& atoms) {
  std::map<std::string, int> count;
  for (const CellAtom& atom : atoms) ++count[s.sites[atom.site].label];
  return count;
}

// Positions in 48ths, which hold every coordinate of these tests exactly.
std::set<std::array<long, 3>> positions_of(const CifStructure& s, const std::vector<CellAtom>& atoms,
                                           const std::string& label) {
  std::set<std::array<long, 3>> set;
  for (const CellAtom& atom : atoms)
    if (s.sites[atom.site].label == label)
      set.insert(
          {std::lround(atom.xyz[0] * 48), std::lround(atom.xyz[1] * 48), std::lround(atom.xyz[2] * 48)});
  return set;
}

// The test files give moments to 8 significant digits.
void expect_near(const gemmi::Vec3& got, const gemmi::Vec3& want, const std::string& what,
                 double within = 1e-9) {
  EXPECT_NEAR(got.x, want.x, within) << what;
  EXPECT_NEAR(got.y, want.y, within) << what;
  EXPECT_NEAR(got.z, want.z, within) << what;
}

TEST(ExpandCell, RockSaltHasEightAtomsFromTwoSites) {
  const CifStructure s = read_file("nacl.cif");
  const std::vector<CellAtom> atoms = expand(s);
  EXPECT_EQ(atoms.size(), 8u);
  const std::set<std::array<long, 3>> face_centred = {{0, 0, 0}, {0, 24, 24}, {24, 0, 24}, {24, 24, 0}};
  const std::set<std::array<long, 3>> shifted = {{24, 24, 24}, {24, 0, 0}, {0, 24, 0}, {0, 0, 24}};
  EXPECT_EQ(positions_of(s, atoms, "Na1"), face_centred);
  EXPECT_EQ(positions_of(s, atoms, "Cl1"), shifted);
}

TEST(ExpandCell, SpecialPositionsGiveTheirMultiplicity) {
  // Silicon: 8a of Fd-3m (origin choice 1), 8 of the 192 images.
  const CifStructure silicon = read_file("silicon.cif");
  EXPECT_EQ(silicon.operations.size(), 192u);
  EXPECT_EQ(expand(silicon).size(), 8u);
  // Magnetite in its magnetic group: 8a, 16d and 32e of Fd-3m, the last two
  // split into two sites each; the sites of one Wyckoff position add up to it.
  const CifStructure magnetite = read_file("magnetite.mcif");
  const std::vector<CellAtom> atoms = expand(magnetite);
  std::map<std::string, int> n = count_by_site(magnetite, atoms);
  EXPECT_EQ(atoms.size(), 72u);
  EXPECT_EQ(n["FeA"], 8);
  EXPECT_EQ(n["FeB1"] + n["FeB3"], 16);
  EXPECT_EQ(n["FeB2"] + n["FeB4"], 16);
  EXPECT_EQ(n["O1"] + n["O2"], 32);
  // The B sites hold one Fe2+ and one Fe3+ each: the two lists are the same places.
  std::set<std::array<long, 3>> fe2 = positions_of(magnetite, atoms, "FeB1");
  std::set<std::array<long, 3>> fe3 = positions_of(magnetite, atoms, "FeB2");
  for (const auto& p : positions_of(magnetite, atoms, "FeB3")) fe2.insert(p);
  for (const auto& p : positions_of(magnetite, atoms, "FeB4")) fe3.insert(p);
  EXPECT_EQ(fe2.size(), 16u);
  EXPECT_EQ(fe2, fe3);
}

TEST(ExpandCell, RoundedSpecialPositionsAreMergedWithAWarning) {
  // P6_3/mmc: 2c (1/3 2/3 1/4) written with three decimals, 4f on the three-fold
  // axis, and a general position (24 images).
  const CifStructure s = read_text(
      "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 8\n_cell_angle_alpha 90\n"
      "_cell_angle_beta 90\n_cell_angle_gamma 120\n_space_group_name_H-M_alt 'P 63/m m c'\n"
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
      "C1 0.333 0.667 0.25\nC2 0.33333 0.66667 0.0625\nC3 0.1 0.23 0.04\n");
  Warnings warnings;
  std::map<std::string, int> n = count_by_site(s, velmora::cif::expand_cell(s, warnings));
  EXPECT_EQ(n["C1"], 2);
  EXPECT_EQ(n["C2"], 4);
  EXPECT_EQ(n["C3"], 24);
  bool warned = false;
  for (const std::string& line : warnings.lines)
    warned = warned || line.find("atom 'C1': images") != std::string::npos;
  EXPECT_TRUE(warned);
}

TEST(ExpandCell, PositionsAreReducedToTheCell) {
  const CifStructure s = read_text(
      "data_x\n_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_alpha 90\n"
      "_cell_angle_beta 90\n_cell_angle_gamma "
      "90\nloop_\n_space_group_symop_operation_xyz\nx,y,z\nx-1,y+2,z+1/2\n"
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
      "C1 -0.25 1.25 0.9999999999\n");
  const std::vector<CellAtom> atoms = expand(s);
  ASSERT_EQ(atoms.size(), 2u);
  EXPECT_EQ(atoms[0].xyz, (std::array<double, 3>{0.75, 0.25, 0.0}));
  EXPECT_NEAR(atoms[1].xyz[2], 0.5, 1e-9);
}

TEST(ExpandCell, MnOSheetsAreAntiparallel) {
  const CifStructure s = read_file("mno.mcif");
  const std::vector<CellAtom> atoms = expand(s);
  ASSERT_EQ(atoms.size(), 64u);
  const double size = 4.58;
  const gemmi::Vec3 first = gemmi::Vec3(1, 1, -2) * (size / std::sqrt(6.0));
  std::set<std::array<long, 3>> mn;
  for (const CellAtom& atom : atoms) {
    if (s.sites[atom.site].label != "Mn1") {
      EXPECT_EQ(atom.moment.length(), 0.0);
      continue;
    }
    // Mn sits on the F lattice of the chemical cell (half the edge); the
    // (111) sheet through it is number X + Y + Z in chemical-cell units, and
    // sheets alternate in sign.
    const long sheet = std::lround(2 * (atom.xyz[0] + atom.xyz[1] + atom.xyz[2]));
    const double sign = sheet % 2 == 0 ? 1.0 : -1.0;
    expect_near(atom.moment, first * sign, "Mn in sheet " + std::to_string(sheet), 1e-6);
    mn.insert({std::lround(atom.xyz[0] * 4), std::lround(atom.xyz[1] * 4), std::lround(atom.xyz[2] * 4)});
  }
  EXPECT_EQ(mn.size(), 32u);
  for (const auto& p : mn) EXPECT_EQ((p[0] + p[1] + p[2]) % 2, 0) << "Mn off the F lattice";
}

TEST(ExpandCell, Mn3IrMomentsFormTheTriangleInTheKagomePlane) {
  const CifStructure s = read_file("mn3ir.mcif");
  const std::vector<CellAtom> atoms = expand(s);
  ASSERT_EQ(atoms.size(), 4u);
  // Each Mn moment points along the <11-2> direction of its face, in the
  // (111) plane, so that the three add up to nothing.
  const std::map<std::array<long, 3>, gemmi::Vec3> along = {{{1, 1, 0}, gemmi::Vec3(1, 1, -2)},
                                                            {{0, 1, 1}, gemmi::Vec3(-2, 1, 1)},
                                                            {{1, 0, 1}, gemmi::Vec3(1, -2, 1)}};
  gemmi::Vec3 sum;
  int mn = 0;
  for (const CellAtom& atom : atoms) {
    if (s.sites[atom.site].label != "Mn1") continue;
    ++mn;
    const std::array<long, 3> face = {std::lround(atom.xyz[0] * 2), std::lround(atom.xyz[1] * 2),
                                      std::lround(atom.xyz[2] * 2)};
    ASSERT_EQ(along.count(face), 1u);
    const gemmi::Vec3 direction = along.at(face);
    expect_near(atom.moment, direction * (2.6 / direction.length()), "Mn on its face", 1e-6);
    sum += atom.moment;
  }
  EXPECT_EQ(mn, 3);
  expect_near(sum, gemmi::Vec3(), "sum of the three moments", 1e-6);
}

const std::string kHexagonalCell =
    "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 4\n_cell_angle_alpha 90\n"
    "_cell_angle_beta 90\n_cell_angle_gamma 120\n";

std::string one_magnetic_site(const std::string& cell, const std::string& operations,
                              const std::string& moment, const std::string& position = "0.1 0.2 0.3") {
  return cell + "loop_\n_space_group_symop_magn_operation.xyz\n" + operations +
         "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nCo1 " +
         position +
         "\nloop_\n_atom_site_moment.label\n_atom_site_moment.crystalaxis_x\n_atom_site_moment.crystalaxis_"
         "y\n"
         "_atom_site_moment.crystalaxis_z\nCo1 " +
         moment + "\n";
}

TEST(ExpandCell, AThreeFoldAxisTurnsMomentsBy120DegreesInAHexagonalCell) {
  const CifStructure s =
      read_text(one_magnetic_site(kHexagonalCell, "x,y,z,+1\n-y,x-y,z,+1\n-x+y,-x,z,+1\n", "2 0 0"));
  const std::vector<CellAtom> atoms = expand(s);
  ASSERT_EQ(atoms.size(), 3u);
  const double r = std::sqrt(3.0);
  expect_near(atoms[0].moment, gemmi::Vec3(2, 0, 0), "along a");
  expect_near(atoms[1].moment, gemmi::Vec3(-1, r, 0), "turned by 120 degrees");
  expect_near(atoms[2].moment, gemmi::Vec3(-1, -r, 0), "turned by 240 degrees");
}

TEST(ExpandCell, MomentComponentsAreAlongUnitVectorsOfTheAxes) {
  struct Case {
    std::string cell;
    std::string moment;
    gemmi::Vec3 cartesian;
  };
  const double beta = gemmi::rad(100.0);
  const std::vector<Case> cases = {
      // b of a hexagonal cell lies at 120 degrees to a in the x-y plane.
      {kHexagonalCell, "0 1.5 0", gemmi::Vec3(-0.75, 1.5 * std::sqrt(3.0) / 2, 0)},
      {kHexagonalCell, "1 1 0", gemmi::Vec3(0.5, std::sqrt(3.0) / 2, 0)},
      // c of a monoclinic cell (beta 100) is tilted from z towards -x.
      {"data_x\n_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_alpha 90\n"
       "_cell_angle_beta 100\n_cell_angle_gamma 90\n",
       "0 0 3", gemmi::Vec3(3 * std::cos(beta), 0, 3 * std::sin(beta))},
  };
  for (const Case& c : cases) {
    const std::vector<CellAtom> atoms = expand(read_text(one_magnetic_site(c.cell, "x,y,z,+1\n", c.moment)));
    ASSERT_EQ(atoms.size(), 1u);
    expect_near(atoms[0].moment, c.cartesian, c.moment);
  }
}

TEST(ExpandCell, ImproperRotationsTurnMomentsAsAxialVectors) {
  struct Case {
    std::string operation;
    std::string moment;
    gemmi::Vec3 image;
  };
  const std::string cubic =
      "data_x\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n_cell_angle_alpha 90\n"
      "_cell_angle_beta 90\n_cell_angle_gamma 90\n";
  const std::vector<Case> cases = {
      {"-x,-y,-z,+1", "1 2 3", gemmi::Vec3(1, 2, 3)},     // inversion keeps an axial vector
      {"-x,-y,-z,-1", "1 2 3", gemmi::Vec3(-1, -2, -3)},  // unless it reverses time
      {"x,y,-z,+1", "1 2 3", gemmi::Vec3(-1, -2, 3)},     // a mirror keeps the part normal to it
      {"-x,-y,z,+1", "1 2 3", gemmi::Vec3(-1, -2, 3)},    // a two-fold axis keeps the part along it
      {"-x,-y,z,-1", "1 2 3", gemmi::Vec3(1, 2, -3)},
  };
  for (const Case& c : cases) {
    const std::vector<CellAtom> atoms =
        expand(read_text(one_magnetic_site(cubic, "x,y,z,+1\n" + c.operation + "\n", c.moment)));
    ASSERT_EQ(atoms.size(), 2u) << c.operation;
    expect_near(atoms[1].moment, c.image, c.operation);
  }
}

TEST(ExpandCell, AMomentThatBreaksItsSiteSymmetryFails) {
  const std::string cubic =
      "data_x\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n_cell_angle_alpha 90\n"
      "_cell_angle_beta 90\n_cell_angle_gamma 90\n";
  // On a centre of inversion that reverses time, only a zero moment is allowed.
  const CifStructure s = read_text(one_magnetic_site(cubic, "x,y,z,+1\n-x,-y,-z,-1\n", "1 0 0", "0 0 0"));
  Warnings warnings;
  try {
    velmora::cif::expand_cell(s, warnings);
    ADD_FAILURE() << "accepted";
  } catch (const ConversionError& e) {
    EXPECT_NE(
        std::string(e.what()).find("atom 'Co1': the operations give it the moments (1 0 0) and (-1 0 0)"),
        std::string::npos)
        << e.what();
  }
  const CifStructure zero = read_text(one_magnetic_site(cubic, "x,y,z,+1\n-x,-y,-z,-1\n", "0 0 0", "0 0 0"));
  EXPECT_EQ(expand(zero).size(), 1u);
}

}  // namespace
