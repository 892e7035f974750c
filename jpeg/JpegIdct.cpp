#include "jpeg/JpegIdct.h"
#include "jpeg/JpegSimd.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qern {

namespace jpegidct {

const int16_t kAanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520, 22725, 31521, 29692, 26722, 22725, 17855, 12299, 6270,
    21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906, 19266, 26722, 25172, 22654, 19266, 15137, 10426, 5315,
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520, 12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,
    8867,  12299, 11585, 10426, 8867,  6967,  4799,  2446, 4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247,
};

namespace {

// All fast-path arithmetic is on 16-bit values that wrap.
inline int16_t W(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

inline int16_t Mul(int16_t x, int16_t c) {
    const int16_t x4 = W(static_cast<int32_t>(static_cast<uint16_t>(static_cast<uint16_t>(x) << 2)));
    return W((static_cast<int32_t>(x4) * c) >> 16);
}

constexpr int16_t kC23170 = 23170;
constexpr int16_t kC30273 = 30273;
constexpr int16_t kCm12540 = -12540;
constexpr int16_t kCm30353 = -30353;

inline void Butterfly(const int16_t in[8], int16_t out[8]) {
    const int16_t t10 = W(in[0] + in[4]);
    const int16_t t11 = W(in[0] - in[4]);
    const int16_t t13 = W(in[2] + in[6]);
    const int16_t t12 = W(Mul(W(in[2] - in[6]), kC23170) - t13);
    const int16_t e0 = W(t10 + t13);
    const int16_t e3 = W(t10 - t13);
    const int16_t e1 = W(t11 + t12);
    const int16_t e2 = W(t11 - t12);

    const int16_t z13 = W(in[5] + in[3]);
    const int16_t z10 = W(in[5] - in[3]);
    const int16_t z11 = W(in[1] + in[7]);
    const int16_t z12 = W(in[1] - in[7]);
    const int16_t o7 = W(z11 + z13);
    const int16_t u11 = Mul(W(z11 - z13), kC23170);
    const int16_t u10 = W(Mul(z10, kCm30353) + Mul(z12, kCm12540));
    const int16_t u12 = W(Mul(z10, kCm12540) + Mul(z12, kC30273));
    const int16_t o6 = W(u12 - o7);
    const int16_t o5 = W(u11 - o6);
    const int16_t o4 = W(u10 + o5);

    out[0] = W(e0 + o7);
    out[1] = W(e1 + o6);
    out[2] = W(e2 + o5);
    out[3] = W(e3 - o4);
    out[4] = W(e3 + o4);
    out[5] = W(e2 - o5);
    out[6] = W(e1 - o6);
    out[7] = W(e0 - o7);
}

inline uint8_t FastSample(int16_t x) {
    int32_t v = (x >> 5) + 128;  // cannot leave the 16-bit range, so saturation never applies
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

inline uint8_t Clamp255(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

void FastIdctScalar(const int16_t* coef, const int16_t* table, uint8_t* out, int stride) {
    int16_t work[64];
    for (int col = 0; col < 8; ++col) {
        int16_t in[8];
        int16_t res[8];
        for (int row = 0; row < 8; ++row) in[row] = W(static_cast<int32_t>(coef[row * 8 + col]) * table[row * 8 + col]);
        Butterfly(in, res);
        for (int row = 0; row < 8; ++row) work[row * 8 + col] = res[row];
    }
    for (int row = 0; row < 8; ++row) {
        int16_t res[8];
        Butterfly(work + row * 8, res);
        uint8_t* o = out + row * stride;
        for (int i = 0; i < 8; ++i) o[i] = FastSample(res[i]);
    }
}

#if defined(__SSE2__)

namespace {

struct Vec8 {
    __m128i v[8];
};

inline __m128i MulV(__m128i x, __m128i c) { return _mm_mulhi_epi16(_mm_slli_epi16(x, 2), c); }

// The second half of the butterfly from the odd-part terms z10..z13 and the even results e0..e3.
inline void ButterflyTail(Vec8& a, __m128i z10, __m128i z11, __m128i z12, __m128i z13, __m128i e0, __m128i e1,
                          __m128i e2, __m128i e3) {
    const __m128i c23170 = _mm_set1_epi16(23170);
    const __m128i c30273 = _mm_set1_epi16(30273);
    const __m128i cm12540 = _mm_set1_epi16(-12540);
    const __m128i cm30353 = _mm_set1_epi16(-30353);
    const __m128i o7 = _mm_add_epi16(z11, z13);
    const __m128i u11 = MulV(_mm_sub_epi16(z11, z13), c23170);
    const __m128i u10 = _mm_add_epi16(MulV(z10, cm30353), MulV(z12, cm12540));
    const __m128i u12 = _mm_add_epi16(MulV(z10, cm12540), MulV(z12, c30273));
    const __m128i o6 = _mm_sub_epi16(u12, o7);
    const __m128i o5 = _mm_sub_epi16(u11, o6);
    const __m128i o4 = _mm_add_epi16(u10, o5);

    a.v[0] = _mm_add_epi16(e0, o7);
    a.v[7] = _mm_sub_epi16(e0, o7);
    a.v[1] = _mm_add_epi16(e1, o6);
    a.v[6] = _mm_sub_epi16(e1, o6);
    a.v[2] = _mm_add_epi16(e2, o5);
    a.v[5] = _mm_sub_epi16(e2, o5);
    a.v[3] = _mm_sub_epi16(e3, o4);
    a.v[4] = _mm_add_epi16(e3, o4);
}

// Eight butterflies at once: lane i of v[k] is input k of butterfly i.
inline void ButterflyV(Vec8& a) {
    const __m128i t10 = _mm_add_epi16(a.v[0], a.v[4]);
    const __m128i t11 = _mm_sub_epi16(a.v[0], a.v[4]);
    const __m128i t13 = _mm_add_epi16(a.v[2], a.v[6]);
    const __m128i t12 = _mm_sub_epi16(MulV(_mm_sub_epi16(a.v[2], a.v[6]), _mm_set1_epi16(23170)), t13);
    ButterflyTail(a, _mm_sub_epi16(a.v[5], a.v[3]), _mm_add_epi16(a.v[1], a.v[7]), _mm_sub_epi16(a.v[1], a.v[7]),
                  _mm_add_epi16(a.v[5], a.v[3]), _mm_add_epi16(t10, t13), _mm_add_epi16(t11, t12),
                  _mm_sub_epi16(t11, t12), _mm_sub_epi16(t10, t13));
}

// The butterfly with inputs 4..7 zero: the same operations with the zero terms left out, so the same bits.
inline void ButterflyLowV(Vec8& a) {
    const __m128i c0 = a.v[0], c1 = a.v[1], c2 = a.v[2], c3 = a.v[3];
    const __m128i t12 = _mm_sub_epi16(MulV(c2, _mm_set1_epi16(23170)), c2);
    ButterflyTail(a, _mm_sub_epi16(_mm_setzero_si128(), c3), c1, c1, c3, _mm_add_epi16(c0, c2), _mm_add_epi16(c0, t12),
                  _mm_sub_epi16(c0, t12), _mm_sub_epi16(c0, c2));
}

inline void Transpose(Vec8& a) {
    const __m128i a0 = _mm_unpacklo_epi16(a.v[0], a.v[1]);
    const __m128i a1 = _mm_unpackhi_epi16(a.v[0], a.v[1]);
    const __m128i a2 = _mm_unpacklo_epi16(a.v[2], a.v[3]);
    const __m128i a3 = _mm_unpackhi_epi16(a.v[2], a.v[3]);
    const __m128i a4 = _mm_unpacklo_epi16(a.v[4], a.v[5]);
    const __m128i a5 = _mm_unpackhi_epi16(a.v[4], a.v[5]);
    const __m128i a6 = _mm_unpacklo_epi16(a.v[6], a.v[7]);
    const __m128i a7 = _mm_unpackhi_epi16(a.v[6], a.v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
    const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
    const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
    const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
    const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
    a.v[0] = _mm_unpacklo_epi64(b0, b4);
    a.v[1] = _mm_unpackhi_epi64(b0, b4);
    a.v[2] = _mm_unpacklo_epi64(b1, b5);
    a.v[3] = _mm_unpackhi_epi64(b1, b5);
    a.v[4] = _mm_unpacklo_epi64(b2, b6);
    a.v[5] = _mm_unpackhi_epi64(b2, b6);
    a.v[6] = _mm_unpacklo_epi64(b3, b7);
    a.v[7] = _mm_unpackhi_epi64(b3, b7);
}

// Level shift, clamp and store: register k holds output column k (lanes = rows). Packs to bytes first, then
// transposes 8 x 8 bytes (half the shuffles of a word transpose).
inline void StoreColumns(Vec8& a, uint8_t* out, int stride) {
    const __m128i bias = _mm_set1_epi16(128);
    for (int k = 0; k < 8; ++k) a.v[k] = _mm_adds_epi16(_mm_srai_epi16(a.v[k], 5), bias);
    const __m128i p0 = _mm_packus_epi16(a.v[0], a.v[1]);
    const __m128i p1 = _mm_packus_epi16(a.v[2], a.v[3]);
    const __m128i p2 = _mm_packus_epi16(a.v[4], a.v[5]);
    const __m128i p3 = _mm_packus_epi16(a.v[6], a.v[7]);
    const __m128i q0 = _mm_unpacklo_epi8(p0, p1);  // columns 0 and 2, rows interleaved
    const __m128i q1 = _mm_unpackhi_epi8(p0, p1);  // columns 1 and 3
    const __m128i q2 = _mm_unpacklo_epi8(p2, p3);  // columns 4 and 6
    const __m128i q3 = _mm_unpackhi_epi8(p2, p3);  // columns 5 and 7
    const __m128i s0 = _mm_unpacklo_epi8(q0, q1);  // rows 0-3, columns 0-3
    const __m128i s1 = _mm_unpackhi_epi8(q0, q1);  // rows 4-7, columns 0-3
    const __m128i s2 = _mm_unpacklo_epi8(q2, q3);  // rows 0-3, columns 4-7
    const __m128i s3 = _mm_unpackhi_epi8(q2, q3);  // rows 4-7, columns 4-7
    const __m128i rows[4] = {_mm_unpacklo_epi32(s0, s2), _mm_unpackhi_epi32(s0, s2), _mm_unpacklo_epi32(s1, s3),
                             _mm_unpackhi_epi32(s1, s3)};
    for (int r = 0; r < 4; ++r) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * r) * stride), rows[r]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * r + 1) * stride), _mm_srli_si128(rows[r], 8));
    }
}

