// Exhaustive check of the shortest-digit printer against the standard
// library's shortest std::to_chars over every finite float bit pattern (or a
// sub-range given on the command line). The two may only differ where the
// exact value lies halfway between two valid shortest strings: the printer
// then takes the upper digit, the library the even one. Every such difference
// is confirmed with exact integer arithmetic, and every printed digit string
// must read back as the same float.
//
// Usage: verify_shortest_digits [first_bits last_bits]   (inclusive, hex or decimal)
#include <bit>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "numbers/shortest_digits.hpp"

namespace {

float bits_float(std::uint32_t u) { return std::bit_cast<float>(u); }

std::uint32_t float_bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Digits and decimal exponent of the first digit, as the printer gives them.
struct Digits {
  std::string digits;
  int exponent = 0;
};

// The library's shortest form in scientific notation, e.g. "1.2345e+07".
Digits library_shortest(float value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string text(buf, res.ptr);
  Digits out;
  std::size_t pos = text[0] == '-' ? 1 : 0;
  std::size_t e_pos = text.find('e');
  for (std::size_t i = pos; i < e_pos; ++i) {
    if (text[i] != '.') out.digits += text[i];
  }
  out.exponent = std::atoi(text.c_str() + e_pos + 1);
  return out;
}

// Reads digits * 10^(exponent - count + 1) back with the library's correctly
// rounded reader.
bool reads_back_as(const Digits& d, float magnitude) {
  std::string text = d.digits + "e" + std::to_string(d.exponent - static_cast<int>(d.digits.size()) + 1);
  float back = 0.0f;
  auto res = std::from_chars(text.data(), text.data() + text.size(), back);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return false;
  return float_bits(back) == float_bits(magnitude);
}

// Minimal exact unsigned arithmetic, independent of the program's own.
using Natural = std::vector<std::uint32_t>;  // little-endian limbs

void multiply_small(Natural& x, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::uint32_t& limb : x) {
    std::uint64_t p = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(p);
    carry = p >> 32;
  }
  if (carry != 0) x.push_back(static_cast<std::uint32_t>(carry));
}

Natural natural_from_decimal(const std::string& digits) {
  Natural x;
  for (char c : digits) {
    multiply_small(x, 10);
    std::uint64_t carry = static_cast<std::uint64_t>(c - '0');
    for (std::size_t i = 0; carry != 0; ++i) {
      if (i == x.size()) x.push_back(0);
      std::uint64_t s = x[i] + carry;
      x[i] = static_cast<std::uint32_t>(s);
      carry = s >> 32;
    }
  }
  return x;
}

int compare_natural(Natural x, Natural y) {
  while (!x.empty() && x.back() == 0) x.pop_back();
  while (!y.empty() && y.back() == 0) y.pop_back();
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  for (std::size_t i = x.size(); i-- > 0;) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return 0;
}

// Sign of (magnitude of value) - (decimal digits) * 10^power, exactly.
int compare_exact(float value, const std::string& decimal_digits, int power) {
  std::uint32_t bits = float_bits(value) & 0x7FFFFFFFu;
  std::uint32_t biased = bits >> 23;
  std::uint32_t m = bits & 0x7FFFFFu;
  int q = -149;
  if (biased != 0) {
    m |= 0x800000u;
    q = static_cast<int>(biased) - 150;
  }
  // m * 2^q against n * 2^power * 5^power: move negative powers across.
  Natural lhs{m};
  Natural rhs = natural_from_decimal(decimal_digits);
  int twos = q - power;
  for (int i = 0; i < (power > 0 ? power : -power); ++i) multiply_small(power > 0 ? rhs : lhs, 5);
  for (int i = 0; i < (twos > 0 ? twos : -twos); ++i) multiply_small(twos > 0 ? lhs : rhs, 2);
  return compare_natural(lhs, rhs);
}

// Adds one unit to the last digit of a decimal string of the same length
// (the caller ensures there is no carry out of the first digit).
std::string plus_one_unit(std::string digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return digits;
    }
    digits[i] = '0';
  }
  return "1" + digits;
}

enum class Verdict { same, tie, unexplained };

struct Example {
  std::uint32_t bits;
  Digits ours;
  Digits library;
};

struct Tally {
  std::uint64_t checked = 0;
  std::uint64_t differences = 0;
  std::uint64_t explained_ties = 0;
  std::uint64_t not_round_trip = 0;
  std::vector<Example> tie_examples;
  std::vector<Example> bad_examples;
};

// A difference is explained when the printer's digits are the library's plus
// one unit in the last place, both read back to the value, and the value lies
// exactly halfway between them (the library's even choice and the printer's
// upward choice are then the two halves of one tie).
bool is_explained_tie(float magnitude, const Digits& ours, const Digits& library) {
  if (ours.digits.size() != library.digits.size() || ours.exponent != library.exponent) return false;
  if (plus_one_unit(library.digits) != ours.digits) return false;
  if (!reads_back_as(ours, magnitude) || !reads_back_as(library, magnitude)) return false;
  // Halfway point: the library's digits followed by a 5, one place further.
  int power = library.exponent - static_cast<int>(library.digits.size());
  return compare_exact(magnitude, library.digits + "5", power) == 0;
}

constexpr std::size_t kExamplesKept = 5;

