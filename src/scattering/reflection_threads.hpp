// Runs the reflection loop over all reflections in contiguous chunks and
// hands every reflection's values to a consumer, strictly in input order.
// With more than one thread, a small pool computes the chunks ahead while
// the calling thread consumes them; memory is bounded by the chunks in flight.
#pragma once

#include <functional>

#include "scattering/reflection_loop.hpp"

namespace velmora {

// The one thread policy of every program and test that computes reflections:
// VELMORA_THREADS when it holds a whole number from 1 to kMostThreads (1: no
// thread is started), else as many as the hardware runs at once. The values
// are the same for every count.
inline constexpr int kMostThreads = 256;
int reflection_threads();

// The values of every reflection, in input order, to consume (called on the
// calling thread only). threads <= 1 computes on the calling thread alone.
// When consume throws, the workers are stopped and joined and the exception
// goes on to the caller; no value is handed over after it.
void for_each_reflection(const ReflectionLoop& loop, int threads,
                         const std::function<void(const ReflectionValues&)>& consume);

}  // namespace velmora
