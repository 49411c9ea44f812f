// The linear absorption coefficient of a crystal from its composition:
// mu = sum over the atoms of the cell of occupancy x cross-section / cell volume,
// the attenuation of the beam per length of the crystal itself; a powder of
// packing fraction F attenuates F mu.
#pragma once

#include <string>
#include <vector>

#include "model/crystal.hpp"
#include "nuclear/neutron_corrections.hpp"

namespace velmora {

// The cell's content by element: occupancies summed over the atoms of the
// whole cell, each element once, in atom order. The element is the site's, or
// its atom type's leading symbol (model/atom_names.hpp); D stays D. With
// isotopes, an atom of a site one is chosen for counts as that isotope (11B).
struct ElementCount {
  std::string element;  // or an isotope
  double atoms = 0;
};
std::vector<ElementCount> cell_content(const Crystal& crystal, const IsotopeChoices& isotopes = {});

// The cell's volume in cubic angstroms.
double cell_volume(const CellParameters& cell);

// The photoabsorption cross-section of an atom from its f'' by the optical
// theorem, sigma_a = 2 r_e lambda f'' (James, The Optical Principles of the
// Diffraction of X-rays, 1948, ch. IV; International Tables C, sect. 4.2.6),
// in barn for the wavelength in angstroms.
double photoabsorption_cross_section(double fpp, double wavelength);

// mu in 1/mm of cross-sections (barn, one an atom) of counts of atoms in a
// cell of the volume (cubic angstroms).
double linear_coefficient(const std::vector<ElementCount>& content, const std::vector<double>& sigma,
                          double volume);

}  // namespace velmora
