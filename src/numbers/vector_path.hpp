// The batch kernels (sine, cosine and exponential over many arguments, the
// reflection loop's lanes) are compiled twice on x86-64 Linux with GCC: for
// the baseline instruction set and for AVX2. The AVX2 code is taken when the
// processor has it. IEEE arithmetic gives the same bits either way, since the
// build never fuses a multiply and an add; tests force the baseline to show it.
#pragma once

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define VELMORA_AVX2_PATH 1
// A function compiled for AVX2, with everything it calls that can be inlined
// inlined into it, so compiled alike.
#define VELMORA_AVX2 __attribute__((target("avx2"), flatten))
#endif

namespace velmora {

enum class VectorPath { baseline, avx2 };

// The path taken: AVX2 when the build has it and the processor supports it,
// unless the baseline was forced.
VectorPath vector_path();

// Forces a path (avx2 only where it is available); returns the one taken.
VectorPath set_vector_path(VectorPath path);

}  // namespace velmora
