// Checks velmora's single-precision sine, cosine and exponential over every float (or a range of
// bit patterns): each must equal the C library's double-precision function rounded once to float,
// and sincos_f and the batch functions must give the same bits. A hash of all results is printed,
// so that builds for different platforms can be compared (the same hash, the same bits).
//
// Usage: verify_single_math [first_bits last_bits]
#include "kernel_checks.hpp"

int main(int argc, char** argv) {
  using kernel_checks::Tally;
  Tally total =
      kernel_checks::verify_floats(argc, argv, [](std::uint64_t first, std::uint64_t last, Tally& t) {
        for (std::uint64_t chunk = first; chunk <= last; chunk += 4096) {
          std::vector<float> x;
          for (std::uint64_t b = chunk; b <= std::min(last, chunk + 4095); ++b)
            x.push_back(kernel_checks::from_bits(b));
          kernel_checks::check_single_math(x, [&](float arg, const float* ours, bool right) {
            if (!right) t.fault(arg, "unlike the library's result or the batch's");
            for (int k = 0; k < 3; ++k)
              t.hash = (t.hash ^ kernel_checks::canonical(ours[k])) * 1099511628211ull;
            ++t.checked;
          });
        }
      });
  std::printf("hash of all results: %016llx\n", static_cast<unsigned long long>(total.hash));
  return total.faults == 0 ? 0 : 1;
}