// The transforms; with kClear they also zero the coefficients they read, ready for the next MCU row.
template <bool kClear>
inline void FullKernel(int16_t* coef, const int16_t* table, uint8_t* out, int stride) {
    Vec8 a;
    for (int r = 0; r < 8; ++r) {
        __m128i* p = reinterpret_cast<__m128i*>(coef + r * 8);
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + r * 8));
        a.v[r] = _mm_mullo_epi16(_mm_loadu_si128(p), q);
        if (kClear) _mm_storeu_si128(p, _mm_setzero_si128());
    }
    ButterflyV(a);  // columns: lane = column, register = row
    Transpose(a);
    ButterflyV(a);  // rows: lane = row, register = column
    StoreColumns(a, out, stride);
}

template <bool kClear>
inline void LowKernel(int16_t* coef, const int16_t* table, uint8_t* out, int stride) {
    Vec8 a;
    for (int r = 0; r < 4; ++r) {
        __m128i* p = reinterpret_cast<__m128i*>(coef + r * 8);
        const __m128i q = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(table + r * 8));
        a.v[r] = _mm_mullo_epi16(_mm_loadl_epi64(p), q);
        if (kClear) _mm_storel_epi64(p, _mm_setzero_si128());
    }
    ButterflyLowV(a);  // columns 0-3 of rows 0-7; lanes 4-7 stay zero
    // Transpose the 8 x 4 result into columns 0-3 (lanes = rows); columns 4-7 are zero.
    const __m128i a0 = _mm_unpacklo_epi16(a.v[0], a.v[1]);
    const __m128i a1 = _mm_unpacklo_epi16(a.v[2], a.v[3]);
    const __m128i a2 = _mm_unpacklo_epi16(a.v[4], a.v[5]);
    const __m128i a3 = _mm_unpacklo_epi16(a.v[6], a.v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a1);
    const __m128i b1 = _mm_unpackhi_epi32(a0, a1);
    const __m128i b2 = _mm_unpacklo_epi32(a2, a3);
    const __m128i b3 = _mm_unpackhi_epi32(a2, a3);
    a.v[0] = _mm_unpacklo_epi64(b0, b2);
    a.v[1] = _mm_unpackhi_epi64(b0, b2);
    a.v[2] = _mm_unpacklo_epi64(b1, b3);
    a.v[3] = _mm_unpackhi_epi64(b1, b3);
    ButterflyLowV(a);  // rows
    StoreColumns(a, out, stride);
}

}  // namespace

