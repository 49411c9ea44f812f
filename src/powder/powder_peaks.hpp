// Powder peaks of a Debye-Scherrer measurement: each reflection's 2-theta at
// the wavelength from Bragg's law and its integrated intensities, the squared
// moduli times the Lorentz factor (and, for X-rays, the polarisation factor of
// the beam, unpolarised unless told otherwise). The multiplicity is the list's own: every listed h k l
// is one peak, so a list with all equivalents gives the powder average.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "powder/beam_polarisation.hpp"
#include "powder/powder_error.hpp"
#include "powder/radiation_source.hpp"
#include "powder/sample_absorption.hpp"
#include "scattering/structure_factors.hpp"

namespace velmora::powder {

struct PowderPeak {
  Reflection h{};
  float d = 0;
  float two_theta = 0;  // degrees
  float tan_theta = 0;
  float wavelength = 0;                                  // angstroms, of the source line the peak belongs to
  float fn_squared = 0, fm_squared = 0, fx_squared = 0;  // as velmora computes them
  float nuclear = 0, magnetic = 0, xray = 0;             // integrated intensities
};

// Whether an intensity makes a peak: above a millionth of the strongest of
// its kind. Below that lies only the rounding left of an extinct reflection.
inline bool observable(float intensity, float strongest) { return intensity > 1e-6f * strongest; }

// The peaks of the reflections within reach of the wavelength (angstroms), in
// list order. Notes the reflections left out (beyond reach, and 0 0 0, the
// direct beam).
std::vector<PowderPeak> powder_peaks(const std::vector<ReflectionValues>& values, double wavelength,
                                     Remarks& remarks);

// The peaks of every source line, in line order, the integrated intensities
// times the line's ratio. Remarks about the list come once, from the first line.
std::vector<PowderPeak> source_peaks(const std::vector<ReflectionValues>& values,
                                     const std::vector<SourceLine>& lines, Remarks& remarks,
                                     Polarisation polarisation = {}, const SampleAbsorption& absorption = {});

// The peaks of reflections handed over one at a time, for every source line,
// so that the values of millions of reflections need not be held. What
// finish gives is what source_peaks gives for the same values. Given on_peak,
// each peak goes there as it is made instead of being kept (one source line
// only: the lines' peaks are listed line after line). The X-ray intensities
// carry the polarisation factor of the beam, and the radiation the sample's
// absorption is given for its transmission factor.
class PeakCollector {
 public:
  explicit PeakCollector(const std::vector<SourceLine>& lines,
                         std::function<void(const PowderPeak&)> on_peak = nullptr,
                         Polarisation polarisation = {}, SampleAbsorption absorption = {});
  void reserve(std::size_t reflections);  // room for the first line's peaks
  void add(const ReflectionValues& v);
  // The values for one line alone, computed at its wavelength (X-ray
  // dispersion); line 0's values count for the notes.
  void add(const ReflectionValues& v, std::size_t line);
  // Every line's peaks, in line order; the notes about the list (0 0 0 left
  // out, beyond reach, none in reach) as the first line finds them.
  std::vector<PowderPeak> finish(Remarks& remarks);

 private:
  std::vector<SourceLine> lines_;
  Polarisation polarisation_;
  SampleAbsorption absorption_;
  std::vector<std::vector<PowderPeak>> peaks_;  // one list a line
  std::function<void(const PowderPeak&)> on_peak_;
  std::size_t values_ = 0, direct_ = 0, beyond_ = 0;
  float largest_d_ = 0;
  bool any_peak_ = false;  // one went to on_peak_
};

// Warns when h k l are listed without -h -k -l.
void check_friedel_mates(const std::vector<Reflection>& hkl, Remarks& remarks);

}  // namespace velmora::powder
