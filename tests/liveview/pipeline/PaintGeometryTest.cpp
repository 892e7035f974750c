#include <gtest/gtest.h>

#include "liveview/pipeline/PaintGeometry.h"

namespace liveview {
namespace {

TEST(PaintGeometry, StretchedDestinationAboutTheCentre) {
    const struct {
        int window_w, window_h, zoom;
        int x, y, w, h;
    } cases[] = {
        {400, 300, 0, 0, 0, 400, 300},      // zoom 0 fills the window
        {400, 300, 5, -100, -75, 600, 450},  // factor 1.5 about the centre
        // 1.0 + 0.1 * 3 is slightly above 1.3 in binary: 432.9 -> 432; -49.95 truncated toward zero.
        {333, 100, 3, -49, -15, 432, 130},
        {100, 100, 99, -75, -75, 250, 250},  // held to zoom 15: factor 2.5
        {-5, 10, 0, 0, 0, 0, 10},
    };
    for (const auto& c : cases) {
        const PaintLayout l = ComputePaintLayout(c.window_w, c.window_h, 640, 480, true, c.zoom);
        EXPECT_TRUE(l.stretch);
        EXPECT_EQ(l.dest.x, c.x) << c.window_w << " zoom " << c.zoom;
        EXPECT_EQ(l.dest.y, c.y) << c.window_w << " zoom " << c.zoom;
        EXPECT_EQ(l.dest.width, c.w) << c.window_w << " zoom " << c.zoom;
        EXPECT_EQ(l.dest.height, c.h) << c.window_w << " zoom " << c.zoom;
        // The texts stay at the window's corner when stretched.
        EXPECT_EQ(l.textX, 2);
        EXPECT_EQ(l.textY, 2);
        EXPECT_EQ(l.recY, 18);
        EXPECT_EQ(l.zoomX, 2);
        EXPECT_EQ(l.zoomY, 32);
    }
    EXPECT_DOUBLE_EQ(ZoomFactor(-4), 1.0);
}

TEST(PaintGeometry, NaturalSizeIsCentredByTheWidthAndTheTextsFollow) {
    const struct {
        int window_w, window_h, picture_w, picture_h;
        int xoff, yoff;                // picture pixel at the window's origin
        int vx, vy, vw, vh, sx, sy;  // visible part in the window and its source corner
    } cases[] = {
        {200, 100, 640, 480, 220, 190, 0, 0, 200, 100, 220, 190},  // the centre of a larger picture
        {800, 600, 640, 480, -80, -60, 80, 60, 640, 480, 0, 0},     // a smaller picture centred
        {640, 200, 640, 480, 0, 0, 0, 0, 640, 200, 0, 0},           // only the width is compared
        {177, 145, 176, 144, 0, 0, 0, 0, 176, 144, 0, 0},           // -0.5 truncated toward zero
        {173, 141, 176, 144, 1, 1, 0, 0, 173, 141, 1, 1},
    };
    for (const auto& c : cases) {
        // Zoom does not scale the natural size.
        const PaintLayout l = ComputePaintLayout(c.window_w, c.window_h, c.picture_w, c.picture_h, false, 7);
        const std::string at = std::to_string(c.window_w) + "x" + std::to_string(c.window_h);
        EXPECT_FALSE(l.stretch);
        EXPECT_EQ(l.xoff, c.xoff) << at;
        EXPECT_EQ(l.yoff, c.yoff) << at;
        EXPECT_EQ(l.textX, 2 - c.xoff) << at;
        EXPECT_EQ(l.textY, 2 - c.yoff) << at;
        EXPECT_EQ(l.recY, 18 - c.yoff) << at;
        EXPECT_EQ(l.zoomY, 32 - c.yoff) << at;
        EXPECT_EQ(l.visible.x, c.vx) << at;
        EXPECT_EQ(l.visible.y, c.vy) << at;
        EXPECT_EQ(l.visible.width, c.vw) << at;
        EXPECT_EQ(l.visible.height, c.vh) << at;
        EXPECT_EQ(l.visibleSrcX, c.sx) << at;
        EXPECT_EQ(l.visibleSrcY, c.sy) << at;
    }
    EXPECT_TRUE(ComputePaintLayout(0, 0, 320, 240, false, 0).visible.Empty());
}

}  // namespace
}  // namespace liveview