JPEG_SIMD_CLONES void FastIdctSse2(const int16_t* coef, const int16_t* table, uint8_t* out, int stride) {
    FullKernel<false>(const_cast<int16_t*>(coef), table, out, stride);
}

JPEG_SIMD_CLONES void FastIdctSse2Low(const int16_t* coef, const int16_t* table, uint8_t* out, int stride) {
    LowKernel<false>(const_cast<int16_t*>(coef), table, out, stride);
}

#endif

void FastIdct(const int16_t* coef, const int16_t* table, uint8_t* out, int stride) {
#if defined(__SSE2__)
    FastIdctSse2(coef, table, out, stride);
#else
    FastIdctScalar(coef, table, out, stride);
#endif
}

JPEG_SIMD_CLONES void TransformRow(int16_t* coef, const uint8_t* last, uint8_t* out, int blocks,
                                   const int16_t* const* tables, int blocksPerMcu) {
    for (int b = 0, k = 0; b < blocks; ++b, coef += 64, out += 64) {
        const int16_t* table = tables[k];
        if (++k == blocksPerMcu) k = 0;
        if (last[b] == 0) {
            FastIdctDcOnly(coef[0], table[0], out, 8);
            coef[0] = 0;
            continue;
        }
#if defined(__SSE2__)
        if (last[b] <= kLowLast) {
            LowKernel<true>(coef, table, out, 8);
        } else {
            FullKernel<true>(coef, table, out, 8);
        }
#else
        FastIdctScalar(coef, table, out, 8);
        std::memset(coef, 0, 64 * sizeof(int16_t));
#endif
    }
}

