#pragma once

// The SSE2 kernels are also built for AVX2 machines on 64-bit Linux, chosen when the program loads: the
// same operations, encoded with three operands (fewer register copies). Windows builds use SSE2 only.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define JPEG_SIMD_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define JPEG_SIMD_CLONES
#endif
