// The choice of --absorption checked, and mu R made from it.
#include "powder/sample_absorption.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

#include "absorption/cylinder_absorption.hpp"
#include "absorption/linear_absorption.hpp"
#include "absorption/neutron_cross_sections.hpp"
#include "model/crystal.hpp"
#include "powder/number_text.hpp"
#include "powder/powder_error.hpp"
#ifdef VELMORA_POWDER_DISPERSION
#include "dispersion/xray_dispersion.hpp"
#endif

namespace velmora::powder {
namespace {

std::string number(double v) { return shortest_text(static_cast<float>(v)); }

constexpr const char* kApproximation = "Debye-Scherrer cylinder, Lobanov & alte da Veiga 1998";

// Each element's cross-section (barn) at the wavelength.
std::vector<double> cross_sections(const std::vector<ElementCount>& content, bool xray, double wavelength,
                                   const std::string& option) {
  std::vector<double> sigma;
  for (const ElementCount& c : content) {
    if (xray) {
#ifdef VELMORA_POWDER_DISPERSION
      const ElementDispersion d = element_dispersion(c.element == "D" ? "H" : c.element, wavelength);
      if (!d.computed)
        fail_powder(option + " auto: " + c.element +
                    " has no f'' (the Cromer-Liberman calculation stops at uranium); give mu R");
      sigma.push_back(photoabsorption_cross_section(d.fpp, wavelength));
#else
      fail_powder(option +
                  " auto for X-rays: this program was built without f'' (gemmi's Cromer-Liberman"
                  " calculation, Debian: gemmi-dev); give mu R");
#endif
    } else {
      const NeutronCrossSection* row = neutron_cross_section(c.element);
      if (row == nullptr)
        fail_powder(option + " auto: " + (c.element.empty() ? "an atom of no element" : c.element) +
                    " has no neutron cross-sections in the table (Sears 1992); give mu R");
      sigma.push_back(neutron_attenuation(*row, wavelength));
    }
  }
  return sigma;
}

}  // namespace

std::optional<std::string> absorption_text_fault(const std::string& text, AbsorptionChoice& choice,
                                                 const AbsorptionNames& names) {
  if (text == "auto") {
    choice.automatic = true;
    return std::nullopt;
  }
  double v = 0;
  const auto read = std::from_chars(text.data(), text.data() + text.size(), v);
  if (read.ec != std::errc() || read.ptr != text.data() + text.size())
    return names.absorption + " " + text + ": give mu R (a number) or auto";
  if (const auto fault = mu_r_fault(v)) return names.absorption + " " + text + ": " + *fault;
  choice.mu_r = v;
  return std::nullopt;
}

std::optional<std::string> absorption_choice_fault(const AbsorptionChoice& choice, Radiation radiation,
                                                   bool mixture, const AbsorptionNames& names) {
  const std::string& a = names.absorption;
  for (const auto& [value, name] :
       {std::pair{&choice.packing, &names.packing}, {&choice.radius, &names.radius}})
    if (*value && !choice.automatic)
      return *name + " needs " + a + " auto: mu R is computed from the packing and the radius";
  if (!choice.given()) return std::nullopt;
  if (radiation == Radiation::both)
    return a + ": mu R belongs to one radiation; choose " + names.radiation + " neutron or xray";
  if (!choice.automatic) return std::nullopt;
  if (!choice.packing || !choice.radius)
    return a + " auto needs " + names.packing + " F (the powder's packing fraction) and " + names.radius +
           " R (the capillary's inner radius, mm): mu R = F x mu x R";
  if (!(*choice.packing > 0 && *choice.packing <= 1))
    return names.packing + " " + number(*choice.packing) +
           ": the packing fraction must be above 0 and at most 1";
  if (!(*choice.radius > 0 && *choice.radius <= 100))
    return names.radius + " " + number(*choice.radius) + ": the radius must be above 0 and at most 100 mm";
  if (mixture)
    return a + " auto and " + names.phase + ": a mixture's mu depends on its phases' fractions; give mu R";
  return std::nullopt;
}

SampleAbsorption sample_absorption(const AbsorptionChoice& choice, const Crystal& crystal,
                                   Radiation radiation, double wavelength,
                                   const std::map<std::string, std::string>& isotopes,
                                   const AbsorptionNames& names) {
  SampleAbsorption out;
  out.xray = radiation == Radiation::xray;
  if (!choice.given()) return out;
  const std::string on = out.xray ? " on the X-ray intensities" : " on the neutron intensities";
  if (!choice.automatic) {
    out.mu_r = *choice.mu_r;
    out.text = "absorption: mu R " + number(out.mu_r) + " (" + kApproximation + ")" + on;
    return out;
  }
  const std::vector<ElementCount> content = cell_content(crystal, out.xray ? IsotopeChoices{} : isotopes);
  const std::vector<double> sigma = cross_sections(content, out.xray, wavelength, names.absorption);
  out.mu = linear_coefficient(content, sigma, cell_volume(crystal.cell));
  out.packing = *choice.packing;
  out.radius = *choice.radius;
  out.mu_r = *out.mu * out.packing * out.radius;
  if (const auto fault = mu_r_fault(out.mu_r))
    fail_powder(names.absorption + " auto: mu R = " + number(*out.mu) + "/mm x packing " +
                number(*choice.packing) + " x " + number(*choice.radius) + " mm = " + number(out.mu_r) +
                ": " + *fault + "; a thinner capillary lowers it");
  out.text = "absorption: mu R " + number(out.mu_r) + " = mu " + number(*out.mu) + "/mm x packing " +
             number(*choice.packing) + " x radius " + number(*choice.radius) +
             " mm, mu from the cell's content" +
             (out.xray ? " (sigma_a = 2 r_e lambda f'', Cromer-Liberman)"
              : std::any_of(content.begin(), content.end(),
                            [](const ElementCount& c) { return std::isdigit(c.element[0]) != 0; })
                  ? " (Sears 1992 cross-sections, the isotopes' of the Neutron Data Booklet 2003)"
                  : " (Sears 1992 cross-sections)") +
             " at " + number(wavelength) + " Å (" + kApproximation + ")" + on;
  return out;
}

}  // namespace velmora::powder
