// Tests run once per instruction-set path of the batch kernels, each path a test of its own,
// skipped (so listed as skipped) where the build or the processor lacks it rather than quietly
// running a narrower path again. The widest path is chosen again after each.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "numbers/vector_path.hpp"

namespace velmora {

inline const char* vector_path_name(VectorPath p) {
  return p == VectorPath::avx512 ? "avx512" : p == VectorPath::avx2 ? "avx2" : "baseline";
}
inline void PrintTo(VectorPath path, std::ostream* out) { *out << vector_path_name(path); }

class EachVectorPath : public ::testing::TestWithParam<VectorPath> {
  void SetUp() override {
    if (set_vector_path(GetParam()) != GetParam()) GTEST_SKIP() << "no such path in this build or processor";
  }
  void TearDown() override { set_vector_path(VectorPath::avx512); }
};

}  // namespace velmora

#define VELMORA_ON_EVERY_VECTOR_PATH(Fixture)                                     \
  INSTANTIATE_TEST_SUITE_P(                                                       \
      Path, Fixture,                                                              \
      ::testing::Values(velmora::VectorPath::baseline, velmora::VectorPath::avx2, \
                        velmora::VectorPath::avx512),                             \
      [](const auto& info) { return std::string(velmora::vector_path_name(info.param)); })