void FastIdctLow(const int16_t* coef, const int16_t* table, uint8_t* out, int stride) {
#if defined(__SSE2__)
    FastIdctSse2Low(coef, table, out, stride);
#else
    FastIdctScalar(coef, table, out, stride);
#endif
}

namespace {

constexpr int32_t kFix0_298631336 = 2446;
constexpr int32_t kFix0_390180644 = 3196;
constexpr int32_t kFix0_541196100 = 4433;
constexpr int32_t kFix0_765366865 = 6270;
constexpr int32_t kFix0_899976223 = 7373;
constexpr int32_t kFix1_175875602 = 9633;
constexpr int32_t kFix1_501321110 = 12299;
constexpr int32_t kFix1_847759065 = 15137;
constexpr int32_t kFix1_961570560 = 16069;
constexpr int32_t kFix2_053119869 = 16819;
constexpr int32_t kFix2_562915447 = 20995;
constexpr int32_t kFix3_072711026 = 25172;

// The accurate butterfly on c[0..7]; results before the final rounding shift. The arithmetic is 32-bit and
// wraps like the hardware would: computed in 64 bits, then cut to 32.
inline void AccurateButterfly(const int32_t c[8], int32_t out[8]) {
    int64_t z1 = (int64_t{c[2]} + c[6]) * kFix0_541196100;
    const int64_t a = z1 - int64_t{c[6]} * kFix1_847759065;
    const int64_t b = z1 + int64_t{c[2]} * kFix0_765366865;
    const int64_t p0 = (int64_t{c[0]} + c[4]) * 8192;
    const int64_t p1 = (int64_t{c[0]} - c[4]) * 8192;
    const int64_t t10 = p0 + b;
    const int64_t t13 = p0 - b;
    const int64_t t11 = p1 + a;
    const int64_t t12 = p1 - a;

    z1 = int64_t{c[7]} + c[1];
    int64_t z2 = int64_t{c[5]} + c[3];
    int64_t z3 = int64_t{c[7]} + c[3];
    int64_t z4 = int64_t{c[5]} + c[1];
    const int64_t z5 = (z3 + z4) * kFix1_175875602;
    z1 *= -kFix0_899976223;
    z2 *= -kFix2_562915447;
    z3 = z3 * -kFix1_961570560 + z5;
    z4 = z4 * -kFix0_390180644 + z5;
    const int64_t q0 = c[7] * int64_t{kFix0_298631336} + z1 + z3;
    const int64_t q1 = c[5] * int64_t{kFix2_053119869} + z2 + z4;
    const int64_t q2 = c[3] * int64_t{kFix3_072711026} + z2 + z3;
    const int64_t q3 = c[1] * int64_t{kFix1_501321110} + z1 + z4;

    const int64_t r[8] = {t10 + q3, t11 + q2, t12 + q1, t13 + q0, t13 - q0, t12 - q1, t11 - q2, t10 - q3};
    for (int i = 0; i < 8; ++i) out[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r[i])));
}

}  // namespace

