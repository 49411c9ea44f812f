// Bruker (Siemens) DIFFRAC RAW files, little-endian binary, in the layouts
// Bruker AXS describes for its RAW format: version 3 ("RAW1.01": a 712-byte
// file header, the number of ranges at byte 12, then each range a 304-byte
// header and its counts) and version 4 ("RAW4.00": a 61-byte file header,
// tagged records, then the ranges). Only the first range is read; counts as
// float32. Tried on files written to these layouts, not yet on an instrument's.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "powder/number_text.hpp"
#include "powder/pattern_readers.hpp"

namespace velmora::powder {
namespace {

// Version 3: the range header's fields, by offset from its start.
constexpr std::size_t kV3FileHeader = 712;
constexpr std::size_t kV3HeaderLength = 0, kV3Steps = 4, kV3Start = 16, kV3Step = 176, kV3Supplement = 256;
// Version 4: file-scope records (comment, hardware, sample) follow the fixed
// header, each a tag and its whole length; the range header then holds its
// own length, the start, step and number of steps, the length of the
// range's own records that follow it, and the bytes of one count.
constexpr std::size_t kV4FileHeader = 61;
constexpr std::uint32_t kV4FileRecordTags[] = {10, 30, 60};
constexpr std::size_t kV4HeaderLength = 0, kV4Start = 72, kV4Step = 80, kV4Steps = 88, kV4Supplement = 148,
                      kV4DatumSize = 156, kV4LeastHeader = 160;

class Bytes {
 public:
  Bytes(std::string_view bytes, const std::string& name) : bytes_(bytes), name_(name) {}

  template <class T>
  T at(std::size_t offset, const char* what) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T))
      fail_powder(name_ + ": the file ends at byte " + std::to_string(bytes_.size()) + ", inside " + what +
                  " (byte offset " + std::to_string(offset) + ")");
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, bytes_.data() + offset, sizeof(T));
    // The file is little-endian whatever the machine.
    std::uint64_t bits = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) bits = (bits << 8) | raw[i];
    T value;
    if constexpr (sizeof(T) == 8) {
      std::memcpy(&value, &bits, 8);
    } else {
      const auto narrow = static_cast<std::uint32_t>(bits);
      std::memcpy(&value, &narrow, 4);
    }
    return value;
  }
  std::size_t size() const { return bytes_.size(); }
  [[noreturn]] void fail(std::size_t offset, const std::string& reason) const {
    fail_powder(name_ + ", byte offset " + std::to_string(offset) + ": " + reason);
  }

 private:
  std::string_view bytes_;
  const std::string& name_;
};

struct Range {
  std::size_t header = 0, data = 0;  // byte offsets of its header and of its first count
  std::uint32_t steps = 0;
  double start = 0, step = 0;
};

// The counts of the range, checked, as the pattern.
ObservedPattern pattern_of(const Bytes& b, const Range& r, const std::string& name) {
  if (!(r.start > 0 && r.start < 180))
    b.fail(r.header, "start 2theta " + limit_text(r.start) + " is outside 0 to 180 degrees");
  if (!(r.step > 0 && r.step < 180))
    b.fail(r.header, "step " + limit_text(r.step) + " is not above 0 degrees");
  if (r.steps < 2 || r.steps > kMostObservedPoints)
    b.fail(r.header, std::to_string(r.steps) + " steps; velmora-powder fits 2 to 10^7 points");
  if (b.size() < r.data || (b.size() - r.data) / 4 < r.steps)
    fail_powder(name + ": the file ends at byte " + std::to_string(b.size()) + ", before the " +
                std::to_string(r.steps) + " counts of the first range (from byte offset " +
                std::to_string(r.data) + ")");
  ObservedPattern observed;
  observed.source = name;
  for (std::uint32_t i = 0; i < r.steps; ++i) {
    const double counts = b.at<float>(r.data + 4 * std::size_t{i}, "the counts");
    if (!std::isfinite(counts)) b.fail(r.data + 4 * std::size_t{i}, "a count that is not a finite number");
    observed.two_theta.push_back(r.start + r.step * i);
    observed.intensity.push_back(counts);
    observed.sigma.push_back(std::sqrt(std::max(counts, 1.0)));
  }
  return observed;
}