void check_range(std::uint64_t first, std::uint64_t last, Tally& tally,
                 std::atomic<std::uint64_t>& progress) {
  std::uint64_t since_report = 0;
  for (std::uint64_t b = first; b <= last; ++b) {
    std::uint32_t bits = static_cast<std::uint32_t>(b);
    if ((bits & 0x7F800000u) == 0x7F800000u) {
      // Infinities and NaNs: skip the whole block of this exponent and sign.
      b = (b | 0x7FFFFFu);
      continue;
    }
    float value = bits_float(bits);
    float magnitude = bits_float(bits & 0x7FFFFFFFu);
    velmora::ShortestDigits sd = velmora::shortest_digits(value);
    Digits ours{std::string(sd.digits, static_cast<std::size_t>(sd.count)), sd.exponent};
    ++tally.checked;
    if (++since_report == (1u << 20)) {
      progress += since_report;
      since_report = 0;
    }
    if (!reads_back_as(ours, magnitude)) {
      ++tally.not_round_trip;
      if (tally.bad_examples.size() < kExamplesKept)
        tally.bad_examples.push_back({bits, ours, library_shortest(value)});
      continue;
    }
    Digits library = library_shortest(value);
    if (ours.digits == library.digits && ours.exponent == library.exponent) continue;
    ++tally.differences;
    if (is_explained_tie(magnitude, ours, library)) {
      ++tally.explained_ties;
      if (tally.tie_examples.size() < kExamplesKept) tally.tie_examples.push_back({bits, ours, library});
    } else if (tally.bad_examples.size() < kExamplesKept) {
      tally.bad_examples.push_back({bits, ours, library});
    }
  }
  progress += since_report;
}

void print_example(const Example& ex) {
  std::printf("  bits 0x%08" PRIX32 " (%.9g): printer %se%d, library %se%d\n", ex.bits,
              static_cast<double>(bits_float(ex.bits)), ex.ours.digits.c_str(), ex.ours.exponent,
              ex.library.digits.c_str(), ex.library.exponent);
}

bool parse_bits(const char* text, std::uint64_t& out) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 0);
  if (end == text || *end != '\0' || v > 0xFFFFFFFFull) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t first = 0;
  std::uint64_t last = 0xFFFFFFFFull;
  if (argc == 3) {
    if (!parse_bits(argv[1], first) || !parse_bits(argv[2], last) || first > last) {
      std::fprintf(stderr, "usage: %s [first_bits last_bits]\n", argv[0]);
      return 2;
    }
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: %s [first_bits last_bits]\n", argv[0]);
    return 2;
  }

  auto start = std::chrono::steady_clock::now();
  constexpr int kThreads = 2;
  std::vector<Tally> tallies(kThreads);
  std::vector<std::thread> threads;
  std::atomic<std::uint64_t> progress{0};
  // Interleaved blocks keep both threads busy on comparable mixes of
  // exponents (small and large values cost differently).
  constexpr std::uint64_t kBlock = 1u << 16;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (std::uint64_t block = first + static_cast<std::uint64_t>(t) * kBlock; block <= last;
           block += kThreads * kBlock) {
        check_range(block, std::min(last, block + kBlock - 1), tallies[static_cast<std::size_t>(t)],
                    progress);
      }
    });
  }
  std::uint64_t total = last - first + 1;
  std::thread reporter;
  std::atomic<bool> done{false};
  reporter = std::thread([&] {
    auto next = std::chrono::steady_clock::now();
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (std::chrono::steady_clock::now() < next) continue;
      next += std::chrono::seconds(60);
      double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::fprintf(stderr, "progress: %" PRIu64 " of at most %" PRIu64 " values, %.0f s\n", progress.load(),
                   total, seconds);
    }
  });
  for (std::thread& th : threads) th.join();
  done = true;
  reporter.join();

  Tally sum;
  for (const Tally& t : tallies) {
    sum.checked += t.checked;
    sum.differences += t.differences;
    sum.explained_ties += t.explained_ties;
    sum.not_round_trip += t.not_round_trip;
    for (const Example& ex : t.tie_examples) sum.tie_examples.push_back(ex);
    for (const Example& ex : t.bad_examples) sum.bad_examples.push_back(ex);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("range 0x%08" PRIX64 "..0x%08" PRIX64 ": %" PRIu64 " finite values checked in %.1f s\n", first,
              last, sum.checked, seconds);
  std::printf("differences from std::to_chars: %" PRIu64 "\n", sum.differences);
  std::printf("explained ties (exactly halfway, upper digit taken): %" PRIu64 "\n", sum.explained_ties);
  std::printf("unexplained differences: %" PRIu64 "\n", sum.differences - sum.explained_ties);
  std::printf("digit strings not reading back as the value: %" PRIu64 "\n", sum.not_round_trip);
  if (!sum.tie_examples.empty()) {
    std::printf("tie examples:\n");
    for (std::size_t i = 0; i < sum.tie_examples.size() && i < kExamplesKept; ++i)
      print_example(sum.tie_examples[i]);
  }
  if (!sum.bad_examples.empty()) {
    std::printf("failures:\n");
    for (std::size_t i = 0; i < sum.bad_examples.size() && i < kExamplesKept; ++i)
      print_example(sum.bad_examples[i]);
  }
  bool ok = sum.differences == sum.explained_ties && sum.not_round_trip == 0;
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
