#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "JpegTestStream.h"
#include "jpeg/JpegColor.h"

using namespace jpegcolor;

namespace {

// Pixel positions of one MCU: which luma block and offset a pixel reads, which chroma sample it uses.
struct Geometry {
    int layout;
    int groupSize;  // pixels sharing one chroma sample
    int LumaOffset(int px, int py) const {
        switch (layout) {
            case 2: return (px >> 3) * 64 + py * 8 + (px & 7);
            case 3: return (py >> 3) * 64 + (py & 7) * 8 + px;
            case 4: return ((py >> 3) * 2 + (px >> 3)) * 64 + (py & 7) * 8 + (px & 7);
            default: return py * 8 + px;
        }
    }
    // k-th pixel of the group of chroma sample (cx, cy)
    void Pixel(int cx, int cy, int k, int* px, int* py) const {
        switch (layout) {
            case 2: *px = 2 * cx + k; *py = cy; return;
            case 3: *px = cx; *py = 2 * cy + k; return;
            case 4: *px = 2 * cx + (k & 1); *py = 2 * cy + (k >> 1); return;
            default: *px = cx; *py = cy; return;
        }
    }
};

const Geometry kGeometries[] = {{1, 1}, {2, 2}, {3, 2}, {4, 4}};

using Converter = void (*)(int layout, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b);

// Converts `mcus` MCUs whose triples start at `first` (triple t = Y | Cb << 8 | Cr << 16) and checks every
// pixel against the formula. Returns the number of pixels checked, or -1 after reporting a mismatch.
int64_t CheckBatch(const Geometry& g, Converter convert, uint32_t first, int mcus) {
    const Layout& info = LayoutInfo(g.layout);
    const int mcuBytes = info.blocksPerMcu * 64;
    const int rowPixels = mcus * info.mcuWidth;
    std::vector<uint8_t> samples(static_cast<size_t>(mcus) * mcuBytes);
    std::vector<uint8_t> expected(static_cast<size_t>(rowPixels) * info.mcuHeight * 4);
    for (int m = 0; m < mcus; ++m) {
        uint8_t* mcu = samples.data() + m * mcuBytes;
        uint8_t* cb = mcu + (info.blocksPerMcu - 2) * 64;
        for (int c = 0; c < 64; ++c) {
            const uint32_t group = first / g.groupSize + static_cast<uint32_t>(m) * 64 + c;
            for (int k = 0; k < g.groupSize; ++k) {
                const uint32_t t = group * g.groupSize + k;
                int px, py;
                g.Pixel(c & 7, c >> 3, k, &px, &py);
                const int y = static_cast<int>(t & 255);
                cb[c] = static_cast<uint8_t>(t >> 8);
                cb[64 + c] = static_cast<uint8_t>(t >> 16);
                mcu[g.LumaOffset(px, py)] = static_cast<uint8_t>(y);
                jpegtest::ReferenceBgrx(y, cb[c], cb[64 + c],
                                        expected.data() + (static_cast<size_t>(py) * rowPixels + m * info.mcuWidth + px) * 4);
            }
        }
    }
    const size_t rowBytes = static_cast<size_t>(rowPixels) * 4;
    std::vector<uint8_t> a(rowBytes), b(rowBytes);
    const int step = info.mcuHeight == 16 ? 2 : 1;
    for (int r = 0; r < info.mcuHeight; r += step) {
        convert(g.layout, samples.data(), mcus, r, a.data(), b.data());
        for (int k = 0; k < step; ++k) {
            const uint8_t* row = k == 0 ? a.data() : b.data();
            const uint8_t* want = expected.data() + static_cast<size_t>(r + k) * rowBytes;
            if (std::memcmp(row, want, rowBytes) == 0) continue;
            size_t i = 0;
            while (row[i] == want[i]) ++i;
            ADD_FAILURE() << "layout " << g.layout << " row " << r + k << " pixel " << i / 4 << " byte " << i % 4
                          << " got " << int(row[i]) << " want " << int(want[i]);
            return -1;
        }
    }
    return static_cast<int64_t>(rowPixels) * info.mcuHeight;
}

Tables& ScalarTables() {
    static Tables t = [] {
        Tables x;
        BuildTables(x);
        return x;
    }();
    return t;
}

void ScalarConvert(int layout, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b) {
    ConvertRowsScalar(layout, ScalarTables(), samples, mcus, r, a, b);
}

}  // namespace

TEST(JpegColor, KnownPixels) {
    Tables t;
    BuildTables(t);
    struct Case {
        int y, cb, cr, b, g, r;
    };
    for (const Case& c : {Case{128, 128, 128, 128, 128, 128}, Case{100, 128, 200, 100, 49, 201},
                          Case{50, 200, 60, 178, 74, 0}, Case{235, 16, 240, 37, 194, 255}}) {
        uint8_t p[4];
        ConvertPixel(t, c.y, c.cb, c.cr, p);
        EXPECT_EQ(p[0], c.b) << c.y << "," << c.cb << "," << c.cr;
        EXPECT_EQ(p[1], c.g) << c.y << "," << c.cb << "," << c.cr;
        EXPECT_EQ(p[2], c.r) << c.y << "," << c.cb << "," << c.cr;
        EXPECT_EQ(p[3], 0xFF);
    }
}

TEST(JpegColor, ScalarRowsMatchTheFormulaOnSampledTriples) {
    // Every layout's upsampling, over a stride through the triples (all of them for the SIMD rows below).
    for (const Geometry& g : kGeometries) {
        for (uint32_t first = 0; first < (1u << 24); first += 64 * 64 * 4 * 37) {
            ASSERT_GT(CheckBatch(g, ScalarConvert, first - first % (64 * 4), 64), 0);
        }
    }
}

#if defined(__SSE2__)
TEST(JpegColor, Sse2RowsMatchTheFormulaOnAllTriples) {
    for (const Geometry& g : kGeometries) {
        const int mcus = 256;
        const uint32_t perBatch = static_cast<uint32_t>(mcus) * 64 * g.groupSize;
        int64_t total = 0;
        for (uint32_t first = 0; first < (1u << 24); first += perBatch) {
            const int64_t n = CheckBatch(g, ConvertRowsSse2, first, mcus);
            ASSERT_GT(n, 0);
            total += n;
        }
        EXPECT_EQ(total, int64_t{1} << 24) << "layout " << g.layout;
    }
}
#endif
