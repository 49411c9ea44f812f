// Bragg's law, the Lorentz factor of a powder ring and the X-ray polarisation
// factor (powder/beam_polarisation.hpp), each computed in double from the stored single-precision values and
// rounded once when the peak stores it.
#include "powder/powder_peaks.hpp"

#include <cmath>
#include <numbers>
#include <set>

#include "absorption/cylinder_absorption.hpp"
#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// -h -k -l, with +0 for 0.
Reflection friedel_mate(const Reflection& h) { return {0.0f - h[0], 0.0f - h[1], 0.0f - h[2]}; }

}  // namespace

void check_friedel_mates(const std::vector<Reflection>& hkl, Remarks& remarks) {
  const std::set<Reflection> listed(hkl.begin(), hkl.end());
  std::size_t lacking = 0, others = 0;
  const Reflection* first = nullptr;
  for (const Reflection& h : hkl) {
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
                shortest_text(peak.fn_squared) + ", |Fm|^2 " + shortest_text(peak.fm_squared) + ", |FX|^2 " +
                shortest_text(peak.fx_squared) + ")");
}

}  // namespace

namespace {

enum class Reach { direct, beyond, peak };

// The peak of one reflection at the wavelength, or why it has none.
Reach peak_of(const ReflectionValues& v, double wavelength, const Polarisation& beam,
              const SampleAbsorption& absorption, PowderPeak& peak) {
  const ReflectionGeometry& g = v.geometry;
  // Bragg's law: sin theta = lambda / 2d.
  const double sin_theta = wavelength / (2.0 * static_cast<double>(g.d));
  if (!(sin_theta > 0.0)) return Reach::direct;  // 0 0 0 (d infinite), or a cell without a d-spacing
  if (!(sin_theta < 1.0)) return Reach::beyond;
  const double sin2 = sin_theta * sin_theta;
  const double cos_theta = std::sqrt((1.0 - sin_theta) * (1.0 + sin_theta));
  const double cos_two_theta = 1.0 - 2.0 * sin2;
  // Lorentz factor of a Debye-Scherrer ring, 1 / (sin^2 theta cos theta);
  // X-rays also carry the polarisation factor, (1 + cos^2 2theta) / 2 for an
  // unpolarised beam.
  const double lorentz = 1.0 / (sin2 * cos_theta);
  const double polarisation = beam.factor(cos_two_theta);
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
  if (absorption.mu_r > 0) {
    // The sample's transmission at the Bragg angle, on the radiation it was given for.
    const double a = cylinder_transmission(absorption.mu_r, std::asin(sin_theta));
    if (absorption.xray) {
      peak.xray = static_cast<float>(v.fx_squared * polarisation * lorentz * a);
    } else {
      peak.nuclear = static_cast<float>(v.fn_squared * lorentz * a);
      peak.magnetic = static_cast<float>(v.fm_squared * lorentz * a);
    }
  }
  check_finite(peak);
  return Reach::peak;
}

}  // namespace

PeakCollector::PeakCollector(const std::vector<SourceLine>& lines,
                             std::function<void(const PowderPeak&)> on_peak, Polarisation polarisation,
                             SampleAbsorption absorption)
    : lines_(lines),
      polarisation_(polarisation),
      absorption_(std::move(absorption)),
      peaks_(lines.size()),
      on_peak_(std::move(on_peak)) {}

void PeakCollector::reserve(std::size_t reflections) { peaks_.front().reserve(reflections); }

void PeakCollector::add(const ReflectionValues& v) {
  for (std::size_t i = 0; i < lines_.size(); ++i) add(v, i);
}

void PeakCollector::add(const ReflectionValues& v, std::size_t i) {
  if (i == 0) ++values_;
  PowderPeak peak;
  const Reach reach = peak_of(v, lines_[i].wavelength, polarisation_, absorption_, peak);
  if (reach == Reach::peak) {
    if (const double ratio = lines_[i].ratio; ratio != 1.0) {
      peak.nuclear = static_cast<float>(peak.nuclear * ratio);
      peak.magnetic = static_cast<float>(peak.magnetic * ratio);
      peak.xray = static_cast<float>(peak.xray * ratio);
    }
    if (on_peak_) {
      on_peak_(peak);
      any_peak_ = true;
    } else {
      peaks_[i].push_back(peak);
    }
  } else if (i == 0 && reach == Reach::direct) {
    ++direct_;
  } else if (i == 0) {
    ++beyond_;
    if (v.geometry.d > largest_d_) largest_d_ = v.geometry.d;
  }
}

std::vector<PowderPeak> PeakCollector::finish(Remarks& remarks) {
  const double wavelength = lines_.front().wavelength;
  const std::string lambda = shortest_text(static_cast<float>(wavelength));
  if (direct_ > 0)
    remarks.note(std::to_string(direct_) + " reflection(s) 0 0 0 (the direct beam, no Bragg peak) left out");
  if (beyond_ > 0)
    remarks.note(std::to_string(beyond_) + " of " + std::to_string(values_ - direct_) +
                 " reflections are beyond reach of the wavelength " + lambda + " Å (d < " +
                 shortest_text(static_cast<float>(wavelength / 2)) + " Å) and are left out");
  if (peaks_.front().empty() && !any_peak_)
    remarks.note(values_ == direct_
                     ? "the answers list no reflection: the pattern is empty"
                     : "no reflection is within reach: the largest d listed is " + shortest_text(largest_d_) +
                           " Å, a wavelength below " + shortest_text(2 * largest_d_) + " Å reaches it");
  std::vector<PowderPeak> peaks = std::move(peaks_.front());
  for (std::size_t i = 1; i < peaks_.size(); ++i) {
    peaks.insert(peaks.end(), peaks_[i].begin(), peaks_[i].end());
    std::vector<PowderPeak>().swap(peaks_[i]);
  }
  return peaks;
}

std::vector<PowderPeak> powder_peaks(const std::vector<ReflectionValues>& values, double wavelength,
                                     Remarks& remarks) {
  return source_peaks(values, {{wavelength, 1.0}}, remarks);
}

std::vector<PowderPeak> source_peaks(const std::vector<ReflectionValues>& values,
                                     const std::vector<SourceLine>& lines, Remarks& remarks,
                                     Polarisation polarisation, const SampleAbsorption& absorption) {
  PeakCollector collector(lines, nullptr, polarisation, absorption);
  collector.reserve(values.size());
  for (const ReflectionValues& v : values) collector.add(v);
  return collector.finish(remarks);
}

}  // namespace velmora::powder
