#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "jpeg/JpegIdct.h"

namespace qern {

using namespace jpegidct;

namespace {

const double kPi = std::acos(-1.0);

// Random blocks from `fill` through the scalar transform and `other` must agree bit for bit.
template <typename Fill, typename Other>
void ExpectSameAsScalar(uint32_t seed, int iterations, Fill fill, Other other) {
    std::mt19937 rng(seed);
    for (int iter = 0; iter < iterations; ++iter) {
        alignas(16) int16_t coef[64] = {}, table[64];
        fill(rng, iter, coef, table);
        uint8_t a[64], b[64];
        FastIdctScalar(coef, table, a, 8);
        other(coef, table, b);
        ASSERT_EQ(std::memcmp(a, b, 64), 0) << "iteration " << iter;
    }
}

const int16_t kExtremes[] = {0, 1, -1, 2, -2, 127, -128, 255, 1023, -1024, 2047, -2048, 16383, -16384, 32767, -32768};

}  // namespace

TEST(JpegIdct, ScalarFastPathKnownBlocks) {
    EXPECT_EQ(FastQuant(1, 1), 6);
    EXPECT_EQ(FastQuant(63, 255), 78);
    EXPECT_EQ(FastQuant(0, 65535), -4);  // 16-bit DQT values wrap to 16 bits after scaling
    // DC only: floor(d q / 8) + 128 while 4 d q fits 16 bits (d = 1000, q = 16 wraps to 80); the first
    // horizontal frequency gives a ramp across.
    const uint8_t ramp[8] = {129, 129, 129, 128, 127, 126, 126, 126};
    for (const auto& c : {std::array<int, 4>{0, 8, 1, 129}, {0, -80, 1, 118}, {0, 1000, 16, 80}, {1, 10, 1, -1}}) {
        int16_t coef[64] = {}, table[64];
        for (int n = 0; n < 64; ++n) table[n] = FastQuant(n, static_cast<uint32_t>(c[2]));
        coef[c[0]] = static_cast<int16_t>(c[1]);
        uint8_t out[64];
        FastIdctScalar(coef, table, out, 8);
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(out[i], c[3] >= 0 ? c[3] : ramp[i % 8]) << c[0] << " " << c[1] << " " << i;
    }
}

TEST(JpegIdct, KernelsMatchScalarOnRandomAndExtremeBlocks) {
    ExpectSameAsScalar(
        31, 100000,
        [](std::mt19937& rng, int, int16_t* coef, int16_t* table) {
            for (int n = 0; n < 64; ++n) table[n] = static_cast<int16_t>(rng());
            coef[0] = static_cast<int16_t>(rng());
        },
        [](const int16_t* c, const int16_t* t, uint8_t* out) { FastIdctDcOnly(c[0], t[0], out, 8); });
#if defined(__SSE2__)
    ExpectSameAsScalar(
        12345, 200000,
        [](std::mt19937& rng, int iter, int16_t* coef, int16_t* table) {
            for (int n = 0; n < 64; ++n) {
                const int kind = iter % 5;
                // Typical camera data; anything at all; extremes; sparse with 16-bit tables; large DC.
                coef[n] = kind == 0   ? static_cast<int16_t>(static_cast<int>(rng() % 64) - 32)
                          : kind == 1 ? static_cast<int16_t>(rng())
                          : kind == 2 ? kExtremes[rng() % 16]
                          : kind == 3 ? ((rng() % 8 == 0) ? static_cast<int16_t>(rng() % 4096) - 2048 : 0)
                          : n == 0    ? static_cast<int16_t>(rng())
                                      : static_cast<int16_t>(rng() % 512) - 256;
                table[n] = kind == 1   ? static_cast<int16_t>(rng())
                           : kind == 2 ? kExtremes[rng() % 16]
                                       : FastQuant(n, kind == 3 ? rng() % 65536 : 1 + rng() % (kind == 0 ? 100 : 255));
            }
        },
        [](const int16_t* c, const int16_t* t, uint8_t* out) { FastIdctSse2(c, t, out, 8); });
    // Coefficients only at zigzag indexes 0..9 take the shortened transform.
    ExpectSameAsScalar(
        777, 200000,
        [](std::mt19937& rng, int iter, int16_t* coef, int16_t* table) {
            static const int kNatural[10] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24};
            for (int n = 0; n < 64; ++n)
                table[n] = (iter % 3 == 0) ? static_cast<int16_t>(rng()) : FastQuant(n, 1 + rng() % 255);
            const int last = static_cast<int>(rng() % 10);
            for (int k = 0; k <= last; ++k) {
                if (rng() % 3 == 0) continue;
                coef[kNatural[k]] =
                    (iter % 2) ? kExtremes[rng() % 16] : static_cast<int16_t>(static_cast<int>(rng() % 400) - 200);
            }
        },
        [](const int16_t* c, const int16_t* t, uint8_t* out) { FastIdctSse2Low(c, t, out, 8); });
#endif
}

TEST(JpegIdct, PlainTransformIsCloseToTheExactDct) {
    std::mt19937 rng(7);
    for (int iter = 0; iter < 2000; ++iter) {
        int16_t coef[64] = {};
        const int count = 1 + rng() % 10;
        for (int i = 0; i < count; ++i) coef[rng() % 64] = static_cast<int16_t>(static_cast<int>(rng() % 200) - 100);
        int16_t scratch[64];
        uint8_t out[64];
        PlainIdct(coef, scratch, out, 8);
        for (int i = 0; i < 64; ++i) {
            double sum = 0;
            for (int f = 0; f < 64; ++f) {
                const int u = f % 8, v = f / 8;
                sum += (u == 0 ? std::sqrt(0.5) : 1.0) * (v == 0 ? std::sqrt(0.5) : 1.0) * coef[f] *
                       std::cos((2 * (i % 8) + 1) * u * kPi / 16) * std::cos((2 * (i / 8) + 1) * v * kPi / 16);
            }
            ASSERT_NEAR(out[i], std::min(255.0, std::max(0.0, sum / 4 + 128)), 1.01) << iter << " " << i;
        }
    }
    // A DC-only row becomes 4 x DC kept to 16 bits: -32768 and 16384 wrap to 0 (grey), 8191 saturates white.
    for (const auto& c : {std::pair<int16_t, uint8_t>{-32768, 128}, {16384, 128}, {8191, 255}, {-8191, 0}, {8, 129}}) {
        int16_t coef[64] = {c.first}, scratch[64];
        uint8_t out[64];
        PlainIdct(coef, scratch, out, 8);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(out[i], c.second) << c.first << " " << i;
    }
}

}  // namespace qern
