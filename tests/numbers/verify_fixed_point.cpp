// Checks the fixed-point field printer over every finite float (or a range of bit patterns), in
// the fields the program prints and a few narrower ones, against the library's exact "%.*f".
//
// Usage: verify_fixed_point [first_bits last_bits]
#include "kernel_checks.hpp"

int main(int argc, char** argv) {
  using kernel_checks::Tally;
  Tally total =
      kernel_checks::verify_floats(argc, argv, [](std::uint64_t first, std::uint64_t last, Tally& t) {
        for (std::uint64_t b = first; b <= last; ++b) {
          const float value = kernel_checks::from_bits(b);
          if (!std::isfinite(value)) continue;
          ++t.checked;
          std::string fault = kernel_checks::fixed_point_fault(value);
          if (!fault.empty()) t.fault(value, fault);
        }
      });
  std::printf("%s\n", total.faults == 0 ? "PASS" : "FAIL");
  return total.faults == 0 ? 0 : 1;
}
