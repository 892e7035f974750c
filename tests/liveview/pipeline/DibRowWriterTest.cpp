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

// Each orientation fills the buffer from its own corner (the whole picture turned is checked
// against camsim); rows wider or beyond the buffer are never written.
TEST(DibRowWriter, EachOrientationStartsAtItsCornerAndRowsBeyondTheBufferAreNeverWritten) {
    for (bool ud : {false, true})
        for (bool mirror : {false, true}) {
            Buffer b(8, 4);
            DibRowWriter w(b.pixels(), 8, 4, ud, mirror);
            int taken = 0;
            for (int y = 0; y < 10; ++y) taken += w.PutRow(Row(20, y).data(), 80, 4);  // wider and taller
            EXPECT_EQ(taken, 4);
            EXPECT_EQ(w.RowsWritten(), 4);
            EXPECT_TRUE(b.GuardsIntact()) << ud << mirror;
            // Decoded (0, 0) shows at the screen's corner, decoded (1, 2) next to it.
            const uint8_t* first = b.at(DibRowWriter::PixelOffset(8, 4, mirror ? 7 : 0, ud ? 3 : 0));
            const uint8_t* inner = b.at(DibRowWriter::PixelOffset(8, 4, mirror ? 6 : 1, ud ? 1 : 2));
            EXPECT_TRUE(first[0] == 0 && first[1] == 0 && inner[0] == 1 && inner[1] == 2) << ud << mirror;
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
