// Unsigned integers of a few hundred bits, enough for exact arithmetic on any
// single-precision value scaled by powers of two and ten. They serve the
// shortest-digit printer and the decimal-to-float reader, both of which must
// be exact to the last bit.
#pragma once

#include <array>
#include <cstdint>

namespace velmora {

class BigUint {
 public:
  // 1280 bits. The largest numbers built are below 700 bits: a 25-bit
  // midpoint times 5^167 times 2^271 when reading the tiniest reals.
  static constexpr int kLimbs = 40;

  BigUint() = default;
  explicit BigUint(std::uint64_t value);

  bool is_zero() const { return size_ == 0; }
  int bit_length() const;

  void mul_small(std::uint32_t factor);
  void mul_pow10(int n);
  void mul_pow5(int n);
  void shift_left(int bits);
  void add(const BigUint& other);
  // Requires *this >= other.
  void sub(const BigUint& other);
  void add_small(std::uint32_t value);

  friend int compare(const BigUint& x, const BigUint& y);
  friend bool operator==(const BigUint& x, const BigUint& y) { return compare(x, y) == 0; }

 private:
  void trim();
  std::array<std::uint32_t, kLimbs> limb_{};
  int size_ = 0;  // limbs in use; limb_[size_ - 1] != 0 unless size_ == 0
};

int compare(const BigUint& x, const BigUint& y);

// x + y compared with z, without forming the sum in place.
int compare_sum(const BigUint& x, const BigUint& y, const BigUint& z);

}  // namespace velmora
