#pragma once

#include <cstdint>

// Dequantisation and inverse DCT of 8 x 8 blocks.
//
// Fast path: AAN transform in 16-bit arithmetic that wraps on overflow; the quantisation table is stored in
// natural order, pre-multiplied by the AAN scale factors. Its output is defined bit for bit by the scalar
// version; the SSE2 version produces the same bytes.
// Plain path: accurate integer transform (13-bit constants, 32-bit arithmetic) of dequantised coefficients.
namespace jpegidct {

// AAN scale factors in natural order: round(16384 * s(u) * s(v)), s(0) = 1, s(k) = sqrt(2) cos(k pi / 16).
extern const int16_t kAanScale[64];

// Fast-path table entry for DQT value q at natural position n.
inline int16_t FastQuant(int n, uint32_t q) {
    return static_cast<int16_t>((static_cast<int64_t>(kAanScale[n]) * q + 2048) >> 12);
}

// Fast path: coefficients (natural order) times table, then the transform; writes 8 rows of 8 samples to
// out + row * stride.
void FastIdctScalar(const int16_t* coef, const int16_t* table, uint8_t* out, int stride);
#if defined(__SSE2__)
void FastIdctSse2(const int16_t* coef, const int16_t* table, uint8_t* out, int stride);
#endif
// The decoder's choice: SSE2 where available.
void FastIdct(const int16_t* coef, const int16_t* table, uint8_t* out, int stride);

// Plain path: coefficients already dequantised (natural order); `scratch` holds 64 values.
void PlainIdct(const int16_t* coef, int16_t* scratch, uint8_t* out, int stride);

}  // namespace jpegidct
