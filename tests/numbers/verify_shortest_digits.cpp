// Checks the shortest-digit printer over every float (or a range of bit patterns): the digits
// must read back as the same float and equal the library's shortest std::to_chars form, except
// where the exact value lies halfway between that form and the next string of as many digits
// (the printer then takes the upper one, the library the even one); every such tie is confirmed
// from the exact decimal expansion of the value.
//
// Usage: verify_shortest_digits [first_bits last_bits]
#include "kernel_checks.hpp"

namespace {

struct Tally {
  std::uint64_t checked = 0, ties = 0, faults = 0;
  std::vector<std::string> fault_examples, tie_examples;
};

void check_block(std::uint64_t first, std::uint64_t last, Tally& t) {
  for (std::uint64_t b = first; b <= last; ++b) {
    const float value = kernel_checks::from_bits(b);
    if (!std::isfinite(value)) continue;
    ++t.checked;
    std::string fault = kernel_checks::shortest_digits_fault(value);
    if (fault.empty()) continue;
    bool tie = fault == "tie";
    std::vector<std::string>& examples = tie ? t.tie_examples : t.fault_examples;
    char head[48];
    std::snprintf(head, sizeof head, "  bits 0x%08llX (%.9g): ", static_cast<unsigned long long>(b),
                  static_cast<double>(value));
    if (++(tie ? t.ties : t.faults) <= 5) examples.push_back(head + fault);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t first, last;
  if (!kernel_checks::bit_range(argc, argv, first, last)) return 2;
  Tally total;
  for (const Tally& t : kernel_checks::over_blocks<Tally>(first, last, check_block)) {
    total.checked += t.checked;
    total.ties += t.ties;
    total.faults += t.faults;
    total.fault_examples.insert(total.fault_examples.end(), t.fault_examples.begin(), t.fault_examples.end());
    total.tie_examples.insert(total.tie_examples.end(), t.tie_examples.begin(), t.tie_examples.end());
  }
  std::printf("%llu finite values: %llu ties (exactly halfway, upper digit taken), %llu faults\n",
              static_cast<unsigned long long>(total.checked), static_cast<unsigned long long>(total.ties),
              static_cast<unsigned long long>(total.faults));
  for (auto* examples : {&total.fault_examples, &total.tie_examples}) {
    for (std::size_t i = 0; i < examples->size() && i < 5; ++i) std::printf("%s\n", (*examples)[i].c_str());
  }
  std::printf("%s\n", total.faults == 0 ? "PASS" : "FAIL");
  return total.faults == 0 ? 0 : 1;
}
