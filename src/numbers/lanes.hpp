// Lanes: eight single-precision values worked on side by side, one per
// reflection, with exactly the IEEE operations that one value would get;
// widen and narrow are the conversions to double and back (one rounding).
// The same formulas, written once as templates over Real, serve one float and
// a set of lanes. Everything that takes or gives lanes is always inlined:
// lanes wider than the baseline's registers pass between functions
// differently in baseline and in AVX code, so they must never cross a call
// between the two (in optimised and unoptimised builds alike).
#pragma once

#include <cstring>
#include <type_traits>

namespace velmora {

// Eight lanes fill an AVX-512 register with doubles (two AVX2 registers);
// narrower paths take the same lanes in more instructions.
inline constexpr int kLanes = 8;
// The spreads below are written out lane by lane: a plain initializer
// compiles to one broadcast, where a generated one did not.
static_assert(kLanes == 8, "write the spreads for the new number of lanes");

using FloatLanes = float __attribute__((vector_size(kLanes * sizeof(float))));
using DoubleLanes = double __attribute__((vector_size(kLanes * sizeof(double))));

[[gnu::always_inline]] inline double widen(float x) { return x; }
[[gnu::always_inline]] inline float narrow(double x) { return static_cast<float>(x); }
[[gnu::always_inline]] inline DoubleLanes widen(FloatLanes x) {
  return __builtin_convertvector(x, DoubleLanes);
}
[[gnu::always_inline]] inline FloatLanes narrow(DoubleLanes x) {
  return __builtin_convertvector(x, FloatLanes);
}

// x in double, in every lane of Real's double counterpart (converted once,
// exactly, then spread).
template <typename Real>
[[gnu::always_inline]] inline auto widen_each(float x) {
  if constexpr (std::is_same_v<Real, float>) {
    return static_cast<double>(x);
  } else {
    return widen(FloatLanes{x, x, x, x, x, x, x, x});
  }
}

// A double in every lane.
template <typename Real>
[[gnu::always_inline]] inline auto spread(double x) {
  if constexpr (std::is_same_v<Real, float>) {
    return x;
  } else {
    return DoubleLanes{x, x, x, x, x, x, x, x};
  }
}

// kLanes floats from memory (any alignment), and back.
[[gnu::always_inline]] inline FloatLanes load_lanes(const float* p) {
  FloatLanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
[[gnu::always_inline]] inline void store_lanes(float* p, FloatLanes v) { std::memcpy(p, &v, sizeof v); }

}  // namespace velmora
