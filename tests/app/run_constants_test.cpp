// The run's two constants must be these exact single-precision numbers: every
// printed angle, phase and magnetic intensity depends on their last bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "app/run_state.hpp"

namespace {

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

TEST(RunConstants, PiIsTheSinglePrecisionPi) { EXPECT_EQ(bits(velmora::kPi), 0x40490FDBu); }

TEST(RunConstants, MagneticScatteringConstantIsPoint27) { EXPECT_EQ(bits(velmora::kEg2mc), 0x3E8A3D71u); }

}  // namespace
