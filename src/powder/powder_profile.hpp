// The powder pattern on a 2-theta grid: every peak a profile of unit area
// times its integrated intensity, summed point by point in list order. The
// profile is a Gaussian whose full width at half maximum is constant or
// follows Caglioti's law, or a Thompson-Cox-Hastings pseudo-Voigt.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "powder/peak_shape.hpp"
#include "powder/powder_error.hpp"
#include "powder/powder_peaks.hpp"

namespace velmora::powder {

// Points from, from + step, ... up to to (within a millionth of a step), degrees.
struct TwoThetaGrid {
  double from = 0, to = 0, step = 0;
  std::size_t points() const;
  double at(std::size_t i) const { return from + static_cast<double>(i) * step; }
};

// The widths a peak may have, in degrees of 2-theta: narrower, its height
// overflows single precision and no grid resolves it; wider, it is no peak.
inline constexpr double kNarrowestFwhm = 1e-4, kWidestFwhm = 180;

// The width a fit takes when it is given none, in degrees of 2-theta: about
// the narrowest of a laboratory X-ray diffractometer (Bragg-Brentano, Cu
// K-alpha: 0.05 to 0.1 degrees; Cline et al., J. Res. NIST 120 (2015) 173),
// and of a high-resolution constant-wavelength neutron diffractometer (ILL
// D1A: some 0.3 degrees at its best, Hewat & Bailey, Nucl. Instrum. Methods
// 137 (1976) 463; the PbSO4 round robin's U V W give 0.29 at their minimum).
inline constexpr double kLaboratoryXrayFwhm = 0.1, kNeutronFwhm = 0.3;

// Full width at half maximum in degrees of 2-theta: a constant, or from
// Caglioti's law FWHM^2 = U tan^2 theta + V tan theta + W.
struct PeakWidth {
  double fwhm = 0.3;
  std::optional<std::array<double, 3>> caglioti;  // U, V, W in degrees squared
  std::optional<TchParameters> tch;               // a pseudo-Voigt instead of a Gaussian
  std::string given_by;  // what gave the law, as messages name it; empty: --caglioti or --tch

  // The width at a peak; a law that gives no positive width there ends the
  // run naming the reflection.
  double at(const PowderPeak& peak) const { return shape_at(peak).fwhm; }
  PeakShape shape_at(const PowderPeak& peak) const;
};

// The grid the pattern is drawn on when none is asked for: every observable
// peak with room for its tails (whole degrees, within 0 to 180; all of it when
// there is no peak), steps of 0.02 degrees.
TwoThetaGrid default_grid(const std::vector<PowderPeak>& peaks, const PeakWidth& width);

// The five columns of the pattern file: 2-theta, neutron nuclear, neutron
// magnetic, neutron total, X-ray.
struct PowderPattern {
  std::vector<float> two_theta, nuclear, magnetic, total, xray;
};

// The pattern of the peaks on the grid. Each peak is evaluated within six
// standard deviations of its centre (all but 2e-9 of its area), also when the
// centre lies outside the grid. Warns when peaks are narrower than three steps.
PowderPattern powder_pattern(const std::vector<PowderPeak>& peaks, const TwoThetaGrid& grid,
                             const PeakWidth& width, Remarks& remarks);

// Which integrated intensity of a peak a single pattern sums.
enum class Intensity { neutron_total, xray };
double intensity_of(const PowderPeak& peak, Intensity kind);

// The peaks with those at one position (equivalent reflections, within 1e-5
// degrees) made one, their intensities summed: the same pattern for a
// fraction of the work.
std::vector<PowderPeak> merged_peaks(std::vector<PowderPeak> peaks);

// The pattern of one kind at the sorted points x (degrees), in double, with
// every peak moved by shift degrees: the calculation a fit compares with a
// measurement.
std::vector<double> pattern_at(const std::vector<PowderPeak>& peaks, const PeakWidth& width, Intensity kind,
                               const std::vector<double>& x, double shift);

}  // namespace velmora::powder
