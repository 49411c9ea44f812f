// PANalytical XRDML files, as PANalytical's XRDML schema defines them
// (namespace http://www.xrdml.com/XRDMeasurement/1.x): the first <scan>'s
// <dataPoints>, whose <positions axis="2Theta"> give a start and end or a
// list, and whose <counts> or <intensities> hold the measurement with a
// common or a per-point counting time.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "powder/pattern_readers.hpp"
#include "powder/xml_elements.hpp"

namespace velmora::powder {
namespace {

std::string quoted(std::string_view text) {
  std::string out = "\"";
  out.append(text);
  out += '"';
  return out;
}

class Scan {
 public:
  Scan(const std::vector<XmlElement>& elements, std::size_t data_points, const std::string& name)
      : elements_(elements), data_points_(data_points), name_(name) {}

  // The first element of that name inside dataPoints (axis: of a <positions>), or none.
  const XmlElement* find(std::string_view element, std::string_view axis = {}) const {
    // In document order an element's descendants follow it, up to the first
    // element whose parent comes before it.
    for (std::size_t i = data_points_ + 1; i < elements_.size() && elements_[i].parent >= data_points_; ++i) {
      if (elements_[i].name == element && (axis.empty() || elements_[i].attribute("axis") == axis))
        return &elements_[i];
    }
    return nullptr;
  }
  const XmlElement* child_of(const XmlElement& parent, std::string_view element) const {
    const std::size_t p = static_cast<std::size_t>(&parent - elements_.data());
    for (std::size_t i = p + 1; i < elements_.size() && elements_[i].parent >= p; ++i)
      if (elements_[i].parent == p && elements_[i].name == element) return &elements_[i];
    return nullptr;
  }

  std::vector<double> numbers(const XmlElement& e) const {
    std::vector<double> values;
    const std::string& t = e.text;
    std::size_t i = 0;
    while ((i = t.find_first_not_of(" \t\r\n", i)) != std::string::npos) {
      const std::size_t end = std::min(t.find_first_of(" \t\r\n", i), t.size());
      double v = 0;
      const auto result = std::from_chars(t.data() + i, t.data() + end, v);
      if (result.ec != std::errc() || result.ptr != t.data() + end || !std::isfinite(v))
        fail(e,
             quoted(std::string_view(t).substr(i, std::min<std::size_t>(end - i, 40))) + " is not a number");
      if (values.size() == kMostObservedPoints)
        fail(e, "more than 10^7 values, beyond what velmora-powder fits");
      values.push_back(v);
      i = end;
    }
    return values;
  }

  [[noreturn]] void fail(const XmlElement& e, const std::string& reason) const {
    fail_powder(name_ + ", line " + std::to_string(e.line) + " (<" + e.name + ">): " + reason);
  }

 private:
  const std::vector<XmlElement>& elements_;
  std::size_t data_points_;
  const std::string& name_;
};

std::vector<double> two_theta_of(const Scan& scan, const XmlElement& dp, std::size_t n) {
  const XmlElement* positions = scan.find("positions", "2Theta");
  if (!positions) scan.fail(dp, "no <positions axis=\"2Theta\">");
  if (positions->attribute("unit") != "deg" && !positions->attribute("unit").empty())
    scan.fail(*positions, "2theta in " + positions->attribute("unit") + "; velmora-powder reads degrees");
  std::vector<double> x;
  if (const XmlElement* list = scan.child_of(*positions, "listPositions")) {
    x = scan.numbers(*list);
    if (x.size() != n)
      scan.fail(*list, std::to_string(x.size()) + " positions for " + std::to_string(n) + " intensities");
    return x;
  }
  const XmlElement* start = scan.child_of(*positions, "startPosition");
  const XmlElement* end = scan.child_of(*positions, "endPosition");
  if (!start || !end) scan.fail(*positions, "neither <listPositions> nor <startPosition> and <endPosition>");
  const auto a = scan.numbers(*start), b = scan.numbers(*end);
  if (a.size() != 1 || b.size() != 1) scan.fail(*positions, "a start and an end of one number each");
  for (std::size_t i = 0; i < n; ++i)
    x.push_back(a[0] + (b[0] - a[0]) * static_cast<double>(i) / static_cast<double>(n - 1));
  return x;
}

// The counting time of each point in seconds, or none when the file gives none.
std::vector<double> times_of(const Scan& scan, std::size_t n) {
  if (const XmlElement* common = scan.find("commonCountingTime")) {
    const auto t = scan.numbers(*common);
    if (t.size() != 1 || !(t[0] > 0)) scan.fail(*common, "a counting time is one number above 0");
    return std::vector<double>(n, t[0]);
  }
  if (const XmlElement* each = scan.find("countingTimes")) {
    auto t = scan.numbers(*each);
    if (t.size() != n)
      scan.fail(*each, std::to_string(t.size()) + " counting times for " + std::to_string(n) + " points");
    for (double v : t)
      if (!(v > 0)) scan.fail(*each, "a counting time not above 0");
    return t;
  }
  return {};
}

}  // namespace

bool is_xrdml(std::string_view text) { return xml_root_name(text) == "xrdMeasurements"; }

ObservedPattern read_xrdml(std::string_view text, const std::string& name, Remarks& remarks) {
  const std::vector<XmlElement> elements = xml_elements(text, name);
  std::size_t data_points = 0, scans = 0;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (elements[i].name == "scan") ++scans;
    if (elements[i].name == "dataPoints" && data_points == 0) data_points = i;
  }
  if (data_points == 0) fail_powder(name + ": no <dataPoints> in the file");
  if (scans > 1) remarks.note(name + ": the first of its " + std::to_string(scans) + " scans is fitted");
  const Scan scan(elements, data_points, name);
  const XmlElement& dp = elements[data_points];
  const XmlElement* counts = scan.find("counts");
  if (!counts) counts = scan.find("intensities");
  if (!counts) scan.fail(dp, "neither <counts> nor <intensities>");
  const std::string unit = counts->attribute("unit");
  const bool per_second = unit == "counts/s" || unit == "cps";
  if (!per_second && unit != "counts" && !unit.empty())
    scan.fail(*counts, "intensities in " + unit + "; velmora-powder reads counts or counts/s");
  ObservedPattern observed;
  observed.source = name;
  observed.intensity = scan.numbers(*counts);
  const std::size_t n = observed.intensity.size();
  if (n < 2) scan.fail(*counts, "fewer than two points");
  observed.two_theta = two_theta_of(scan, dp, n);
  const std::vector<double> time = times_of(scan, n);
  if (per_second && time.empty()) scan.fail(*counts, "counts/s without a counting time to give the counts");
  // Counts are Poisson: sigma = sqrt(counts). Counts per second are the counts
  // over the time, and so is their sigma; counts of unequal times are made
  // counts per second, so that one scale fits them all.
  const bool unequal =
      !time.empty() && std::any_of(time.begin(), time.end(), [&](double t) { return t != time[0]; });
  observed.sigma_given = per_second || unequal;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = observed.sigma_given ? time[i] : 1.0;
    const double counted = per_second ? observed.intensity[i] * t : observed.intensity[i];
    observed.intensity[i] = counted / t;
    observed.sigma.push_back(std::sqrt(std::max(counted, 1.0)) / t);
  }
  return observed;
}

}  // namespace velmora::powder