Range first_v3_range(const Bytes& b) {
  Range r;
  r.header = kV3FileHeader;
  const auto length = b.at<std::uint32_t>(r.header + kV3HeaderLength, "the range header");
  if (length < kV3Supplement + 4) b.fail(r.header, "a range header of " + std::to_string(length) + " bytes");
  r.steps = b.at<std::uint32_t>(r.header + kV3Steps, "the range header");
  r.start = b.at<double>(r.header + kV3Start, "the range header");
  r.step = b.at<double>(r.header + kV3Step, "the range header");
  r.data = r.header + length + b.at<std::uint32_t>(r.header + kV3Supplement, "the range header");
  return r;
}

Range first_v4_range(const Bytes& b) {
  std::size_t at = kV4FileHeader;
  for (;;) {
    const auto tag = b.at<std::uint32_t>(at, "the file's records");
    if (std::find(std::begin(kV4FileRecordTags), std::end(kV4FileRecordTags), tag) ==
        std::end(kV4FileRecordTags))
      break;
    const auto length = b.at<std::uint32_t>(at + 4, "the file's records");
    if (length < 8) b.fail(at, "a record of " + std::to_string(length) + " bytes");
    at += length;
  }
  Range r;
  r.header = at;
  const auto length = b.at<std::uint32_t>(at + kV4HeaderLength, "the range header");
  if (length < kV4LeastHeader) b.fail(at, "a range header of " + std::to_string(length) + " bytes");
  r.start = b.at<double>(at + kV4Start, "the range header");
  r.step = b.at<double>(at + kV4Step, "the range header");
  r.steps = b.at<std::uint32_t>(at + kV4Steps, "the range header");
  const auto datum = b.at<std::uint32_t>(at + kV4DatumSize, "the range header");
  if (datum != 4)
    b.fail(at + kV4DatumSize, "counts of " + std::to_string(datum) + " bytes; velmora-powder reads float32");
  r.data = at + length + b.at<std::uint32_t>(at + kV4Supplement, "the range header");
  return r;
}

}  // namespace

bool is_bruker_raw(std::string_view bytes) { return bytes.substr(0, 3) == "RAW" && bytes.find('\0') < 4096; }

ObservedPattern read_bruker_raw(std::string_view bytes, const std::string& name, Remarks& remarks) {
  const Bytes b(bytes, name);
  const bool v3 = bytes.substr(0, 7) == "RAW1.01", v4 = bytes.substr(0, 7) == "RAW4.00";
  if (!v3 && !v4)
    fail_powder(name + ": a Bruker RAW file of version \"" + std::string(bytes.substr(0, 4)) +
                "\"; velmora-powder reads RAW1.01 and RAW4.00 (DIFFRAC can save either)");
  // Version 4 keeps no count of ranges in a known place: what follows the
  // first range's counts is taken as more ranges.
  const auto ranges = v3 ? b.at<std::uint32_t>(12, "the file header") : 1;
  if (ranges == 0) b.fail(12, "the file holds no range");
  const Range range = v3 ? first_v3_range(b) : first_v4_range(b);
  ObservedPattern observed = pattern_of(b, range, name);
  // What was read, for the user to check against the instrument's record:
  // the layouts have been tried on files written to them, not yet on an
  // instrument's.
  const std::size_t end = range.data + 4 * std::size_t{range.steps};
  remarks.note(name + ": Bruker " + std::string(bytes.substr(0, 7)) + ", " + std::to_string(range.steps) +
               " counts from 2theta " + limit_text(range.start) + " in steps of " + limit_text(range.step) +
               (ranges > 1 || end < bytes.size() ? "; the file's further ranges are not fitted" : ""));
  return observed;
}

}  // namespace velmora::powder
