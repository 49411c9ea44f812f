// The companions' magnetic form factor of each magnetic atom. Two models,
// chosen with --magnetic-model: j0 (the default), velmora's own <j0> row
// wherever velmora's table has the ion, so that the numbers are velmora's,
// and the <j0> of the ion table for an ion velmora lacks; and dipole, the
// dipole approximation f = <j0> + (2/g - 1) <j2> for every magnetic atom, g
// from the ion's ground-state term unless the user gives it.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "magnetic/magnetic_ion_table.hpp"

namespace velmora {

enum class MagneticModel { j0, dipole };

// One option name in every companion, and its values.
inline constexpr std::string_view kMagneticModelOption = "--magnetic-model";
std::optional<MagneticModel> magnetic_model_named(std::string_view name);
std::string_view magnetic_model_name(MagneticModel model);

// Why g is no Landé factor for the dipole model (it must be a finite number
// of at least 0.01), or nothing when it is one.
std::optional<std::string> lande_factor_fault(double g);

// Why a model cannot take Landé factors (only the dipole model has an
// orbital part), or nothing.
std::optional<std::string> g_model_fault(bool g_given, MagneticModel model);

// The form factor of one magnetic atom.
struct MagneticForm {
  const MagneticIon* ion = nullptr;  // nullptr: velmora's own <j0> row of the atom's label
  double j2_weight = 0;              // 2/g - 1; 0 for <j0> alone
  std::optional<double> g;           // the Landé factor used (dipole model)
  // Under the dipole model, velmora's own <j0> row of the ion (as the ion
  // table writes a fit: A a B b C c D d E), which takes the place of the ion
  // table's <j0>; <j2> is the ion table's.
  std::optional<std::array<float, 9>> own_j0;

  // f(s) = <j0>(s) + j2_weight <j2>(s), s = sin(theta)/lambda; needs an ion.
  float at(float s) const;
  bool operator==(const MagneticForm& other) const {
    return ion == other.ion && j2_weight == other.j2_weight && own_j0 == other.own_j0;
  }
};

// What a companion knows of one magnetic atom.
struct MagneticAtom {
  std::string ion;                // name in the ion table: Fe3, Fe0, W0:6s1
  bool in_velmora_table = false;  // velmora's <j0> table has the atom's label
  std::optional<double> g;        // given by the user
  bool named = false;             // the user named the ion: the ion table's row even under j0
  // velmora's <j0> coefficients of the atom's label (m1 ... m7), when its table has it: the
  // dipole model keeps them unless the user names the ion.
  std::optional<std::array<float, 7>> own_j0;
};

// The chosen model and the ion table, read on first need: a run whose
// magnetic atoms all have velmora's rows under the j0 model never reads it.
class MagneticFormChooser {
 public:
  MagneticFormChooser(MagneticModel model, std::filesystem::path tables_folder);

  // The form of an atom; what the user should know about it goes to
  // warnings, one line per cause. A name the table lacks, or one of several
  // configurations not chosen, fails with MagneticModelError.
  MagneticForm form_of(const MagneticAtom& atom, std::vector<std::string>& warnings);

  MagneticModel model() const { return model_; }

  // The ion table, read on first use (fails with MagneticModelError when it
  // cannot be found or read).
  const MagneticIonTable& table();

  // One line for the report: the model and, for every ion it took from the
  // ion table, its name (and g); empty when every form is velmora's own.
  static std::string describe(MagneticModel model, const std::vector<MagneticForm>& forms);

 private:
  MagneticModel model_;
  std::filesystem::path tables_folder_;
  std::unique_ptr<MagneticIonTable> table_;
};

}  // namespace velmora
