// Choosing and evaluating a magnetic atom's form factor. The fits are summed
// in double from the stored float coefficients and rounded once to float,
// the value a structure-factor sum takes.
#include "magnetic/magnetic_form_model.hpp"

#include <cmath>
#include <cstdio>
#include <set>

#include "magnetic/lande_factor.hpp"

namespace velmora {
namespace {

// A Gaussians-and-constant fit A exp(-a s^2) + ... + D exp(-d s^2) + E.
double gaussian_fit(const std::array<float, 9>& c, double s2) {
  double sum = 0;
  for (int k = 0; k < 8; k += 2)
    sum += static_cast<double>(c[k]) * std::exp(-static_cast<double>(c[k + 1]) * s2);
  return sum + c[8];
}

// Rare earths and actinides (an open 4f or 5f shell), whose moments carry a
// large orbital part, by the element of an ion's name.
bool f_block(std::string_view ion) {
  static const std::set<std::string, std::less<>> elements = {
      "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu",
      "Ac", "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr"};
  std::size_t letters = 1;
  while (letters < ion.size() && ion[letters] >= 'a' && ion[letters] <= 'z') ++letters;
  return elements.count(ion.substr(0, letters)) != 0;
}

// Whether the ion's ground state has an orbital moment (L > 0), which <j0>
// alone leaves out; unknown ions are taken to have one.
bool orbital_moment(const MagneticIonTable& table, const std::string& name) {
  const auto rows = table.rows_of(name.substr(0, name.find(':')));
  if (rows.size() != 1) return true;
  const auto term = read_term(rows.front()->term);
  return !term || term->l > 0;
}

std::string spin_only_warning(const std::string& who, MagneticModel model) {
  return who + " is computed spin-only (<j0> alone), without the orbital part of its moment" +
         (model == MagneticModel::j0 ? " (" + std::string(kMagneticModelOption) + " dipole adds <j2>)" : "");
}

// The Landé factor of a moment of spin alone (the electron's 2.0023, as 2).
constexpr double kQuenchedLandeFactor = 2.0;

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

}  // namespace

std::optional<MagneticModel> magnetic_model_named(std::string_view name) {
  if (name == "j0") return MagneticModel::j0;
  if (name == "dipole") return MagneticModel::dipole;
  return std::nullopt;
}

std::string_view magnetic_model_name(MagneticModel model) {
  return model == MagneticModel::dipole ? "dipole" : "j0";
}

// The smallest Landé factor taken: its <j2> weight 2/g - 1 is then at most
// 199, far beyond any ion's, and keeps |Fm|^2 within single precision (a g of
// 1e-30 gave a weight of 2e30 and NaN in every magnetic row).
constexpr double kSmallestLandeFactor = 0.01;

std::optional<std::string> lande_factor_fault(double g) {
  if (std::isfinite(g) && g >= kSmallestLandeFactor) return std::nullopt;
  return "a Lande factor is a number above 0 (such as 2), at least 0.01 (a weight 2/g - 1 of <j2> up to 199)";
}

std::optional<std::string> g_model_fault(bool g_given, MagneticModel model) {
  if (!g_given || model == MagneticModel::dipole) return std::nullopt;
  return "the j0 model has no orbital part to weigh";
}

float MagneticForm::at(float s) const {
  const double s2 = static_cast<double>(s) * s;
  double f = gaussian_fit(own_j0 ? *own_j0 : ion->j0, s2);
  if (j2_weight != 0) f += j2_weight * s2 * gaussian_fit(ion->j2, s2);
  return static_cast<float>(f);
}

MagneticFormChooser::MagneticFormChooser(MagneticModel model, std::filesystem::path tables_folder)
    : model_(model), tables_folder_(std::move(tables_folder)) {}

const MagneticIonTable& MagneticFormChooser::table() {
  if (!table_) {
    const std::filesystem::path path = find_magnetic_ion_file(tables_folder_);
    if (path.empty())
      throw MagneticModelError(std::string(kMagneticIonFileName) + ": not in " + tables_folder_.string() +
                               " nor in velmora's data folders (it ships in data/)");
    table_ = std::make_unique<MagneticIonTable>(read_magnetic_ion_table(path));
  }
  return *table_;
}

MagneticForm MagneticFormChooser::form_of(const MagneticAtom& atom, std::vector<std::string>& warnings) {
  if (model_ == MagneticModel::j0 && atom.in_velmora_table && !atom.named) {
    if (f_block(atom.ion) && orbital_moment(table(), atom.ion))
      warnings.push_back(spin_only_warning(atom.ion, model_));
    return {};
  }
  const MagneticIon& ion = table().named(atom.ion);
  MagneticForm form{&ion, 0, std::nullopt, std::nullopt};
  const std::string who = ion.label + " (" + ion.configuration + ", " + ion.term + ")";
  if (model_ == MagneticModel::j0) {
    if (atom.g)
      throw MagneticModelError("--g for " + ion.label + " needs " + std::string(kMagneticModelOption) +
                               " dipole: the j0 model has no orbital part to weigh");
    warnings.push_back((atom.in_velmora_table ? ion.label + " as named: "
                                              : "velmora's <j0> table has no " + ion.label + ": ") +
                       "its <j0>" + (ion.several ? " (" + ion.name() + ")" : std::string()) + " from " +
                       std::string(kMagneticIonFileName) + " (" + ion.source + ") is used");
  } else {
    bool spin_only_said = false;
    if (atom.g) {
      form.g = atom.g;
    } else if (const auto term = read_term(ion.term); term && !f_block(ion.label)) {
      // A crystal field quenches the orbital moment of a d ion: its moment is
      // spin only, g = 2, whatever its free-ion term (Cr3+ 4F3/2 has g = 2/5,
      // which would weigh <j2> by 4 and |Fm|^2 many times too large).
      form.g = kQuenchedLandeFactor;
      // An S-state ion (L = 0: Mn2+, Fe3+) has g = 2 free as well: nothing to say.
      if (const auto free_ion = lande_factor(*term); term->l > 0)
        warnings.push_back(who + ": g = 2, its orbital moment quenched by the crystal (free-ion g " +
                           (free_ion ? number_text(*free_ion) : std::string("undefined, J = 0")) +
                           "; give another with --g NAME=G)");
    } else if (term) {
      form.g = lande_factor(*term);
      if (!form.g) {
        warnings.push_back(who +
                           " has J = 0 and no Landé factor: its form factor is <j0> alone, spin-only"
                           " (give g with --g NAME=G)");
        spin_only_said = true;
      }
    } else {
      throw MagneticModelError(table().path + ": " + ion.label + ": the term '" + ion.term +
                               "' cannot be read");
    }
    if (form.g) form.j2_weight = 2.0 / *form.g - 1.0;
    if (atom.own_j0 && !atom.named) {
      const std::array<float, 7>& m = *atom.own_j0;
      form.own_j0 = std::array<float, 9>{m[0], m[1], m[2], m[3], m[4], m[5], 0.0f, 0.0f, m[6]};
    }
    if (spin_only_said) return form;  // Eu3+ (J = 0): said once
  }
  if (f_block(ion.label) && form.j2_weight == 0 && orbital_moment(table(), atom.ion))
    warnings.push_back(spin_only_warning(who, model_));
  return form;
}

std::string MagneticFormChooser::describe(MagneticModel model, const std::vector<MagneticForm>& forms) {
  std::string ions;
  std::set<std::string> named;
  for (const MagneticForm& form : forms) {
    if (!form.ion) continue;
    std::string text = form.ion->name();
    if (model == MagneticModel::dipole) {
      text += form.g ? " g=" + number_text(*form.g) : " spin-only";
      if (form.own_j0) text += " (<j0> velmora's)";
    }
    if (named.insert(text).second) ions += (ions.empty() ? "" : ", ") + text;
  }
  if (ions.empty()) return "";
  return model == MagneticModel::dipole ? "|Fm|^2 in the dipole approximation <j0> + (2/g - 1) <j2> (" +
                                              std::string(kMagneticIonFileName) +
                                              ", <j0> from velmora's table where it has the ion): " + ions
                                        : "|Fm|^2 with <j0> from velmora's table, and from " +
                                              std::string(kMagneticIonFileName) + " for " + ions;
}

}  // namespace velmora
