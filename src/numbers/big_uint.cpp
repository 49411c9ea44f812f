// Exact unsigned arithmetic for the number kernels. Capacity overflow would be
// a programming error: the callers bound their operands well inside kLimbs.
#include "numbers/big_uint.hpp"

#include <cassert>

namespace velmora {

BigUint::BigUint(std::uint64_t value) {
  limb_[0] = static_cast<std::uint32_t>(value);
  limb_[1] = static_cast<std::uint32_t>(value >> 32);
  size_ = 2;
  trim();
}

void BigUint::trim() {
  while (size_ > 0 && limb_[size_ - 1] == 0) --size_;
}

int BigUint::bit_length() const {
  if (size_ == 0) return 0;
  int bits = (size_ - 1) * 32;
  for (std::uint32_t top = limb_[size_ - 1]; top != 0; top >>= 1) ++bits;
  return bits;
}

void BigUint::mul_small(std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (int i = 0; i < size_; ++i) {
    std::uint64_t p = static_cast<std::uint64_t>(limb_[i]) * factor + carry;
    limb_[i] = static_cast<std::uint32_t>(p);
    carry = p >> 32;
  }
  if (carry != 0) {
    assert(size_ < kLimbs);
    limb_[size_++] = static_cast<std::uint32_t>(carry);
  }
  trim();
}

void BigUint::mul_pow10(int n) {
  for (; n >= 9; n -= 9) mul_small(1000000000u);
  static constexpr std::uint32_t small[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
  if (n > 0) mul_small(small[n]);
}

void BigUint::mul_pow5(int n) {
  for (; n >= 13; n -= 13) mul_small(1220703125u);  // 5^13
  std::uint32_t p = 1;
  for (; n > 0; --n) p *= 5;
  if (p != 1) mul_small(p);
}

void BigUint::shift_left(int bits) {
  if (size_ == 0 || bits == 0) return;
  int words = bits / 32;
  int rest = bits % 32;
  assert(size_ + words + 1 <= kLimbs);
  if (rest == 0) {
    for (int i = size_ - 1; i >= 0; --i) limb_[i + words] = limb_[i];
  } else {
    limb_[size_ + words] = 0;
    for (int i = size_ - 1; i >= 0; --i) {
      limb_[i + words + 1] |= limb_[i] >> (32 - rest);
      limb_[i + words] = limb_[i] << rest;
    }
  }
  for (int i = 0; i < words; ++i) limb_[i] = 0;
  size_ += words + 1;
  trim();
}

void BigUint::add(const BigUint& other) {
  int n = size_ > other.size_ ? size_ : other.size_;
  std::uint64_t carry = 0;
  for (int i = 0; i < n; ++i) {
    std::uint64_t s = carry + limb_[i] + (i < other.size_ ? other.limb_[i] : 0u);
    limb_[i] = static_cast<std::uint32_t>(s);
    carry = s >> 32;
  }
  size_ = n;
  if (carry != 0) {
    assert(size_ < kLimbs);
    limb_[size_++] = static_cast<std::uint32_t>(carry);
  }
}

void BigUint::add_small(std::uint32_t value) {
  std::uint64_t carry = value;
  for (int i = 0; carry != 0; ++i) {
    if (i == size_) {
      assert(size_ < kLimbs);
      limb_[size_++] = 0;
    }
    std::uint64_t s = carry + limb_[i];
    limb_[i] = static_cast<std::uint32_t>(s);
    carry = s >> 32;
  }
}

void BigUint::sub(const BigUint& other) {
  std::int64_t borrow = 0;
  for (int i = 0; i < size_; ++i) {
    std::int64_t d = static_cast<std::int64_t>(limb_[i]) - borrow -
                     (i < other.size_ ? static_cast<std::int64_t>(other.limb_[i]) : 0);
    borrow = d < 0 ? 1 : 0;
    limb_[i] = static_cast<std::uint32_t>(d + (borrow << 32));
  }
  assert(borrow == 0);
  trim();
}

int compare(const BigUint& x, const BigUint& y) {
  if (x.size_ != y.size_) return x.size_ < y.size_ ? -1 : 1;
  for (int i = x.size_ - 1; i >= 0; --i) {
    if (x.limb_[i] != y.limb_[i]) return x.limb_[i] < y.limb_[i] ? -1 : 1;
  }
  return 0;
}

int compare_sum(const BigUint& x, const BigUint& y, const BigUint& z) {
  BigUint sum = x;
  sum.add(y);
  return compare(sum, z);
}

}  // namespace velmora
