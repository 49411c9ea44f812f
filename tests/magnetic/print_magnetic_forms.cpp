// Prints the form factor the companions' dipole model gives, for checking
// against independent evaluations: arguments TABLE S1,S2,... then ions as
// NAME (g from the term) or NAME=G; one line per ion, its values at each s.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "magnetic/magnetic_form_model.hpp"

int main(int argc, char** argv) {
  using namespace velmora;
  if (argc < 4) return 2;
  const std::filesystem::path table = argv[1];
  std::vector<float> s;
  std::istringstream list(argv[2]);
  for (std::string item; std::getline(list, item, ',');) s.push_back(std::strtof(item.c_str(), nullptr));
  MagneticFormChooser chooser(MagneticModel::dipole, table.parent_path());
  std::vector<std::string> warnings;
  for (int i = 3; i < argc; ++i) {
    std::string name = argv[i];
    MagneticAtom atom;
    if (const auto equals = name.find('='); equals != std::string::npos) {
      atom.g = std::strtod(name.c_str() + equals + 1, nullptr);
      name.resize(equals);
    }
    atom.ion = name;
    MagneticForm form;
    try {
      form = chooser.form_of(atom, warnings);
    } catch (const MagneticModelError& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    std::printf("%s", name.c_str());
    for (float at : s) std::printf(" %.9g", form.at(at));
    std::printf("\n");
  }
  return 0;
}
