// Bragg's law, the Lorentz factor of a powder ring and the X-ray polarisation
// factor, each computed in double from the stored single-precision values and
// rounded once when the peak stores it.
#include "powder/powder_peaks.hpp"

#include <cmath>
#include <numbers>
#include <set>

#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// -h -k -l, with +0 for 0.
Reflection friedel_mate(const Reflection& h) { return {0.0f - h[0], 0.0f - h[1], 0.0f - h[2]}; }

}  // namespace

void check_friedel_mates(const std::vector<ReflectionValues>& values, Remarks& remarks) {
  std::set<Reflection> listed;
  for (const ReflectionValues& v : values) listed.insert(v.geometry.h);
  std::size_t lacking = 0, others = 0;
  const Reflection* first = nullptr;
  for (const ReflectionValues& v : values) {
    const Reflection& h = v.geometry.h;
    if (h == Reflection{}) continue;
    if (listed.count(friedel_mate(h)) == 0) {
      ++lacking;
      if (first == nullptr) first = &h;
    } else {
      ++others;
    }
  }
  if (lacking == 0) return;
  remarks.warn(std::to_string(lacking) + " of " + std::to_string(lacking + others) +
               " reflections are listed without their Friedel mate (" + hkl_text(*first) + " has no " +
               hkl_text(friedel_mate(*first)) +
               "): the list looks like a unique set, but each listed h k l is one peak, so the"
               " intensities lack their multiplicities (velmora-cif --dmin lists every h k l)");
}

namespace {

void check_finite(const PowderPeak& peak) {
  if (!std::isfinite(peak.nuclear) || !std::isfinite(peak.magnetic) || !std::isfinite(peak.xray))
    fail_powder("reflection " + hkl_text(peak.h) +
                ": its intensity is not a finite number in single precision (|Fn|^2 " +
                float_text(peak.fn_squared) + ", |Fm|^2 " + float_text(peak.fm_squared) + ", |FX|^2 " +
                float_text(peak.fx_squared) + ")");
}

}  // namespace

std::vector<PowderPeak> powder_peaks(const std::vector<ReflectionValues>& values, double wavelength,
                                     Remarks& remarks) {
  std::vector<PowderPeak> peaks;
  peaks.reserve(values.size());
  std::size_t beyond = 0, direct = 0;
  float largest_d = 0;
  for (const ReflectionValues& v : values) {
    const ReflectionGeometry& g = v.geometry;
    // Bragg's law: sin theta = lambda / 2d.
    const double sin_theta = wavelength / (2.0 * static_cast<double>(g.d));
    if (!(sin_theta > 0.0)) {  // 0 0 0 (d infinite), or a cell without a d-spacing
      ++direct;
      continue;
    }
    if (!(sin_theta < 1.0)) {
      ++beyond;
      if (g.d > largest_d) largest_d = g.d;
      continue;
    }
    const double sin2 = sin_theta * sin_theta;
    const double cos_theta = std::sqrt((1.0 - sin_theta) * (1.0 + sin_theta));
    const double cos_two_theta = 1.0 - 2.0 * sin2;
    // Lorentz factor of a Debye-Scherrer ring, 1 / (sin^2 theta cos theta);
    // X-rays of an unpolarised beam also carry (1 + cos^2 2theta) / 2.
    const double lorentz = 1.0 / (sin2 * cos_theta);
    const double polarisation = (1.0 + cos_two_theta * cos_two_theta) / 2.0;
    PowderPeak peak;
    peak.h = g.h;
    peak.d = g.d;
    peak.two_theta = static_cast<float>(2.0 * std::asin(sin_theta) * kDegreesPerRadian);
    peak.tan_theta = static_cast<float>(sin_theta / cos_theta);
    peak.wavelength = static_cast<float>(wavelength);
    peak.fn_squared = v.fn_squared;
    peak.fm_squared = v.fm_squared;
    peak.fx_squared = v.fx_squared;
    peak.nuclear = static_cast<float>(v.fn_squared * lorentz);
    peak.magnetic = static_cast<float>(v.fm_squared * lorentz);
    peak.xray = static_cast<float>(v.fx_squared * polarisation * lorentz);
    check_finite(peak);
    peaks.push_back(peak);
  }

  const std::string lambda = float_text(static_cast<float>(wavelength));
  if (direct > 0)
    remarks.note(std::to_string(direct) + " reflection(s) 0 0 0 (the direct beam, no Bragg peak) left out");
  if (beyond > 0)
    remarks.note(std::to_string(beyond) + " of " + std::to_string(values.size() - direct) +
                 " reflections are beyond reach of the wavelength " + lambda + " Å (d < " +
                 float_text(static_cast<float>(wavelength / 2)) + " Å) and are left out");
  if (peaks.empty())
    remarks.note(values.size() == direct
                     ? "the answers list no reflection: the pattern is empty"
                     : "no reflection is within reach: the largest d listed is " + float_text(largest_d) +
                           " Å, a wavelength below " + float_text(2 * largest_d) + " Å reaches it");
  return peaks;
}

std::vector<PowderPeak> source_peaks(const std::vector<ReflectionValues>& values,
                                     const std::vector<SourceLine>& lines, Remarks& remarks) {
  // One line's peaks are taken as they come (millions of reflections are not copied).
  if (lines.size() == 1 && lines[0].ratio == 1) return powder_peaks(values, lines[0].wavelength, remarks);
  std::vector<PowderPeak> peaks;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Remarks others;
    for (PowderPeak peak : powder_peaks(values, lines[i].wavelength, i == 0 ? remarks : others)) {
      const double ratio = lines[i].ratio;
      peak.nuclear = static_cast<float>(peak.nuclear * ratio);
      peak.magnetic = static_cast<float>(peak.magnetic * ratio);
      peak.xray = static_cast<float>(peak.xray * ratio);
      peaks.push_back(peak);
    }
  }
  return peaks;
}

}  // namespace velmora::powder
