// velmora-powder's options: the answer file or CIF, the wavelengths, the
// tables, the 2-theta grid, the peak shape, the radiation and its
// polarisation, a measured pattern to fit and the outputs.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dispersion/dispersion_model.hpp"
#include "magnetic/magnetic_form_model.hpp"
#include "powder/beam_polarisation.hpp"
#include "powder/excluded_ranges.hpp"
#include "powder/powder_profile.hpp"
#include "powder/radiation_source.hpp"
#include "powder/sample_absorption.hpp"
#include "rietveld/refine_choice.hpp"

namespace velmora::powder {

enum class Axis { two_theta, d, q };

struct PowderOptions {
  std::string answers;               // an answer file, or a CIF (.cif, .mcif)
  std::vector<SourceLine> lines;     // from --wavelength or --source
  std::string source;                // the tube anode, when named
  std::string instrument;            // the instrument parameter file, when given
  std::string tables;                // empty: see powder_tables_folder
  std::optional<TwoThetaGrid> grid;  // empty: default_grid
  PeakWidth width;
  Radiation radiation = Radiation::neutron;  // what the plot, the fit and --xy show
  Polarisation polarisation;                 // of the X-ray beam
  std::string csv, reflections, plot;        // empty: not written
  std::string xy;                            // "-": standard output
  std::string observed, fit_report;
  std::string refined_cif;  // the refined structure as a CIF
  std::string html;         // the report to open in a browser
  int background_terms = 6;
  double zero_range = 1.0;  // degrees each side searched for the zero shift
  double zero_centre = 0;   // degrees, the middle of that search (an instrument file's zero)
  // S/L and H/L of an instrument file's profile: where a refined axial divergence starts
  std::array<double, 2> axial{};
  // --refine: the groups refined by least squares after the fit of scale, zero
  // and background that starts them; none: that fit alone, as before
  std::optional<rietveld::RefineChoice> refine;
  // --phase: further phases of a mixture (CIF or answer file), each with its
  // own scale, cell and peak widths in the fit
  std::vector<std::string> phases;
  // --exclude: ranges of 2theta whose measured points the fit leaves out
  std::vector<ExcludedRange> excluded;
  Axis axis = Axis::two_theta;
  int labels = 0;           // hkl labels on the strongest peaks of the plot
  bool answer_hkl = false;  // the answer file's own reflections instead of the cell's
  std::optional<double> dmin;
  std::string block;                        // a CIF's data block
  MagneticModel model = MagneticModel::j0;  // --magnetic-model
  std::map<std::string, double> g;          // --g NAME=G, by label or element
  // --ion NAME=ION: for a CIF, velmora-cif's --ion; for an answer file, the
  // ion-table ion of an answer label's magnetic atoms, named by label or element
  std::map<std::string, std::string> ions;
  // f' and f'' in the X-ray sums (--dispersion), at each source line's wavelength
  DispersionModel dispersion = DispersionModel::none;
  // --isotope NAME=ISOTOPE: the neutron length of an isotope for the atoms of an element or site
  std::map<std::string, std::string> isotopes;
  // --absorption, --packing, --radius: a cylindrical sample's absorption
  AbsorptionChoice absorption;
};

}  // namespace velmora::powder
