// Checks velmora's single-precision sine, cosine and exponential over every float (or a range of
// bit patterns): each must equal the C library's double-precision function rounded once to float,
// and sincos_f and the batch functions must give the same bits. A hash of all results is printed,
// so that builds for different platforms can be compared (the same hash, the same bits).
//
// Usage: verify_single_math [first_bits last_bits]
#include "kernel_checks.hpp"

namespace {

struct Tally {
  std::uint64_t checked = 0, faults = 0, hash = 0;
  float first_fault = 0;  // the first argument with a wrong result, when faults != 0
};

void check_block(std::uint64_t first, std::uint64_t last, Tally& t) {
  std::vector<float> x;
  for (std::uint64_t b = first; b <= last; ++b) x.push_back(kernel_checks::from_bits(b));
  bool seen_fault = false;
  t.faults = kernel_checks::single_math_faults(x, [&](float arg, const float* ours, bool right) {
    if (!right && !seen_fault) seen_fault = true, t.first_fault = arg;
    for (int k = 0; k < 3; ++k) t.hash = (t.hash ^ kernel_checks::canonical(ours[k])) * 1099511628211ull;
    ++t.checked;
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t first, last;
  if (!kernel_checks::bit_range(argc, argv, first, last)) return 2;
  Tally total;
  std::uint64_t hash = 1469598103934665603ull;
  for (const Tally& t : kernel_checks::over_blocks<Tally>(first, last, check_block)) {
    total.checked += t.checked;
    if (t.faults != 0 && total.faults == 0) total.first_fault = t.first_fault;
    total.faults += t.faults;
    hash = (hash ^ t.hash) * 1099511628211ull;
  }
  std::printf("checked %llu floats; %llu with a result unlike the library's or the batch's",
              static_cast<unsigned long long>(total.checked), static_cast<unsigned long long>(total.faults));
  if (total.faults != 0) std::printf(" (the first: %a)", static_cast<double>(total.first_fault));
  std::printf("\nhash of all results: %016llx\n", static_cast<unsigned long long>(hash));
  return total.faults == 0 ? 0 : 1;
}
