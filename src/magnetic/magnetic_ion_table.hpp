// The companions' table of magnetic form factors, magnetic_form_factors.csv:
// the radial integrals <j0> and <j2> of 154 atoms and ions as fits of four
// Gaussians and a constant, with each one's configuration, ground-state term
// and source. velmora itself never reads it.
#pragma once

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

inline constexpr std::string_view kMagneticIonFileName = "magnetic_form_factors.csv";

// A fault of the magnetic model (its file, an ion named, an option): the
// message says what and where; each companion reports it as its own error.
struct MagneticModelError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct MagneticIon {
  std::string label;          // element and charge digit, no sign: Fe3, Ir4, W0
  std::string configuration;  // as the file writes it: 3d⁵, 6s¹5d⁵
  std::string term;           // ground state of the free ion: 6S5/2
  std::string source;
  // A a B b C c D d E, in file order; <j2> is s^2 times its sum.
  std::array<float, 9> j0{}, j2{};
  bool several = false;  // the label has fits for several configurations

  // label:configuration, the configuration's digits written plainly
  // (W0:6s1-5d5); the label alone where it has one configuration.
  std::string name() const;
};

struct MagneticIonTable {
  std::string path;  // as messages name it
  std::vector<MagneticIon> ions;

  // The rows of a label (several for W0, Re0 ...), in file order.
  std::vector<const MagneticIon*> rows_of(std::string_view label) const;

  // The ion a name gives: a label with one row, or a label and the start of
  // one configuration (W0:6s1, Ir1:6s0); fails naming the names that would do.
  const MagneticIon& named(std::string_view name) const;
};

// Reads the file; a missing file or a row that is not 22 fields of the kind
// the header names fails, naming the file and the line.
MagneticIonTable read_magnetic_ion_table(const std::filesystem::path& path);
MagneticIonTable parse_magnetic_ion_table(const std::string& text, const std::string& name);

// Where the file is: in the tables' folder when it is there, else in the
// first of velmora's data folders that holds it; empty when none does.
std::filesystem::path find_magnetic_ion_file(const std::filesystem::path& tables_folder);

}  // namespace velmora
