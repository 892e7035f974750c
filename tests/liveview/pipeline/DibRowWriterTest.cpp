#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "liveview/pipeline/DibRowWriter.h"

namespace liveview {
namespace {

// A picture whose pixel (x, y) is (x, y, 7, 0xFF) as blue, green, red, x bytes.
std::vector<uint8_t> Row(int width, int y) {
    std::vector<uint8_t> row(size_t(width) * 4, 7);
    for (size_t x = 0; x < size_t(width); ++x) row[x * 4] = uint8_t(x), row[x * 4 + 1] = uint8_t(y), row[x * 4 + 3] = 0xFF;
    return row;
}

struct Buffer {
    Buffer(int w, int h) : width(w), height(h), bytes(size_t(w) * h * 4 + 64, 0xCC) {}
    uint8_t* pixels() { return bytes.data() + 32; }  // guard bytes on both sides
    const uint8_t* at(int64_t offset) const { return bytes.data() + 32 + offset; }
    bool GuardsIntact() const {
        for (int i = 0; i < 32; ++i)
            if (bytes[size_t(i)] != 0xCC || bytes[bytes.size() - 1 - size_t(i)] != 0xCC) return false;
        return true;
    }
    int width, height;
    std::vector<uint8_t> bytes;
};

// Where decoded pixel (x, y) lands in an 8 x 4 bitmap, and which screen pixel shows it. Upright,
// the first row is written at (width x height x 4) - len: the last picture row first in memory.
TEST(DibRowWriter, OrientationsPlaceEachDecodedPixel) {
    const struct {
        bool upsideDown, mirror;
        int64_t (*offset)(int x, int y);  // memory offset of decoded (x, y)
        int screenX, screenY;             // where decoded (0, 0) shows
    } cases[] = {
        {false, false, [](int x, int y) { return 128 - int64_t(y + 1) * 32 + x * 4; }, 0, 0},
        {false, true, [](int x, int y) { return 128 - (int64_t(y) * 8 + x + 1) * 4; }, 7, 0},
        {true, false, [](int x, int y) { return int64_t(y) * 32 + x * 4; }, 0, 3},
        {true, true, [](int x, int y) { return (int64_t(y) * 8 + (7 - x)) * 4; }, 7, 3},  // half a circle
    };
    for (const auto& c : cases) {
        Buffer b(8, 4);
        DibRowWriter w(b.pixels(), 8, 4, c.upsideDown, c.mirror);
        for (int y = 0; y < 4; ++y) w.PutRow(Row(8, y).data(), 32, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const uint8_t* p = b.at(c.offset(x, y));
                ASSERT_TRUE(p[0] == x && p[1] == y) << c.upsideDown << c.mirror << " at " << x << "," << y;
            }
        const uint8_t* shown = b.at(DibRowWriter::PixelOffset(8, 4, c.screenX, c.screenY));
        EXPECT_TRUE(shown[0] == 0 && shown[1] == 0) << c.upsideDown << c.mirror;
        EXPECT_TRUE(b.GuardsIntact());
    }
}

TEST(DibRowWriter, RowsBeyondTheBufferAreNeverWritten) {
    for (bool ud : {false, true})
        for (bool mirror : {false, true}) {
            Buffer b(8, 4);
            DibRowWriter w(b.pixels(), 8, 4, ud, mirror);
            int taken = 0;
            for (int y = 0; y < 10; ++y) taken += w.PutRow(Row(20, y).data(), 80, 4);  // wider and taller
            EXPECT_EQ(taken, 4);
            EXPECT_EQ(w.RowsWritten(), 4);
            EXPECT_TRUE(b.GuardsIntact()) << ud << mirror;
        }
}

TEST(DibRowWriter, OddLengthsAndUnknownPixelSizesAreSafe) {
    Buffer b(8, 4);
    DibRowWriter w(b.pixels(), 8, 4, false, true);
    std::vector<uint8_t> row = Row(8, 0);
    EXPECT_TRUE(w.PutRow(row.data(), 13, 4));  // three whole pixels
    EXPECT_FALSE(w.PutRow(row.data(), 24, 3));
    EXPECT_TRUE(w.PutRow(row.data(), -5, 4));   // nothing copied, the line is used up
    EXPECT_FALSE(w.PutRow(nullptr, 32, 4));
    EXPECT_TRUE(b.GuardsIntact());
    const uint8_t* top = b.at(DibRowWriter::PixelOffset(8, 4, 7, 0));
    EXPECT_EQ(top[0], 0);  // mirrored: decoded pixel 0 at the right edge
    EXPECT_EQ(b.at(DibRowWriter::PixelOffset(8, 4, 4, 0))[0], 0xCC);  // pixels 3..7 not delivered
    DibRowWriter none(nullptr, 8, 4, false, false);
    EXPECT_FALSE(none.PutRow(row.data(), 32, 4));
}

TEST(DibRowWriter, GreyRowsBecomeOpaqueGreyPixels) {
    for (bool mirror : {false, true}) {
        Buffer b(4, 2);
        DibRowWriter w(b.pixels(), 4, 2, false, mirror);
        const uint8_t grey[4] = {0, 50, 100, 255};
        w.PutRow(grey, 4, 1);
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = b.at(DibRowWriter::PixelOffset(4, 2, mirror ? 3 - x : x, 0));
            EXPECT_TRUE(p[0] == grey[x] && p[1] == grey[x] && p[2] == grey[x] && p[3] == 0xFF) << mirror << x;
        }
        EXPECT_TRUE(b.GuardsIntact());
    }
}

}  // namespace
}  // namespace liveview
