#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "jpeg/JpegIdct.h"

namespace {
// <cmath> under strict C++17 on MinGW does not define kPi.
constexpr double kPi = 3.14159265358979323846;
}  // namespace

using namespace jpegidct;

namespace {

// One block: only coefficient `pos` non-zero, all-`q` table entry at that position (fast path storage).
void DecodeSingle(int pos, int16_t value, uint16_t q, uint8_t out[64]) {
    int16_t coef[64] = {};
    int16_t table[64];
    for (int n = 0; n < 64; ++n) table[n] = FastQuant(n, q);
    coef[pos] = value;
    FastIdctScalar(coef, table, out, 8);
}

}  // namespace

TEST(JpegIdct, FastQuantisationEntriesAreScaledAndRounded) {
    EXPECT_EQ(FastQuant(0, 1), 4);
    EXPECT_EQ(FastQuant(1, 1), 6);
    EXPECT_EQ(FastQuant(63, 255), 78);
    EXPECT_EQ(FastQuant(0, 65535), -4);  // 16-bit DQT values wrap to 16 bits after scaling
}

TEST(JpegIdct, DcOnlyBlocksGiveFlatSamplesAndWrap) {
    struct Case {
        int16_t d;
        uint16_t q;
        uint8_t expected;
    };
    // floor(d * q / 8) + 128 while 4 d q fits 16 bits; d = 1000, q = 16 wraps (4 d q = 64000) to 80.
    for (const Case& c : {Case{8, 1, 129}, Case{-80, 1, 118}, Case{100, 2, 153}, Case{1000, 16, 80}}) {
        uint8_t out[64];
        DecodeSingle(0, c.d, c.q, out);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(out[i], c.expected) << "d=" << c.d << " q=" << c.q << " i=" << i;
    }
}

TEST(JpegIdct, FirstHorizontalAndVerticalFrequencies) {
    const uint8_t expected[8] = {129, 129, 129, 128, 127, 126, 126, 126};
    uint8_t out[64];
    DecodeSingle(1, 10, 1, out);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(out[y * 8 + x], expected[x]) << x << "," << y;
    }
    DecodeSingle(8, 10, 1, out);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(out[y * 8 + x], expected[y]) << x << "," << y;
    }
}

TEST(JpegIdct, OutputHonoursTheStride) {
    int16_t coef[64] = {};
    int16_t table[64];
    for (int n = 0; n < 64; ++n) table[n] = FastQuant(n, 1);
    coef[0] = 40;
    uint8_t out[8 * 20];
    std::memset(out, 0xAB, sizeof out);
    FastIdct(coef, table, out + 3, 20);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 3 && x < 11;
            EXPECT_EQ(out[y * 20 + x], inside ? 133 : 0xAB) << x << "," << y;
        }
    }
}

// Random blocks from `fill` through the scalar transform and `other` must agree bit for bit.
template <typename Fill, typename Other>
void ExpectSameAsScalar(uint32_t seed, int iterations, Fill fill, Other other) {
    std::mt19937 rng(seed);
    for (int iter = 0; iter < iterations; ++iter) {
        alignas(16) int16_t coef[64] = {};
        alignas(16) int16_t table[64];
        fill(rng, iter, coef, table);
        uint8_t a[64], b[64];
        FastIdctScalar(coef, table, a, 8);
        other(coef, table, b);
        ASSERT_EQ(std::memcmp(a, b, 64), 0) << "iteration " << iter;
    }
}

const int16_t kExtremes[] = {0, 1, -1, 2, -2, 127, -128, 255, 1023, -1024, 2047, -2048, 16383, -16384, 32767, -32768};

