// Checks the shortest-digit printer over every float (or a range of bit patterns): the digits
// must read back as the same float and equal the library's shortest std::to_chars form, except
// where the exact value lies halfway between that form and the next string of as many digits
// (the printer then takes the upper one, the library the even one); every such tie is confirmed
// from the exact decimal expansion of the value.
//
// Usage: verify_shortest_digits [first_bits last_bits]
#include "kernel_checks.hpp"

int main(int argc, char** argv) {
  using kernel_checks::Tally;
  Tally total =
      kernel_checks::verify_floats(argc, argv, [](std::uint64_t first, std::uint64_t last, Tally& t) {
        for (std::uint64_t b = first; b <= last; ++b) {
          const float value = kernel_checks::from_bits(b);
          if (!std::isfinite(value)) continue;
          ++t.checked;
          std::string fault = kernel_checks::shortest_digits_fault(value);
          if (fault == "tie")
            ++t.ties;
          else if (!fault.empty())
            t.fault(value, fault);
        }
      });
  std::printf("exact ties, where the upper digit is taken: %llu\n%s\n",
              static_cast<unsigned long long>(total.ties), total.faults == 0 ? "PASS" : "FAIL");
  return total.faults == 0 ? 0 : 1;
}
