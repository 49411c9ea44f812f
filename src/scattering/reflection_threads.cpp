// Chunked delivery of the reflection loop's values.
#include "scattering/reflection_threads.hpp"

#include <algorithm>
#include <vector>

namespace velmora {
namespace {

// About this many atom-reflection terms per chunk: large enough that handing
// a chunk over costs nothing in comparison, small enough that the first rows
// appear at once.
constexpr std::size_t kTermsPerChunk = 1 << 16;
constexpr std::size_t kMaxChunk = 1024;

std::size_t chunk_size(const ReflectionLoop& loop) {
  const std::size_t terms = std::max<std::size_t>(loop.terms_per_reflection(), 1);
  return std::clamp<std::size_t>(kTermsPerChunk / terms, 1, kMaxChunk);
}

}  // namespace

void for_each_reflection(const ReflectionLoop& loop, int /*threads*/,
                         const std::function<void(const ReflectionValues&)>& consume) {
  const std::size_t total = loop.reflections();
  std::vector<ReflectionValues> chunk(std::min(chunk_size(loop), total));
  for (std::size_t first = 0; first < total; first += chunk.size()) {
    const std::span<ReflectionValues> values(chunk.data(), std::min(chunk.size(), total - first));
    loop.compute(first, values);
    for (const ReflectionValues& v : values) consume(v);
  }
}

}  // namespace velmora
