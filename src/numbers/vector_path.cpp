// The choice among the baseline, AVX2 and AVX-512 batch kernels, made once
// from the processor's features and kept in an atomic so that any thread may
// read it.
#include "numbers/vector_path.hpp"

#include <algorithm>
#include <atomic>

namespace velmora {
namespace {

VectorPath widest_available() {
#ifdef VELMORA_X86_PATHS
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")) {
    return VectorPath::avx512;
  }
  if (__builtin_cpu_supports("avx2")) return VectorPath::avx2;
#endif
  return VectorPath::baseline;
}

std::atomic<VectorPath>& chosen() {
  static std::atomic<VectorPath> path{widest_available()};
  return path;
}

}  // namespace

VectorPath vector_path() { return chosen().load(std::memory_order_relaxed); }

VectorPath set_vector_path(VectorPath path) {
  path = std::min(path, widest_available());
  chosen().store(path, std::memory_order_relaxed);
  return path;
}

}  // namespace velmora
