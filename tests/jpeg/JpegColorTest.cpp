#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "JpegTestStream.h"
#include "jpeg/JpegColor.h"

namespace qern {

using namespace jpegcolor;

namespace {

using Converter = decltype(&ConvertRows);

const Tables kTables = [] {
    Tables t;
    BuildTables(t);
    return t;
}();

// Converts `mcus` MCUs of `layout` whose pixels carry consecutive triples from `first` (triple t = Y | Cb << 8 |
// Cr << 16, the pixels sharing a chroma sample in a row of triples) and checks every pixel against the
// formula. Returns the number of pixels checked, or -1 after reporting a mismatch.
int64_t CheckBatch(int layout, Converter convert, uint32_t first, int mcus) {
    const Layout& info = LayoutInfo(layout);
    const int hs = info.mcuWidth / 8, vs = info.mcuHeight / 8, mcuBytes = info.blocksPerMcu * 64;
    const int rowPixels = mcus * info.mcuWidth;
    std::vector<uint8_t> samples(static_cast<size_t>(mcus) * mcuBytes);
    std::vector<uint8_t> expected(static_cast<size_t>(rowPixels) * info.mcuHeight * 4);
    for (int m = 0; m < mcus; ++m) {
        uint8_t* mcu = samples.data() + m * mcuBytes;
        uint8_t* cb = mcu + (info.blocksPerMcu - 2) * 64;
        for (int py = 0; py < info.mcuHeight; ++py) {
            for (int px = 0; px < info.mcuWidth; ++px) {
                const int c = (py / vs) * 8 + px / hs;
                const uint32_t t = first + static_cast<uint32_t>((m * 64 + c) * hs * vs + (py % vs) * hs + px % hs);
                mcu[((py / 8) * hs + px / 8) * 64 + (py % 8) * 8 + px % 8] = static_cast<uint8_t>(t);
                cb[c] = static_cast<uint8_t>(t >> 8);
                cb[64 + c] = static_cast<uint8_t>(t >> 16);
                jpegtest::ReferenceBgrx(
                    t & 255, cb[c], cb[64 + c],
                    expected.data() + (static_cast<size_t>(py) * rowPixels + m * info.mcuWidth + px) * 4);
            }
        }
    }
    const size_t rowBytes = static_cast<size_t>(rowPixels) * 4;
    std::vector<uint8_t> a(rowBytes), b(rowBytes);
    for (int r = 0; r < info.mcuHeight; r += vs) {
        convert(layout, kTables, samples.data(), mcus, r, a.data(), b.data());
        for (int k = 0; k < vs; ++k) {
            const uint8_t* row = k == 0 ? a.data() : b.data();
            const uint8_t* want = expected.data() + static_cast<size_t>(r + k) * rowBytes;
            if (std::equal(row, row + rowBytes, want)) continue;
            ADD_FAILURE() << "layout " << layout << " row " << r + k << " from triple " << first;
            return -1;
        }
    }
    return static_cast<int64_t>(rowPixels) * info.mcuHeight;
}

}  // namespace

TEST(JpegColor, KnownPixels) {
    for (const auto& [y, cb, cr, b, g, r] : std::vector<std::array<int, 6>>{{128, 128, 128, 128, 128, 128},
                                                                            {100, 128, 200, 100, 49, 201},
                                                                            {50, 200, 60, 178, 74, 0},
                                                                            {235, 16, 240, 37, 194, 255}}) {
        uint8_t p[4];
        ConvertPixel(kTables, y, cb, cr, p);
        EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{b, g, r, 0xFF})) << y << "," << cb << "," << cr;
    }
}

// Every layout's upsampling and conversion: the scalar rows on a stride through the triples, the decoder's choice
// (SSE2) on all 2^24 of them.
TEST(JpegColor, RowsMatchTheFormula) {
    for (const auto& [convert, stride] :
         {std::pair<Converter, uint32_t>{ConvertRowsScalar, 64 * 64 * 4 * 37}, {ConvertRows, 0}}) {
        for (int layout = 1; layout <= 4; ++layout) {
            const int group = LayoutInfo(layout).mcuWidth * LayoutInfo(layout).mcuHeight / 64;
            const uint32_t perBatch = 256u * 64 * group;  // 256 MCUs
            int64_t total = 0;
            for (uint32_t first = 0; first < (1u << 24); first += stride == 0 ? perBatch : stride) {
                const int64_t n = CheckBatch(layout, convert, stride == 0 ? first : first - first % perBatch, 256);
                ASSERT_GT(n, 0);
                total += n;
            }
            EXPECT_TRUE(stride != 0 || total == int64_t{1} << 24) << "layout " << layout << " " << total;
        }
    }
}

}  // namespace qern
