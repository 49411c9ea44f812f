// The instrument's values taken into a run, and the record of it: one note
// saying what the file gave in velmora's units, one per value replaced.
#include "powder/instrument_choices.hpp"

#include "powder/number_text.hpp"

namespace velmora::powder {
namespace {

std::string f(double value) { return shortest_text(static_cast<float>(value)); }

std::string lines_text(const std::vector<SourceLine>& lines) {
  std::string text = "λ = " + f(lines.front().wavelength) + " Å";
  for (std::size_t i = 1; i < lines.size(); ++i)
    text += ", " + f(lines[i].wavelength) + " Å (intensity ratio " + f(lines[i].ratio) + ")";
  return text;
}

std::string width_text(const InstrumentProfile& p) {
  const std::string set =
      "profile function " + std::to_string(p.type) + " (PRCF" + std::to_string(p.set) + "): ";
  if (p.width.tch) {
    const TchParameters& t = *p.width.tch;
    return set + "pseudo-Voigt U V W X Y = " + f(t.u) + " " + f(t.v) + " " + f(t.w) + " " + f(t.x) + " " +
           f(t.y);
  }
  const auto& [u, v, w] = *p.width.caglioti;
  return set + "Gaussian, Caglioti U V W = " + f(u) + " " + f(v) + " " + f(w);
}

}  // namespace

void take_instrument(const Instrument& instrument, const ExplicitChoices& given,
                     std::vector<SourceLine>& lines, PeakWidth& width, Polarisation& polarisation,
                     Remarks& remarks) {
  const bool xray = instrument.radiation == Radiation::xray;
  std::string taken = instrument.source + ": " + (xray ? "X-rays" : "neutrons") + " (HTYPE " +
                      instrument.htype + "), " + lines_text(instrument.lines) + ", zero shift " +
                      f(instrument.zero_shift) + "°";
  if (xray) taken += ", polarised fraction " + f(instrument.polarisation.perpendicular);
  if (instrument.profile) taken += ", " + width_text(*instrument.profile);
  remarks.note(taken);
  const auto replaced = [&](const std::string& by, const std::string& what) {
    remarks.note(by + " replaces " + instrument.source + "'s " + what);
  };
  if (given.lines.empty())
    lines = instrument.lines;
  else
    replaced(given.lines, "wavelength");
  if (xray && given.polarisation.empty())
    polarisation = instrument.polarisation;
  else if (xray)
    replaced(given.polarisation, "polarisation");
  if (!instrument.profile) return;
  if (!given.width.empty()) {
    replaced(given.width, "profile");
    return;
  }
  width = instrument.profile->width;
  const std::vector<std::string>& left = instrument.profile->unapplied;
  if (left.empty()) return;
  std::string terms;
  bool axial = false;
  for (const std::string& term : left) {
    terms += (terms.empty() ? "" : ", ") + term;
    axial = axial || term.rfind("S/L ", 0) == 0 || term.rfind("H/L ", 0) == 0;
  }
  remarks.warn(instrument.source +
               ": profile terms velmora-powder's symmetric peaks do not apply (asymmetry,"
               " sample shift, transparency, anisotropic broadening) are not 0 and are left out: " +
               terms + (axial ? " (S/L and H/L are where --refine axial starts)" : ""));
}

}  // namespace velmora::powder
