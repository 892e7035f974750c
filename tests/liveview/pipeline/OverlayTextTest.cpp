#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "liveview/pipeline/OverlayText.h"
#include "transport/StreamSessionCore.h"

namespace liveview {
namespace {

CameraTime Time(int year, int month, int day, int h, int m, int s) {
    CameraTime t;
    t.year = year - 1900;
    t.month = month - 1;
    t.dayOfMonth = day;
    t.hours = h;
    t.minutes = m;
    t.seconds = s;
    return t;
}

TEST(OverlayText, DateTimeAndRateWithThreeSpacesAndTheLiteralZero) {
    char out[kOverlayTextSize];
    FormatOverlayText(out, Time(2026, 12, 6, 21, 4, 9), 960000, 25, false);
    EXPECT_STREQ(out, "2026/12/06 21:04:09.960   FPS:25");
    FormatOverlayText(out, Time(2001, 1, 1, 0, 0, 0), 9999, 3, false);
    EXPECT_STREQ(out, "2001/01/01 00:00:00.000   FPS:03");
    FormatOverlayText(out, Time(2026, 7, 15, 23, 59, 59), 123456, 100, false);
    EXPECT_STREQ(out, "2026/07/15 23:59:59.120   FPS:100");
}

TEST(OverlayText, RateOnlyUpToTheYear2000AndIn176Mode) {
    char out[kOverlayTextSize];
    FormatOverlayText(out, Time(2000, 12, 31, 23, 59, 59), 500000, 7, false);
    EXPECT_STREQ(out, "FPS:07");
    FormatOverlayText(out, CameraTime{}, 0, 1, false);  // before the first stamp the year is 1900
    EXPECT_STREQ(out, "FPS:01");
    FormatOverlayText(out, Time(2026, 12, 6, 1, 2, 3), 40000, 25, true);
    EXPECT_STREQ(out, "FPS:25");
}

TEST(OverlayText, HostileStampFieldsStayInsideTheBuffer) {
    char out[kOverlayTextSize];
    CameraTime t = Time(2026, 1, 1, 0, 0, 0);
    t.year = 2147483000;
    t.month = -2147483647;
    t.dayOfMonth = -2147483647;
    t.hours = -2147483647;
    t.minutes = -2147483647;
    t.seconds = -2147483647;
    FormatOverlayText(out, t, -2147483647, -2147483647, false);
    EXPECT_LT(std::string(out).size(), kOverlayTextSize);
    EXPECT_EQ(std::string(out).substr(0, 4), "2147");
}

TEST(OverlayText, ZoomText) {
    char out[kOverlayTextSize];
    FormatZoomText(out, 5);
    EXPECT_STREQ(out, "ZoomIn X 5");
    FormatZoomText(out, 15);
    EXPECT_STREQ(out, "ZoomIn X 15");
}

TEST(OverlayText, BufferKeepsWholeTextsAcrossThreads) {
    OverlayTextBuffer buffer("RADaz");
    char out[kOverlayTextSize];
    buffer.Get(out);
    EXPECT_STREQ(out, "RADaz");
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

TEST(FrameRate, TwentyFiveStampsPerSecondGiveTwentyFiveAtTheWrap) {
    FrameRateCounter counter;
    int32_t fps = 0;
    EXPECT_TRUE(counter.Count(0, fps));  // the first frame starts a second
    EXPECT_EQ(fps, 1);
    for (int i = 1; i < 25; ++i) {
        EXPECT_FALSE(counter.Count(i * 40000, fps));
        EXPECT_EQ(fps, 1);
    }
    EXPECT_TRUE(counter.Count(0, fps));
    EXPECT_EQ(fps, 25);
    for (int i = 1; i < 10; ++i) counter.Count(i * 100000, fps);
    EXPECT_TRUE(counter.Count(50000, fps));  // a smaller part also starts a new second
    EXPECT_EQ(fps, 10);
}

TEST(FrameRate, NoStampsCountOneFramePerSecond) {
    FrameRateCounter counter;
    int32_t fps = 0;
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(counter.Count(0, fps));
        EXPECT_EQ(fps, 1);
    }
}

}  // namespace
}  // namespace liveview
