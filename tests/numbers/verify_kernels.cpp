// Checks one number kernel over every float, or a range of bit patterns, on all cores, with the
// checks of the property tests (kernel_checks.hpp): fixed_point against the library's "%.*f",
// shortest_digits against std::to_chars (counting the exact ties, where the printer takes the
// upper digit), single_math against the double-precision functions rounded once, on the widest
// path the processor has, with a hash of all results to compare builds for other platforms.
//
// Usage: verify_kernels KERNEL [first_bits last_bits]   (inclusive, hex or decimal)
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "kernel_checks.hpp"

namespace {

using namespace kernel_checks;

// What the check found in a range of floats.
struct Tally {
  std::uint64_t checked = 0, faults = 0, ties = 0, hash = 0;
  std::vector<std::string> examples;  // the first faults
  void fault(float value, const std::string& what) {
    char head[48];
    std::snprintf(head, sizeof head, "%a (%.9g): ", static_cast<double>(value), static_cast<double>(value));
    if (++faults <= 5) examples.push_back(head + what);
  }
};

void check_range(const std::string& kernel, std::uint64_t first, std::uint64_t last, Tally& t) {
  if (kernel == "single_math") {
    for (std::uint64_t chunk = first; chunk <= last; chunk += 4096) {
      std::vector<float> x;
      for (std::uint64_t b = chunk; b <= std::min(last, chunk + 4095); ++b) x.push_back(from_bits(b));
      check_single_math(x, [&](float arg, const float* ours, bool right) {
        if (!right) t.fault(arg, "unlike the library's result or the batch's");
        for (int k = 0; k < 3; ++k) t.hash = (t.hash ^ canonical(ours[k])) * 1099511628211ull;
        ++t.checked;
      });
    }
    return;
  }
  for (std::uint64_t b = first; b <= last; ++b) {
    const float value = from_bits(b);
    if (!std::isfinite(value)) continue;
    ++t.checked;
    std::string fault = kernel == "fixed_point" ? fixed_point_fault(value) : shortest_digits_fault(value);
    if (fault == "tie")
      ++t.ties;
    else if (!fault.empty())
      t.fault(value, fault);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kernel = argc > 1 ? argv[1] : "";
  const std::uint64_t first = argc == 4 ? std::strtoull(argv[2], nullptr, 0) : 0;
  const std::uint64_t last = argc == 4 ? std::strtoull(argv[3], nullptr, 0) : 0xFFFFFFFFu;
  if ((argc != 2 && argc != 4) || first > last || last > 0xFFFFFFFFu ||
      (kernel != "fixed_point" && kernel != "shortest_digits" && kernel != "single_math")) {
    std::fprintf(stderr, "usage: %s fixed_point|shortest_digits|single_math [first_bits last_bits]\n",
                 argv[0]);
    return 2;
  }
  // Blocks of 2^24 shared among the cores; the tallies are summed in block order, so that the
  // hash does not depend on the sharing.
  constexpr std::uint64_t kBlock = std::uint64_t{1} << 24;
  std::vector<Tally> tallies((last - first) / kBlock + 1);
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t) {
    threads.emplace_back([&] {
      for (std::size_t i; (i = next++) < tallies.size();) {
        check_range(kernel, first + i * kBlock, std::min(last, first + (i + 1) * kBlock - 1), tallies[i]);
        std::fprintf(stderr, "\rblock %zu of %zu", i + 1, tallies.size());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  Tally total;
  total.hash = 1469598103934665603ull;
  for (const Tally& t : tallies) {
    total.checked += t.checked, total.faults += t.faults, total.ties += t.ties;
    total.hash = (total.hash ^ t.hash) * 1099511628211ull;
    total.examples.insert(total.examples.end(), t.examples.begin(), t.examples.end());
  }
  std::printf("\n%llu floats checked, %llu faults\n", static_cast<unsigned long long>(total.checked),
              static_cast<unsigned long long>(total.faults));
  for (std::size_t i = 0; i < total.examples.size() && i < 10; ++i)
    std::printf("  %s\n", total.examples[i].c_str());
  if (kernel == "shortest_digits")
    std::printf("exact ties, where the upper digit is taken: %llu\n",
                static_cast<unsigned long long>(total.ties));
  if (kernel == "single_math")
    std::printf("hash of all results: %016llx\n", static_cast<unsigned long long>(total.hash));
  std::printf("%s\n", total.faults == 0 ? "PASS" : "FAIL");
  return total.faults == 0 ? 0 : 1;
}
