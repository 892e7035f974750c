// What the painter is given: the overlay text, the frame rate in it, the layout.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "liveview/pipeline/OverlayText.h"
#include "liveview/pipeline/PaintGeometry.h"
#include "tests/support/ByteFeed.h"
#include "transport/StreamSessionCore.h"

namespace qern {
namespace {

using qern::test::CalendarTime;

TEST(OverlayText, DateTimeAndRateOrTheRateAloneAndHostileFieldsStayInside) {
    const struct {
        CameraTime time;
        int32_t micros, fps;
        bool fpsOnly;
        const char* text;
    } cases[] = {
        {CalendarTime(2026, 12, 6, 21, 4, 9), 960000, 25, false, "2026/12/06 21:04:09.960   FPS:25"},
        {CalendarTime(2001, 1, 1, 0, 0, 0), 9999, 3, false, "2001/01/01 00:00:00.000   FPS:03"},
        {CalendarTime(2026, 7, 15, 23, 59, 59), 123456, 100, false, "2026/07/15 23:59:59.120   FPS:100"},
        {CalendarTime(2000, 12, 31, 23, 59, 59), 500000, 7, false, "FPS:07"},  // up to the year 2000
        {CameraTime{}, 0, 1, false, "FPS:01"},                            // before the first stamp the year is 1900
        {CalendarTime(2026, 12, 6, 1, 2, 3), 40000, 25, true, "FPS:25"},  // 176 x 144
    };
    char out[kOverlayTextSize];
    for (const auto& c : cases) {
        FormatOverlayText(out, c.time, c.micros, c.fps, c.fpsOnly);
        EXPECT_STREQ(out, c.text);
    }

    CameraTime t = CalendarTime(2026, 1, 1, 0, 0, 0);
    t.year = 2147483000;
    t.month = t.dayOfMonth = t.hours = t.minutes = t.seconds = -2147483647;
    FormatOverlayText(out, t, -2147483647, -2147483647, false);
    EXPECT_LT(std::string(out).size(), kOverlayTextSize);
    EXPECT_EQ(std::string(out).substr(0, 4), "2147");
}

TEST(OverlayText, BufferKeepsWholeTextsAcrossThreads) {
    OverlayTextBuffer buffer("RADaz");
    char out[kOverlayTextSize];
    char a[kOverlayTextSize] = "FPS:01";
    char b[kOverlayTextSize] = "2026/12/06 21:04:09.960   FPS:25";
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) buffer.Set(i % 2 ? a : b);
    });
    for (int i = 0; i < 20000; ++i) {
        buffer.Get(out);
        std::string s(out);
        ASSERT_TRUE(s == a || s == b || s == "RADaz") << s;
    }
    writer.join();
}

using Ms = std::chrono::milliseconds;

std::vector<int32_t> RatesOnClock(FrameRateCounter& counter, const std::vector<int>& gapsMs, int frames,
                                  FrameRateCounter::Clock::time_point& t) {
    std::vector<int32_t> rates;
    for (int i = 0; i < frames; ++i) {
        int32_t fps = -1;
        if (counter.Count(false, 0, t, fps)) rates.push_back(fps);
        t += Ms(gapsMs[size_t(i) % gapsMs.size()]);
    }
    return rates;
}

TEST(FrameRate, WithoutStampsTheComputersClockGivesTheRate) {
    struct Case {
        std::vector<int> gapsMs;
        int frames;
        std::vector<int32_t> rates;
    };
    const Case cases[] = {
        {{40}, 76, {25, 25, 25}},  // one rate per second, from the first frame's time
        {{30, 50}, 53, {25, 25}},  // jitter evens out over the second
        {{33, 33, 34}, 31, {30}},
        {{2000}, 4, {1, 1, 1}},  // slower than one a second: one frame per window
        {{5000}, 3, {1, 1}},     // a camera that sends at all never shows 0
        {{1}, 1, {}},            // one frame gives no rate yet
    };
    for (const Case& c : cases) {
        FrameRateCounter counter;
        FrameRateCounter::Clock::time_point t{};
        EXPECT_EQ(RatesOnClock(counter, c.gapsMs, c.frames, t), c.rates) << c.gapsMs[0] << " ms";
    }
}

TEST(FrameRate, StampsCountTheirSecondsAndAChangeOfKindCountsAfresh) {
    FrameRateCounter counter;
    FrameRateCounter::Clock::time_point t{};
    int32_t fps = 0;
    // Sub-second parts `step` apart up to the second's end, then `next`, which starts a new second.
    auto second = [&](int32_t step, int32_t next) {
        for (int32_t part = step; part < 1000000; part += step) EXPECT_FALSE(counter.Count(true, part, t, fps));
        return counter.Count(true, next, t, fps) ? fps : -1;
    };
    EXPECT_TRUE(counter.Count(true, 0, t, fps));
    EXPECT_EQ(fps, 1);
    EXPECT_EQ(second(40000, 0), 25);
    EXPECT_EQ(second(100000, 50000), 10);  // a smaller part also starts a new second
    // Stamps stop: their sub-second part stays 0, which must not count as 25 new seconds.
    EXPECT_EQ(RatesOnClock(counter, {40}, 51, t), (std::vector<int32_t>{25, 25}));
    EXPECT_TRUE(counter.Count(true, 0, t, fps));
    EXPECT_EQ(fps, 1);
    EXPECT_EQ(second(200000, 0), 5);
}

TEST(PaintGeometry, TruncatedTowardZeroAndHeldToItsLimits) {
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
        {640, 200, 640, 480, false, 7, {0, 0, 640, 200, 0, 0, 0, 0}},
        {177, 145, 176, 144, false, 7, {0, 0, 176, 144, 0, 0, 0, 0}},  // -0.5 truncated toward zero
        {173, 141, 176, 144, false, 7, {0, 0, 173, 141, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        const PaintLayout l = ComputePaintLayout(c.window_w, c.window_h, c.picture_w, c.picture_h, c.stretch, c.zoom);
        const PaintRect& r = c.stretch ? l.dest : l.visible;
        std::vector<int32_t> got = {r.x, r.y, r.width, r.height};
        if (!c.stretch) got.insert(got.end(), {l.visibleSrcX, l.visibleSrcY, l.xoff, l.yoff});
        EXPECT_EQ(l.stretch, c.stretch);
        EXPECT_EQ(got, c.rect) << c.window_w << "x" << c.window_h << " zoom " << c.zoom;
    }
    EXPECT_TRUE(ComputePaintLayout(0, 0, 320, 240, false, 0).visible.Empty());
}

}  // namespace
}  // namespace qern