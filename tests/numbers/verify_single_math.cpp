// Checks velmora's single-precision sine, cosine and exponential over every
// float (or a range of bit patterns given as two arguments): each must equal
// the C library's double-precision function rounded to float, and a hash of
// all results is printed so that builds for different platforms can be
// compared (the same hash means the same bits for every argument). The
// batch functions (sincos_f_many, exp_f_many) must give exactly the bits of
// the single-argument ones.
//
//   verify_single_math [first-bits last-bits-exclusive]
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "numbers/single_math.hpp"

namespace {

struct Tally {
  std::uint64_t checked = 0;
  std::uint64_t differ[3] = {};
  std::uint64_t batch_differ = 0;
  std::uint64_t hash[3] = {};
};

// NaN results compare equal whatever their payload.
std::uint32_t canonical(float f) { return std::isnan(f) ? 0x7FC00000u : std::bit_cast<std::uint32_t>(f); }

void check_range(std::uint64_t first, std::uint64_t last, Tally& t) {
  constexpr std::size_t kChunk = 4096;
  float x[kChunk], many_sin[kChunk], many_cos[kChunk], many_exp[kChunk];
  for (std::uint64_t chunk = first; chunk < last; chunk += kChunk) {
    const std::size_t n = static_cast<std::size_t>(last - chunk < kChunk ? last - chunk : kChunk);
    for (std::size_t j = 0; j < n; ++j) x[j] = std::bit_cast<float>(static_cast<std::uint32_t>(chunk + j));
    velmora::sincos_f_many({x, n}, {many_sin, n}, {many_cos, n});
    velmora::exp_f_many({x, n}, {many_exp, n});
    for (std::size_t j = 0; j < n; ++j) {
      const std::uint64_t b = chunk + j;
      const float ours[3] = {velmora::sin_f(x[j]), velmora::cos_f(x[j]), velmora::exp_f(x[j])};
      const double xd = x[j];
      const float reference[3] = {static_cast<float>(std::sin(xd)), static_cast<float>(std::cos(xd)),
                                  static_cast<float>(std::exp(xd))};
      const float batch[3] = {many_sin[j], many_cos[j], many_exp[j]};
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t o = canonical(ours[k]);
        if (o != canonical(reference[k])) ++t.differ[k];
        if (o != canonical(batch[k])) ++t.batch_differ;
        t.hash[k] = (t.hash[k] ^ o) * 1099511628211ull + (b & 0xFF);
      }
      ++t.checked;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t first = 0, last = std::uint64_t{1} << 32;
  if (argc == 3) {
    first = std::strtoull(argv[1], nullptr, 0);
    last = std::strtoull(argv[2], nullptr, 0);
  }
  // Blocks of 2^24 patterns, hashed in order so the result does not depend
  // on how the blocks were shared out among threads.
  constexpr std::uint64_t kBlock = std::uint64_t{1} << 24;
  const std::uint64_t blocks = (last - first + kBlock - 1) / kBlock;
  std::vector<Tally> tallies(blocks);
  const unsigned workers = std::thread::hardware_concurrency() > 0 ? std::thread::hardware_concurrency() : 1;
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      for (std::uint64_t i = w; i < blocks; i += workers) {
        const std::uint64_t lo = first + i * kBlock;
        check_range(lo, lo + kBlock < last ? lo + kBlock : last, tallies[i]);
      }
    });
  }
  for (std::thread& t : threads) t.join();

  Tally total;
  std::uint64_t hash = 1469598103934665603ull;
  for (const Tally& t : tallies) {
    total.checked += t.checked;
    total.batch_differ += t.batch_differ;
    for (int k = 0; k < 3; ++k) {
      total.differ[k] += t.differ[k];
      hash = (hash ^ t.hash[k]) * 1099511628211ull;
    }
  }
  std::printf("checked %llu floats\n", static_cast<unsigned long long>(total.checked));
  std::printf("differ from the double-precision library rounded to float: sin %llu, cos %llu, exp %llu\n",
              static_cast<unsigned long long>(total.differ[0]), static_cast<unsigned long long>(total.differ[1]),
              static_cast<unsigned long long>(total.differ[2]));
  std::printf("batch results that differ from single ones: %llu\n",
              static_cast<unsigned long long>(total.batch_differ));
  std::printf("hash of all results: %016llx\n", static_cast<unsigned long long>(hash));
  return total.differ[0] + total.differ[1] + total.differ[2] + total.batch_differ == 0 ? 0 : 1;
}