void PlainIdct(const int16_t* coef, int16_t* scratch, uint8_t* out, int stride) {
    std::memcpy(scratch, coef, 64 * sizeof(int16_t));
    for (int row = 0; row < 8; ++row) {
        int16_t* s = scratch + row * 8;
        if ((s[1] | s[2] | s[3] | s[4] | s[5] | s[6] | s[7]) == 0) {
            const int16_t dc = W(static_cast<int32_t>(s[0]) * 4);
            for (int i = 0; i < 8; ++i) s[i] = dc;
            continue;
        }
        int32_t c[8];
        int32_t r[8];
        for (int i = 0; i < 8; ++i) c[i] = s[i];
        AccurateButterfly(c, r);
        for (int i = 0; i < 8; ++i) s[i] = W(static_cast<int32_t>(static_cast<uint32_t>(r[i]) + 1024u) >> 11);
    }
    for (int col = 0; col < 8; ++col) {
        bool acZero = true;
        for (int row = 1; row < 8; ++row) acZero &= scratch[row * 8 + col] == 0;
        if (acZero) {
            const uint8_t v = Clamp255(((scratch[col] + 16) >> 5) + 128);
            for (int row = 0; row < 8; ++row) out[row * stride + col] = v;
            continue;
        }
        int32_t c[8];
        int32_t r[8];
        for (int row = 0; row < 8; ++row) c[row] = scratch[row * 8 + col];
        AccurateButterfly(c, r);
        for (int row = 0; row < 8; ++row)
            out[row * stride + col] =
                Clamp255((static_cast<int32_t>(static_cast<uint32_t>(r[row]) + 131072u) >> 18) + 128);
    }
}

}  // namespace jpegidct

}  // namespace qern
