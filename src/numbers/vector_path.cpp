// The choice between the baseline and the AVX2 batch kernels, made once from
// the processor's features and kept in an atomic so that any thread may read it.
#include "numbers/vector_path.hpp"

#include <atomic>

namespace velmora {
namespace {

bool avx2_available() {
#ifdef VELMORA_AVX2_PATH
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

std::atomic<VectorPath>& chosen() {
  static std::atomic<VectorPath> path{avx2_available() ? VectorPath::avx2 : VectorPath::baseline};
  return path;
}

}  // namespace

VectorPath vector_path() { return chosen().load(std::memory_order_relaxed); }

VectorPath set_vector_path(VectorPath path) {
  if (path == VectorPath::avx2 && !avx2_available()) path = VectorPath::baseline;
  chosen().store(path, std::memory_order_relaxed);
  return path;
}

}  // namespace velmora
