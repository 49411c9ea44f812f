// The polarisation factor of X-rays scattered through 2-theta. A tube's beam
// is unpolarised; a crystal monochromator or a synchrotron polarises it, and
// the factor then depends on the share of the beam polarised perpendicular to
// the diffraction plane, the one value this keeps.
#pragma once

namespace velmora::powder {

// Thomson scattering keeps the component polarised perpendicular to the
// diffraction plane whole and multiplies the one within it by cos 2theta in
// amplitude (Warren, X-ray Diffraction, 1969, sect. 1.2), so a beam whose
// intensity is the fraction f perpendicular gives
//   P(2theta) = f + (1 - f) cos^2 2theta.
// f = 1/2 is the unpolarised beam, (1 + cos^2 2theta) / 2. It is the
// polarised fraction POLA of GSAS with IPOLA = 0 (Larson & Von Dreele, GSAS,
// LAUR 86-748, 2004: POLA 0.5 for no polarisation, 1 for the perfect
// polarisation of synchrotron radiation diffracted in the vertical plane).
// Azaroff's factor for a mosaic monochromator at 2theta_m in the same plane
// (Acta Cryst. 8 (1955) 701), (1 + K cos^2 2theta) / (1 + K) with
// K = cos^2 2theta_m (GSAS's POLA with IPOLA = 1), is the same with
// f = 1 / (1 + K).
struct Polarisation {
  double perpendicular = 0.5;  // the fraction f, from 0 to 1

  static Polarisation of_monochromator(double k) { return {1.0 / (1.0 + k)}; }
  bool unpolarised() const { return perpendicular == 0.5; }
  // For f = 1/2 this is (1 + c^2) / 2 to the last bit: both halve the one
  // rounding of 1 + c^2.
  double factor(double cos_two_theta) const {
    return perpendicular + (1.0 - perpendicular) * (cos_two_theta * cos_two_theta);
  }
};

}  // namespace velmora::powder
