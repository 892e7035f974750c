#pragma once

#include <cstdint>
#include <cstring>

// Dequantisation and inverse DCT of 8 x 8 blocks.
//
// Fast path: AAN transform in 16-bit arithmetic that wraps on overflow; the quantisation table is stored in
// natural order, pre-multiplied by the AAN scale factors. Its output is defined bit for bit by the scalar
// version; the SSE2 version produces the same bytes.

namespace qern {

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
// For blocks whose non-zero coefficients all lie in rows 0-3 and columns 0-3 (zigzag index 9 or less).
void FastIdctSse2Low(const int16_t* coef, const int16_t* table, uint8_t* out, int stride);
#endif
// The decoder's choice: SSE2 where available.
void FastIdct(const int16_t* coef, const int16_t* table, uint8_t* out, int stride);
void FastIdctLow(const int16_t* coef, const int16_t* table, uint8_t* out, int stride);
// Zigzag indexes 0..kLowLast lie in the top-left 4 x 4 quarter of a block.
constexpr int kLowLast = 9;

// Fast path for a block whose only non-zero coefficient is the DC value: the same bytes as FastIdct.
inline void FastIdctDcOnly(int16_t dc, int16_t q, uint8_t* out, int stride) {
    const int32_t d = static_cast<int16_t>(static_cast<uint16_t>(static_cast<int32_t>(dc) * q));
    const int32_t v = (d >> 5) + 128;
    const uint8_t sample = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    const uint64_t row = 0x0101010101010101ull * sample;
    for (int y = 0; y < 8; ++y) std::memcpy(out + y * stride, &row, 8);
}

// Fast path over the blocks of a sequential MCU row (coefficients and samples 64 per block, one after the
// other), each with the table tables[b mod blocksPerMcu] and the variant its `last` zigzag index allows.
// Clears the coefficients for the next row.
void TransformRow(int16_t* coef, const uint8_t* last, uint8_t* out, int blocks, const int16_t* const* tables,
                  int blocksPerMcu);

// Plain path: coefficients already dequantised (natural order); `scratch` holds 64 values.
void PlainIdct(const int16_t* coef, int16_t* scratch, uint8_t* out, int stride);

}  // namespace jpegidct

}  // namespace qern
