// The batch kernels (sine, cosine and exponential over many arguments, the
// reflection loop's lanes) are compiled three times on x86-64 Linux with GCC:
// for the baseline instruction set, for AVX2 and for AVX-512. The widest the
// processor has is taken. IEEE arithmetic gives the same bits either way,
// since the build never fuses a multiply and an add; tests force each path
// to show it.
#pragma once

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define VELMORA_X86_PATHS 1
// Functions compiled for AVX2 or AVX-512, with everything they call that can
// be inlined inlined into them, so compiled alike. AVX-512 code also uses the
// full 512-bit registers for loops the compiler vectorizes.
#define VELMORA_AVX2 __attribute__((target("avx2"), flatten))
#define VELMORA_AVX512 \
  __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw,prefer-vector-width=512"), flatten))
#endif

namespace velmora {

enum class VectorPath { baseline, avx2, avx512 };

// The path taken: the widest the build has and the processor supports,
// unless a narrower one was forced.
VectorPath vector_path();

// Forces a path, or the widest available below it; returns the one taken.
VectorPath set_vector_path(VectorPath path);

}  // namespace velmora
