// 1 barn is 1e-8 square angstroms and 1 mm 1e7 angstroms: mu in 1/mm is
// sum(n sigma[barn]) / V[A^3] times 1e-8 x 1e7 = 0.1.
#include "absorption/linear_absorption.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/atom_names.hpp"
#include "tables/symbol.hpp"

namespace velmora {
namespace {

// The classical electron radius, angstroms (CODATA 2018).
constexpr double kElectronRadius = 2.8179403262e-5;
constexpr double kBarnPerSquareAngstrom = 1e8;

}  // namespace

std::vector<ElementCount> cell_content(const Crystal& crystal, const IsotopeChoices& isotopes) {
  std::vector<ElementCount> content;
  for (const CrystalAtom& atom : crystal.atoms) {
    const CrystalSite& site = crystal.site_of(atom);
    const std::string* isotope = isotope_chosen(site, isotopes);
    const std::string element = isotope != nullptr     ? *isotope
                                : site.element.empty() ? label_element(trimmed_text_of(site.atype))
                                                       : site.element;
    auto known = std::find_if(content.begin(), content.end(),
                              [&element](const ElementCount& c) { return c.element == element; });
    if (known == content.end()) known = content.insert(content.end(), {element, 0});
    known->atoms += site.occ;
  }
  return content;
}

double cell_volume(const CellParameters& cell) {
  const double radian = std::numbers::pi / 180;
  const double ca = std::cos(cell[3] * radian), cb = std::cos(cell[4] * radian),
               cg = std::cos(cell[5] * radian);
  return cell[0] * cell[1] * cell[2] * std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
}

double photoabsorption_cross_section(double fpp, double wavelength) {
  return 2 * kElectronRadius * wavelength * fpp * kBarnPerSquareAngstrom;
}

double linear_coefficient(const std::vector<ElementCount>& content, const std::vector<double>& sigma,
                          double volume) {
  double sum = 0;
  for (std::size_t i = 0; i < content.size(); ++i) sum += content[i].atoms * sigma[i];
  return 0.1 * sum / volume;
}

}  // namespace velmora
