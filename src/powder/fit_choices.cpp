// A silent default width would fit laboratory or synchrotron data with a
// neutron width; the note names the width taken and why.
#include "powder/fit_choices.hpp"

#include "powder/number_text.hpp"

namespace velmora::powder {

void settle_fit_choices(PowderOptions& options, bool radiation_given, bool width_given,
                        const FitChoiceNames& names, Remarks& remarks) {
  const bool xray = options.radiation == Radiation::xray;
  if (!width_given) {
    options.width.fwhm = xray ? kLaboratoryXrayFwhm : kNeutronFwhm;
    remarks.note(std::string("no peak width given: the fit takes Gaussian peaks of FWHM ") +
                 limit_text(options.width.fwhm) + "°, " +
                 (xray ? "about the narrowest of a laboratory X-ray diffractometer"
                       : "about the narrowest of a high-resolution neutron diffractometer") +
                 "; " + names.widths + " gives the instrument's own");
  }
  if (!radiation_given && options.source.empty() && options.instrument.empty())
    remarks.warn("the fit is computed for neutrons (nuclear and magnetic scattering), as " +
                 names.wavelength + " alone says nothing of the radiation; for X-ray data give " +
                 names.xray);
}

}  // namespace velmora::powder
