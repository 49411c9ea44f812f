// The absorption of a Debye-Scherrer sample as the peaks take it: every peak's
// integrated intensity of the radiation measured times the cylinder's
// transmission A(theta; mu R) at its Bragg angle (absorption/cylinder_absorption.hpp).
// A is the transmission itself, at most 1, as Rietveld programs multiply their
// peaks by it: the scale of a fit takes its constant part, the angle's part
// stays. A flat plate in Bragg-Brentano reflection needs none: its absorption
// is the same at every angle (a constant the scale absorbs), and its
// transparency moves peaks by the refinable sin 2theta term.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "powder/radiation_source.hpp"

namespace velmora {
struct Crystal;
}

namespace velmora::powder {

// --absorption as given: mu R, or auto with the packing fraction and the
// capillary's radius from which mu R is computed.
struct AbsorptionChoice {
  std::optional<double> mu_r;             // --absorption MUR
  bool automatic = false;                 // --absorption auto
  std::optional<double> packing, radius;  // --packing F (0 < F <= 1), --radius R (mm)
  bool given() const { return mu_r || automatic; }
};

// How a program calls the choice's parts in its messages.
struct AbsorptionNames {
  std::string absorption = "--absorption", packing = "--packing", radius = "--radius";
  std::string radiation = "--radiation", phase = "--phase";
};

// The choice read from the text of --absorption (MUR or auto); a text that is
// neither is a fault named by the option, as is a negative mu R.
std::optional<std::string> absorption_text_fault(const std::string& text, AbsorptionChoice& choice,
                                                 const AbsorptionNames& names = {});

// Why the choice cannot be used with the radiation and the number of phases:
// --packing or --radius without auto, auto without them, a packing outside
// (0, 1], a radius not above 0, both radiations, auto for a mixture; none when
// it can.
std::optional<std::string> absorption_choice_fault(const AbsorptionChoice& choice, Radiation radiation,
                                                   bool mixture, const AbsorptionNames& names = {});

// The factor's parameter and the columns it applies to.
struct SampleAbsorption {
  double mu_r = 0;                 // 0: every factor 1
  bool xray = false;               // the X-ray column, else the neutron ones
  std::optional<double> mu;        // auto: the crystal's linear coefficient, 1/mm
  double packing = 0, radius = 0;  // auto: what mu R = packing x mu x radius took (radius in mm)
  std::string text;                // for the model lines; empty: none asked for
};

// The absorption of the choice for the crystal at the wavelength (angstroms):
// auto computes mu from the cell's content and the cross-sections of each
// element (Sears 1992 for neutrons, sigma_a = 2 r_e lambda f'' with gemmi's
// Cromer-Liberman f'' for X-rays), an element without them ending the run.
// For neutrons an isotope chosen (--isotope) takes its own cross-sections.
SampleAbsorption sample_absorption(const AbsorptionChoice& choice, const Crystal& crystal,
                                   Radiation radiation, double wavelength,
                                   const std::map<std::string, std::string>& isotopes = {},
                                   const AbsorptionNames& names = {});

}  // namespace velmora::powder
