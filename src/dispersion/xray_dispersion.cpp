// The wavelength becomes a photon energy by E = hc / lambda (gemmi's hc), the
// element of an atom type its leading symbol (model/atom_names.hpp).
#include "dispersion/xray_dispersion.hpp"

#include <algorithm>
#include <cstdio>
#include <gemmi/elem.hpp>
#include <gemmi/fprime.hpp>
#include <gemmi/math.hpp>

#include "model/atom_names.hpp"

namespace velmora {
namespace {

// The highest atomic number gemmi's orbital tables hold.
constexpr int kLastElement = 92;

std::string four_decimals(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", v);
  return text;
}

}  // namespace

ElementDispersion element_dispersion(const std::string& element, double wavelength) {
  ElementDispersion d{element};
  const gemmi::Element el(element.c_str());
  const int z = el.atomic_number();
  if (el.elem == gemmi::El::X || z > kLastElement) {
    d.computed = false;
    return d;
  }
  d.fp = gemmi::cromer_liberman(z, gemmi::hc() / wavelength, &d.fpp);
  return d;
}

XrayDispersion xray_dispersion(const Structure& structure, double wavelength) {
  XrayDispersion out;
  for (const AtomSite& atom : structure.atoms) {
    const std::string element = label_element(text_of(atom.atype));
    auto known = std::find_if(out.elements.begin(), out.elements.end(),
                              [&element](const ElementDispersion& e) { return e.element == element; });
    if (known == out.elements.end()) {
      out.elements.push_back(element_dispersion(element, wavelength));
      known = out.elements.end() - 1;
    }
    out.corrections.xray.emplace_back(known->fp, known->fpp);
  }
  return out;
}

std::string dispersion_text(const XrayDispersion& d, double wavelength) {
  std::string text = "f' f'' Cromer-Liberman (gemmi) at " + four_decimals(wavelength) + " Å:";
  std::string missing;
  for (std::size_t i = 0; i < d.elements.size(); ++i) {
    const ElementDispersion& e = d.elements[i];
    if (!e.computed) {
      missing += (missing.empty() ? "" : ", ") + e.element;
      continue;
    }
    text += (text.back() == ':' ? " " : ", ") + e.element + " " + four_decimals(e.fp) + " " +
            four_decimals(e.fpp) + "i";
  }
  if (!missing.empty()) text += "; none for " + missing + " (taken as 0)";
  return text;
}

}  // namespace velmora
