#include <gtest/gtest.h>

#include "liveview/pipeline/PaintGeometry.h"

namespace liveview {
namespace {

TEST(PaintGeometry, StretchAtZoomZeroFillsTheWindow) {
    PaintLayout l = ComputePaintLayout(400, 300, 320, 240, true, 0);
    EXPECT_TRUE(l.stretch);
    EXPECT_EQ(l.dest.x, 0);
    EXPECT_EQ(l.dest.y, 0);
    EXPECT_EQ(l.dest.width, 400);
    EXPECT_EQ(l.dest.height, 300);
    EXPECT_EQ(l.textX, 2);
    EXPECT_EQ(l.textY, 2);
    EXPECT_EQ(l.recY, 18);
    EXPECT_EQ(l.zoomY, 32);
}

TEST(PaintGeometry, ZoomFiveEnlargesAboutTheCentre) {
    PaintLayout l = ComputePaintLayout(400, 300, 640, 480, true, 5);
    EXPECT_EQ(l.dest.x, -100);
    EXPECT_EQ(l.dest.y, -75);
    EXPECT_EQ(l.dest.width, 600);
    EXPECT_EQ(l.dest.height, 450);
    // The texts stay at the window's corner when stretched.
    EXPECT_EQ(l.zoomX, 2);
    EXPECT_EQ(l.zoomY, 32);
    // Centre of the destination is the window's centre.
    EXPECT_EQ(l.dest.x + l.dest.width / 2, 200);
    EXPECT_EQ(l.dest.y + l.dest.height / 2, 150);
}

TEST(PaintGeometry, ZoomTruncatesTowardZeroAndIsHeldToFifteen) {
    // 1.0 + 0.1 * 3 is slightly above 1.3 in binary: 333 * 1.3 = 432.9 -> 432.
    PaintLayout l = ComputePaintLayout(333, 100, 640, 480, true, 3);
    EXPECT_EQ(l.dest.width, static_cast<int32_t>(333 * (1.0 + 0.1 * 3)));
    EXPECT_EQ(l.dest.x, static_cast<int32_t>((333 * (1.0 + 0.1 * 3) - 333) * -0.5));
    EXPECT_EQ(l.dest.x, -49);  // -49.95 truncated toward zero, not floored to -50
    PaintLayout big = ComputePaintLayout(100, 100, 640, 480, true, 99);
    EXPECT_EQ(big.dest.width, 250);  // factor 2.5 at zoom 15
    EXPECT_DOUBLE_EQ(ZoomFactor(-4), 1.0);
}

TEST(PaintGeometry, NaturalSizeInASmallerWindowShowsTheCentre) {
    PaintLayout l = ComputePaintLayout(200, 100, 640, 480, false, 0);
    EXPECT_FALSE(l.stretch);
    EXPECT_EQ(l.xoff, 220);
    EXPECT_EQ(l.yoff, 190);
    EXPECT_EQ(l.textX, -218);
    EXPECT_EQ(l.textY, -188);
    EXPECT_EQ(l.recY, 18 - 190);
    EXPECT_EQ(l.visible.x, 0);
    EXPECT_EQ(l.visible.y, 0);
    EXPECT_EQ(l.visible.width, 200);
    EXPECT_EQ(l.visible.height, 100);
    EXPECT_EQ(l.visibleSrcX, 220);
    EXPECT_EQ(l.visibleSrcY, 190);
}

TEST(PaintGeometry, NaturalSizeInALargerWindowIsCentred) {
    PaintLayout l = ComputePaintLayout(800, 600, 640, 480, false, 7);
    EXPECT_EQ(l.xoff, -80);
    EXPECT_EQ(l.yoff, -60);
    EXPECT_EQ(l.textX, 82);
    EXPECT_EQ(l.textY, 62);
    EXPECT_EQ(l.recY, 78);
    EXPECT_EQ(l.zoomY, 92);  // zoom does not scale the natural size, the text still moves along
    EXPECT_EQ(l.visible.x, 80);
    EXPECT_EQ(l.visible.y, 60);
    EXPECT_EQ(l.visible.width, 640);
    EXPECT_EQ(l.visible.height, 480);
    EXPECT_EQ(l.visibleSrcX, 0);
    EXPECT_EQ(l.visibleSrcY, 0);
}

TEST(PaintGeometry, NaturalSizeComparesOnlyTheWidth) {
    PaintLayout l = ComputePaintLayout(640, 200, 640, 480, false, 0);
    EXPECT_EQ(l.xoff, 0);
    EXPECT_EQ(l.yoff, 0);
    EXPECT_EQ(l.textX, 2);
    EXPECT_EQ(l.textY, 2);
    EXPECT_EQ(l.visible.height, 200);
    // Odd differences truncate toward zero on both sides.
    PaintLayout odd = ComputePaintLayout(177, 145, 176, 144, false, 0);
    EXPECT_EQ(odd.xoff, 0);  // (176 - 177) / 2 = -0.5 -> 0
    EXPECT_EQ(odd.yoff, 0);
    PaintLayout odd2 = ComputePaintLayout(173, 141, 176, 144, false, 0);
    EXPECT_EQ(odd2.xoff, 1);
    EXPECT_EQ(odd2.yoff, 1);
}

TEST(PaintGeometry, EmptyWindowsGiveNoVisiblePart) {
    PaintLayout l = ComputePaintLayout(0, 0, 320, 240, false, 0);
    EXPECT_TRUE(l.visible.Empty());
    PaintLayout neg = ComputePaintLayout(-5, 10, 320, 240, true, 0);
    EXPECT_EQ(neg.dest.width, 0);
}

}  // namespace
}  // namespace liveview
