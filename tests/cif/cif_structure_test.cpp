// Reading the structure from a CIF: the three spellings of the magnetic tags,
// where the symmetry comes from, type symbols, displacement parameters, and
// every refused file with the line or item its message names.
#include "cif/cif_structure.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gemmi/cif.hpp>
#include <string>
#include <vector>

namespace {

using velmora::cif::CifSite;
using velmora::cif::CifStructure;
using velmora::cif::ConversionError;
using velmora::cif::Warnings;

const std::string kCell =
    "_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 100\n_cell_angle_gamma 90\n";

CifStructure read_text(const std::string& text, Warnings& warnings) {
  gemmi::cif::Document document = gemmi::cif::read_memory(text.data(), text.size(), "test.cif");
  return velmora::cif::read_cif_structure(document, "", warnings);
}

CifStructure read_text(const std::string& text) {
  Warnings warnings;
  return read_text(text, warnings);
}

bool warned(const Warnings& warnings, const std::string& fragment) {
  for (const std::string& line : warnings.lines)
    if (line.find(fragment) != std::string::npos) return true;
  return false;
}

std::string failure_of(const std::string& text) {
  try {
    read_text(text);
  } catch (const ConversionError& e) {
    return e.what();
  }
  return "no failure";
}

// One magnetic CIF with its operation, centring and moment tags spelled as given.
std::string magnetic_cif(const std::string& operation, const std::string& centering,
                         const std::string& moment) {
  return "data_m\n" + kCell + "loop_\n" + operation + "\nx,y,z,+1\n-x,-y,-z,-1\nloop_\n" + centering +
         "\nx,y,z,+1\nx+1/2,y+1/2,z,-1\n"
         "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
         "_atom_site_fract_z\nCo1 Co2+ 0.1 0.2 0.3\n"
         "loop_\n" +
         moment + "label\n" + moment + "crystalaxis_x\n" + moment + "crystalaxis_y\n" + moment +
         "crystalaxis_z\nCo1 1 2 3\n";
}

TEST(ReadCif, MagneticTagsReadAlikeInAllThreeSpellings) {
  const std::vector<CifStructure> read = {
      read_text(magnetic_cif("_space_group_symop_magn_operation.xyz", "_space_group_symop_magn_centering.xyz",
                             "_atom_site_moment.")),
      read_text(magnetic_cif("_space_group_symop.magn_operation_xyz", "_space_group_symop.magn_centering_xyz",
                             "_atom_site_moment_")),
      read_text(magnetic_cif("_space_group_symop_magn_operation_xyz", "_space_group_symop_magn_centering_xyz",
                             "_atom_site_moment_"))};
  for (const CifStructure& s : read) {
    EXPECT_TRUE(s.magnetic_operations);
    ASSERT_EQ(s.operations.size(), 4u);  // two operations times two centrings
    int reversing = 0;
    for (const auto& op : s.operations) reversing += op.time_reversal < 0;
    EXPECT_EQ(reversing, 2);
    ASSERT_EQ(s.sites.size(), 1u);
    EXPECT_TRUE(s.sites[0].magnetic);
    EXPECT_EQ(s.sites[0].moment, (std::array<double, 3>{1, 2, 3}));
  }
}

const std::string kOneAtom =
    "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\nC1 0.1 0.2 0.3\n";

TEST(ReadCif, SymmetryComesFromListedOperationsThenTheSymbol) {
  struct Case {
    std::string symmetry;
    std::size_t operations;
  };
  const std::vector<Case> cases = {
      {"_space_group_name_H-M_alt 'P 1 21/c 1'\n", 4},
      {"_symmetry_space_group_name_H-M 'F m -3 m'\n", 192},
      {"_symmetry_space_group_name_H-M 'R -3 m'\n", 36},  // hexagonal axes: gamma 120
      {"_space_group_name_Hall '-P 2ybc'\n", 4},
      {"_space_group_name_H-M_alt 'P 1'\nloop_\n_space_group_symop_operation_xyz\nx,y,z\n-x,-y,-z\n", 2},
      {"_symmetry_space_group_name_H-M 'P 1'\nloop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-x,y,-z\n", 2},
  };
  for (const Case& c : cases) {
    const std::string cell = c.operations == 36 ? "_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 7\n"
                                                  "_cell_angle_alpha 90\n_cell_angle_beta 90\n"
                                                  "_cell_angle_gamma 120\n"
                                                : kCell;
    const CifStructure s = read_text("data_x\n" + cell + c.symmetry + kOneAtom);
    EXPECT_EQ(s.operations.size(), c.operations) << c.symmetry;
    EXPECT_FALSE(s.magnetic_operations);
  }
}

TEST(ReadCif, AnOriginChoiceTakenFromABareSymbolIsNamedInAWarning) {
  Warnings warnings;
  read_text("data_x\n" + kCell + "_space_group_name_H-M_alt 'F d -3 m'\n" + kOneAtom, warnings);
  EXPECT_TRUE(
      warned(warnings, "test.cif: space group 'F d -3 m' has two origin choices; origin choice 1 is used"));
  Warnings none;
  read_text("data_x\n" + kCell + "_space_group_name_H-M_alt 'F d -3 m:2'\n" + kOneAtom, none);
  EXPECT_FALSE(warned(none, "origin choice"));
}

TEST(ReadCif, TypeSymbolsGiveElementAndCharge) {
  struct Case {
    std::string type;
    gemmi::El element;
    int charge;
    bool unreadable;
  };
  const std::vector<Case> cases = {
      {"Fe3+", gemmi::El::Fe, 3, false},  {"O2-", gemmi::El::O, -2, false},  {"Na+", gemmi::El::Na, 1, false},
      {"Cl1-", gemmi::El::Cl, -1, false}, {"Fe+3", gemmi::El::Fe, 3, false}, {"Fe", gemmi::El::Fe, 0, false},
      {"O", gemmi::El::O, 0, false},      {"D", gemmi::El::D, 0, false},     {"Fe1", gemmi::El::Fe, 0, true},
      {"Mn2.5+", gemmi::El::Mn, 0, true}, {"CL", gemmi::El::Cl, 0, false},
  };
  for (const Case& c : cases) {
    const CifStructure s = read_text("data_x\n" + kCell + "_space_group_name_H-M_alt 'P 1'\n" +
                                     "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n"
                                     "_atom_site_fract_y\n_atom_site_fract_z\nA1 " +
                                     c.type + " 0 0 0\n");
    const CifSite& site = s.sites.at(0);
    EXPECT_EQ(site.element.elem, c.element) << c.type;
    EXPECT_EQ(site.charge, c.charge) << c.type;
    EXPECT_EQ(site.charge_unreadable, c.unreadable) << c.type;
  }
}

TEST(ReadCif, DisplacementIsBWithUTakenFirstAndOccupancyDefaultsToOne) {
  const CifStructure s =
      read_text("data_x\n" + kCell + "_space_group_name_H-M_alt 'P 1'\n" +
                "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                "_atom_site_occupancy\n_atom_site_U_iso_or_equiv\n_atom_site_B_iso_or_equiv\n"
                "C1 0 0 0 0.5 0.01 ?\nC2 0 0 0 . ? 1.25\nC3 0 0 0 1 0.02 7\nC4 0 0 0 1 ? ?\n");
  ASSERT_EQ(s.sites.size(), 4u);
  const double eight_pi_squared = 8 * M_PI * M_PI;
  EXPECT_DOUBLE_EQ(s.sites[0].biso, eight_pi_squared * 0.01);
  EXPECT_DOUBLE_EQ(s.sites[0].occ, 0.5);
  EXPECT_DOUBLE_EQ(s.sites[1].biso, 1.25);
  EXPECT_DOUBLE_EQ(s.sites[1].occ, 1.0);
  EXPECT_DOUBLE_EQ(s.sites[2].biso, eight_pi_squared * 0.02);
  EXPECT_DOUBLE_EQ(s.sites[3].biso, 0.0);
}

TEST(ReadCif, BadFilesFailNamingTheLineAndItem) {
  const std::string symmetry = "_space_group_name_H-M_alt 'P 1'\n";
  const std::string atoms_head =
      "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
      "_atom_site_fract_z\n";
  struct Case {
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"data_x\n_cell_length_b 6\n" + symmetry + kOneAtom,
       "test.cif: data_x: no unit cell: _cell_length_a is missing"},
      {"data_x\n_cell_length_a 5\n_cell_length_b 5.x\n" + symmetry + kOneAtom,
       "test.cif:3: _cell_length_b '5.x' is not a number"},
      {"data_x\n_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_alpha 90\n"
       "_cell_angle_beta 190\n_cell_angle_gamma 90\n" +
           symmetry + kOneAtom,
       "test.cif:6: _cell_angle_beta 190 is not an angle between 0 and 180"},
      {"data_x\n_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_alpha 10\n"
       "_cell_angle_beta 10\n_cell_angle_gamma 120\n" +
           symmetry + kOneAtom,
       "make no cell"},
      {"data_x\n" + kCell + symmetry, "test.cif: no atoms: no data block lists atom sites"},
      {"data_x\n" + kCell + kOneAtom, "test.cif: data_x: no symmetry"},
      {"data_x\n" + kCell + "_space_group_name_H-M_alt 'P 7'\n" + kOneAtom,
       "test.cif:8: _space_group_name_H-M_alt 'P 7' is no space-group symbol"},
      {"data_x\n" + kCell + "loop_\n_space_group_symop_operation_xyz\nx,y,z\n-x,y,q\n" + kOneAtom,
       "test.cif:8: row 2 of the loop that starts here: _space_group_symop_operation_xyz '-x,y,q' cannot be "
       "read"},
      {"data_x\n" + kCell + symmetry + atoms_head + "Fe1 Fe3+ 0 0 0\nO1 O2- 0.5 ? 0.5\n",
       "test.cif:9: row 2 of the loop that starts here: atom 'O1': _atom_site_fract_y '?' is not a number"},
      {"data_x\n" + kCell + symmetry + atoms_head + "Q1 Qq 0 0 0\n",
       "atom 'Q1': type symbol 'Qq' names no chemical element"},
      {"data_x\n" + kCell + symmetry + atoms_head + "Fe1 Fe 0 0 0\n" +
           "loop_\n_atom_site_moment.label\n_atom_site_moment.crystalaxis_x\n_atom_site_moment.crystalaxis_"
           "y\n"
           "_atom_site_moment.crystalaxis_z\nFe2 1 0 0\n",
       "moment of 'Fe2': no atom site has that label"},
      {"data_x\n" + kCell + "_cell_wave_vector_x 0.1\n" + symmetry + kOneAtom, "incommensurate"},
  };
  for (const Case& c : cases) {
    const std::string message = failure_of(c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << "got: " << message << "\nwanted: " << c.message;
  }
}

TEST(ReadCif, TheFirstBlockWithAtomsIsReadUnlessOneIsNamed) {
  const std::string text = "data_global\n_journal_year 2001\ndata_first\n" + kCell +
                           "_space_group_name_H-M_alt 'P 1'\n" + kOneAtom + "data_second\n" + kCell +
                           "_space_group_name_H-M_alt 'P -1'\n" + kOneAtom;
  gemmi::cif::Document document = gemmi::cif::read_memory(text.data(), text.size(), "test.cif");
  Warnings warnings;
  EXPECT_EQ(velmora::cif::read_cif_structure(document, "", warnings).block, "first");
  EXPECT_TRUE(warned(warnings, "test.cif: data_second also lists atom sites; data_first is converted"));
  EXPECT_EQ(velmora::cif::read_cif_structure(document, "second", warnings).operations.size(), 2u);
  EXPECT_THROW(velmora::cif::read_cif_structure(document, "third", warnings), ConversionError);
}

// read_cif_file reads a file as saved by an editor that puts a byte-order
// mark first, with the line numbers of its messages unchanged.
TEST(ReadCifFile, AByteOrderMarkIsPassedOver) {
  const std::string body = "data_x\n" + kCell + "_space_group_name_H-M_alt 'P 1'\n" + kOneAtom;
  for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF")}) {
    const std::string path = testing::TempDir() + "velmora_cif_bom_" + std::to_string(prefix.size()) + ".cif";
    std::ofstream(path, std::ios::binary) << prefix << body;
    gemmi::cif::Document document = velmora::cif::read_cif_file(path);
    Warnings warnings;
    const CifStructure s = velmora::cif::read_cif_structure(document, "", warnings);
    EXPECT_EQ(s.block, "x");
    EXPECT_EQ(s.sites.size(), 1u);
    std::ofstream(path, std::ios::binary) << prefix << "data_x\n_cell_length_a 5.x\n" << kOneAtom;
    try {
      gemmi::cif::Document bad = velmora::cif::read_cif_file(path);
      velmora::cif::read_cif_structure(bad, "", warnings);
      ADD_FAILURE() << "no failure";
    } catch (const ConversionError& e) {
      EXPECT_NE(std::string(e.what()).find(path + ":2: _cell_length_a '5.x'"), std::string::npos) << e.what();
    }
    std::remove(path.c_str());
  }
}

}  // namespace