#if defined(__SSE2__)
TEST(JpegIdct, Sse2MatchesScalarOnRandomAndExtremeBlocks) {
    ExpectSameAsScalar(12345, 200000, [](std::mt19937& rng, int iter, int16_t* coef, int16_t* table) {
        for (int n = 0; n < 64; ++n) {
            switch (iter % 5) {
                case 0:  // typical camera data: small coefficients, real tables
                    coef[n] = static_cast<int16_t>(static_cast<int>(rng() % 64) - 32);
                    table[n] = FastQuant(n, 1 + rng() % 100);
                    break;
                case 1:  // anything at all
                    coef[n] = static_cast<int16_t>(rng());
                    table[n] = static_cast<int16_t>(rng());
                    break;
                case 2:
                    coef[n] = kExtremes[rng() % 16];
                    table[n] = kExtremes[rng() % 16];
                    break;
                case 3:  // sparse blocks, 16-bit tables
                    coef[n] = (rng() % 8 == 0) ? static_cast<int16_t>(rng() % 4096) - 2048 : 0;
                    table[n] = FastQuant(n, rng() % 65536);
                    break;
                default:  // large DC, wrapping products
                    coef[n] = n == 0 ? static_cast<int16_t>(rng()) : static_cast<int16_t>(rng() % 512) - 256;
                    table[n] = FastQuant(n, 1 + rng() % 255);
                    break;
            }
        }
    }, [](const int16_t* c, const int16_t* t, uint8_t* out) { FastIdctSse2(c, t, out, 8); });
    // Coefficients only at zigzag indexes 0..9 take the shortened transform.
    ExpectSameAsScalar(777, 200000, [](std::mt19937& rng, int iter, int16_t* coef, int16_t* table) {
        static const int kNatural[10] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24};
        for (int n = 0; n < 64; ++n) table[n] = (iter % 3 == 0) ? static_cast<int16_t>(rng()) : FastQuant(n, 1 + rng() % 255);
        const int last = static_cast<int>(rng() % 10);
        for (int k = 0; k <= last; ++k) {
            if (rng() % 3 == 0) continue;
            coef[kNatural[k]] = (iter % 2) ? kExtremes[rng() % 16] : static_cast<int16_t>(static_cast<int>(rng() % 400) - 200);
        }
    }, [](const int16_t* c, const int16_t* t, uint8_t* out) { FastIdctSse2Low(c, t, out, 8); });
}
#endif

TEST(JpegIdct, DcOnlyShortcutMatchesTheTransform) {
    ExpectSameAsScalar(31, 100000, [](std::mt19937& rng, int, int16_t* coef, int16_t* table) {
        for (int n = 0; n < 64; ++n) table[n] = static_cast<int16_t>(rng());
        coef[0] = static_cast<int16_t>(rng());
    }, [](const int16_t* c, const int16_t* t, uint8_t* out) { FastIdctDcOnly(c[0], t[0], out, 8); });
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
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int v = 0; v < 8; ++v) {
                    for (int u = 0; u < 8; ++u) {
                        const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
                        const double cv = v == 0 ? std::sqrt(0.5) : 1.0;
                        sum += cu * cv * coef[v * 8 + u] * std::cos((2 * x + 1) * u * kPi / 16) *
                               std::cos((2 * y + 1) * v * kPi / 16);
                    }
                }
                const double exact = std::min(255.0, std::max(0.0, sum / 4 + 128));
                ASSERT_NEAR(out[y * 8 + x], exact, 1.01) << iter << " " << x << "," << y;
            }
        }
    }
}

TEST(JpegIdct, PlainTransformWrapsLikeSixteenBitRows) {
    // A DC-only row becomes 4 x DC kept to 16 bits: -32768 and 16384 wrap to 0 (grey), 8191 saturates white.
    struct Case {
        int16_t dc;
        uint8_t expected;
    };
    for (const Case& c : {Case{-32768, 128}, Case{16384, 128}, Case{8191, 255}, Case{-8191, 0}, Case{8, 129}}) {
        int16_t coef[64] = {};
        coef[0] = c.dc;
        int16_t scratch[64];
        uint8_t out[64];
        PlainIdct(coef, scratch, out, 8);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(out[i], c.expected) << c.dc << " " << i;
    }
    int16_t coef[64];
    for (int n = 0; n < 64; ++n) coef[n] = (n % 2) ? 32767 : -32768;
    int16_t scratch[64];
    uint8_t a[64];
    uint8_t b[64];
    PlainIdct(coef, scratch, a, 8);
    PlainIdct(coef, scratch, b, 8);  // the scratch block is overwritten, the coefficients are not
    EXPECT_EQ(std::memcmp(a, b, 64), 0);
}
