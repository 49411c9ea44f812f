// Tests that run once per instruction-set path of the batch kernels: each path is a test of
// its own, reported as skipped where the build or the processor lacks it, rather than
// quietly running a narrower path a second time. The widest path is chosen again after each.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "numbers/vector_path.hpp"

namespace velmora {

inline std::string vector_path_name(VectorPath path) {
  return path == VectorPath::avx512 ? "avx512" : path == VectorPath::avx2 ? "avx2" : "baseline";
}

// How a path appears in a test's name.
inline void PrintTo(VectorPath path, std::ostream* out) { *out << vector_path_name(path); }

class EachVectorPath : public ::testing::TestWithParam<VectorPath> {
 protected:
  void SetUp() override {
    if (set_vector_path(GetParam()) != GetParam()) {
      GTEST_SKIP() << "no " << vector_path_name(GetParam()) << " path in this build or on this processor";
    }
  }
  void TearDown() override { set_vector_path(VectorPath::avx512); }
};

}  // namespace velmora

// Instantiates the tests of a fixture derived from EachVectorPath for every path.
#define VELMORA_ON_EVERY_VECTOR_PATH(Fixture)                                                          \
  INSTANTIATE_TEST_SUITE_P(                                                                            \
      Path, Fixture,                                                                                   \
      ::testing::Values(velmora::VectorPath::baseline, velmora::VectorPath::avx2,                      \
                        velmora::VectorPath::avx512),                                                  \
      [](const ::testing::TestParamInfo<velmora::VectorPath>& info) { return velmora::vector_path_name(info.param); })
