// The layout's rounding and limits; where whole pictures land is checked on screen by the painter's test.
#include <gtest/gtest.h>

#include <vector>

#include "liveview/pipeline/PaintGeometry.h"

namespace liveview {
namespace {

TEST(PaintGeometry, TruncatedTowardZeroHeldToItsLimitsAndTheTextsFollowTheNaturalPicture) {
    const struct {
        int window_w, window_h, picture_w, picture_h;
        bool stretch;
        int zoom;
        // Stretched: the destination. Natural: the visible part, its source corner, then xoff, yoff.
        std::vector<int32_t> rect;
    } cases[] = {
        // 1.0 + 0.1 * 3 is slightly above 1.3 in binary: 432.9 -> 432; -49.95 truncated toward zero.
        {333, 100, 640, 480, true, 3, {-49, -15, 432, 130}},
        {100, 100, 640, 480, true, 99, {-75, -75, 250, 250}},  // held to zoom 15: factor 2.5
        {100, 100, 640, 480, true, -4, {0, 0, 100, 100}},
        {-5, 10, 640, 480, true, 0, {0, 0, 0, 10}},
        // Natural size ignores the zoom and centres by the width alone.
        {640, 200, 640, 480, false, 7, {0, 0, 640, 200, 0, 0, 0, 0}},
        {177, 145, 176, 144, false, 7, {0, 0, 176, 144, 0, 0, 0, 0}},  // -0.5 truncated toward zero
        {173, 141, 176, 144, false, 7, {0, 0, 173, 141, 1, 1, 1, 1}},
        {800, 600, 640, 480, false, 7, {80, 60, 640, 480, 0, 0, -80, -60}},
    };
    for (const auto& c : cases) {
        const PaintLayout l = ComputePaintLayout(c.window_w, c.window_h, c.picture_w, c.picture_h, c.stretch, c.zoom);
        const PaintRect& r = c.stretch ? l.dest : l.visible;
        std::vector<int32_t> got = {r.x, r.y, r.width, r.height};
        if (!c.stretch) got.insert(got.end(), {l.visibleSrcX, l.visibleSrcY, l.xoff, l.yoff});
        EXPECT_EQ(l.stretch, c.stretch);
        EXPECT_EQ(got, c.rect) << c.window_w << "x" << c.window_h << " zoom " << c.zoom;
        const int32_t xoff = c.stretch ? 0 : c.rect[6], yoff = c.stretch ? 0 : c.rect[7];
        EXPECT_EQ((std::vector<int32_t>{l.textX, l.textY, l.recY, l.zoomX, l.zoomY}),
                  (std::vector<int32_t>{2 - xoff, 2 - yoff, 18 - yoff, 2 - xoff, 32 - yoff}))
            << c.window_w << "x" << c.window_h;
    }
    EXPECT_TRUE(ComputePaintLayout(0, 0, 320, 240, false, 0).visible.Empty());
}

}  // namespace
}  // namespace liveview
