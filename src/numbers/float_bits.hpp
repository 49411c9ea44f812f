// The layout of an IEEE single-precision value, in one place for the number
// kernels: 1 sign bit, 8 exponent bits biased by 127, 23 stored mantissa bits.
// A finite magnitude is an integer mantissa times a power of two, with the
// hidden leading 1 restored for normal values.
#pragma once

#include <bit>
#include <cstdint>

namespace velmora {

inline constexpr std::uint32_t kFloatMagnitudeBits = 0x7FFFFFFFu;  // all but the sign
inline constexpr std::uint32_t kFloatStoredMantissa = 0x7FFFFFu;   // the 23 stored bits
inline constexpr std::uint32_t kFloatHiddenBit = 0x800000u;        // the leading 1 of a normal value
inline constexpr std::uint32_t kLargestFiniteFloatBits = 0x7F7FFFFFu;
// The exponent of the subnormals' mantissa, and of the smallest normals'.
inline constexpr int kFloatLeastExponent = -149;

inline std::uint32_t float_bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// |value| = mantissa * 2^exponent, for the bits of a finite value (the sign is ignored).
struct FloatParts {
  std::uint32_t mantissa;  // below 2^24
  int exponent;            // kFloatLeastExponent to 104
};

constexpr FloatParts float_parts(std::uint32_t bits) {
  const std::uint32_t biased = (bits >> 23) & 0xFFu;
  const std::uint32_t stored = bits & kFloatStoredMantissa;
  if (biased == 0) return {stored, kFloatLeastExponent};
  return {stored | kFloatHiddenBit, static_cast<int>(biased) - 150};
}

}  // namespace velmora
