// The layout's rounding and limits; where whole pictures land is checked on screen by the painter's test.
#include <gtest/gtest.h>

#include <vector>

#include "liveview/pipeline/PaintGeometry.h"

namespace liveview {
namespace {

std::vector<int32_t> Rect(const PaintRect& r) { return {r.x, r.y, r.width, r.height}; }

TEST(PaintGeometry, StretchedDestinationAboutTheCentreWithTheTextsAtTheCorner) {
    const struct {
        int window_w, window_h, zoom;
        std::vector<int32_t> dest;
    } cases[] = {
        // 1.0 + 0.1 * 3 is slightly above 1.3 in binary: 432.9 -> 432; -49.95 truncated toward zero.
        {333, 100, 3, {-49, -15, 432, 130}},
        {100, 100, 99, {-75, -75, 250, 250}},  // held to zoom 15: factor 2.5
        {100, 100, -4, {0, 0, 100, 100}},
        {-5, 10, 0, {0, 0, 0, 10}},
    };
    for (const auto& c : cases) {
        const PaintLayout l = ComputePaintLayout(c.window_w, c.window_h, 640, 480, true, c.zoom);
        EXPECT_TRUE(l.stretch);
        EXPECT_EQ(Rect(l.dest), c.dest) << c.window_w << " zoom " << c.zoom;
        EXPECT_EQ((std::vector<int32_t>{l.textX, l.textY, l.recY, l.zoomX, l.zoomY}),
                  (std::vector<int32_t>{2, 2, 18, 2, 32}));
    }
}

TEST(PaintGeometry, NaturalSizeIsCentredByTheWidthAndTheTextsFollow) {
    const struct {
        int window_w, window_h, picture_w, picture_h;
        int xoff, yoff;                  // picture pixel at the window's origin
        std::vector<int32_t> visible;    // in the window, then its source corner
    } cases[] = {
        {640, 200, 640, 480, 0, 0, {0, 0, 640, 200, 0, 0}},        // only the width is compared
        {177, 145, 176, 144, 0, 0, {0, 0, 176, 144, 0, 0}},        // -0.5 truncated toward zero
        {173, 141, 176, 144, 1, 1, {0, 0, 173, 141, 1, 1}},
        {800, 600, 640, 480, -80, -60, {80, 60, 640, 480, 0, 0}},
    };
    for (const auto& c : cases) {
        // Zoom does not scale the natural size.
        const PaintLayout l = ComputePaintLayout(c.window_w, c.window_h, c.picture_w, c.picture_h, false, 7);
        std::vector<int32_t> visible = Rect(l.visible);
        visible.insert(visible.end(), {l.visibleSrcX, l.visibleSrcY});
        EXPECT_FALSE(l.stretch);
        EXPECT_EQ((std::vector<int32_t>{l.xoff, l.yoff, l.textX, l.textY, l.recY, l.zoomY}),
                  (std::vector<int32_t>{c.xoff, c.yoff, 2 - c.xoff, 2 - c.yoff, 18 - c.yoff, 32 - c.yoff}))
            << c.window_w << "x" << c.window_h;
        EXPECT_EQ(visible, c.visible) << c.window_w << "x" << c.window_h;
    }
    EXPECT_TRUE(ComputePaintLayout(0, 0, 320, 240, false, 0).visible.Empty());
}

}  // namespace
}  // namespace liveview
