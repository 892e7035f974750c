#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "liveview/pipeline/FramePainter.h"
#include "liveview/pipeline/PaintGeometry.h"
#include "tests/liveview/pipeline/WinCapture.h"

namespace liveview {
namespace {

using test::Capture;
using test::TestWindow;

// A 32-bit bottom-up bitmap whose every pixel tells its own picture coordinates:
// blue = x mod 256, green = y mod 256, red = (x / 256) x 16 + y / 256.
struct CoordinateBitmap {
    CoordinateBitmap(int w, int h) : block(40 + size_t(w) * h * 4) {
        BITMAPINFOHEADER hdr{};
        hdr.biSize = 40;
        hdr.biWidth = w;
        hdr.biHeight = h;
        hdr.biPlanes = 1;
        hdr.biBitCount = 32;
        hdr.biSizeImage = DWORD(w) * h * 4;
        std::memcpy(block.data(), &hdr, 40);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = block.data() + 40 + (size_t(h - 1 - y) * w + x) * 4;
                p[0] = uint8_t(x & 255);
                p[1] = uint8_t(y & 255);
                p[2] = uint8_t(((x >> 8) << 4) | (y >> 8));
                p[3] = 0;
            }
    }
    PaintSource Source(int mode) const {
        PaintSource s;
        s.mode = mode;
        s.header = reinterpret_cast<const BITMAPINFOHEADER*>(block.data());
        s.bits = block.data() + 40;
        s.overlayText = "";
        return s;
    }
    std::vector<uint8_t> block;
};

struct Point {
    int x, y;
};
Point Decode(const test::Rgb& c) { return {((c.r >> 4) << 8) | c.b, ((c.r & 15) << 8) | c.g}; }

class Painter : public ::testing::Test {
protected:
    void SetUp() override { paintOK = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    void TearDown() override { CloseHandle(paintOK); }
    HANDLE paintOK = nullptr;
};

TEST_F(Painter, StretchFillsTheWindowAndZoomEnlargesAboutTheCentre) {
    TestWindow window(400, 300);
    CoordinateBitmap picture(320, 240);
    PaintSource s = picture.Source(1);
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    EXPECT_EQ(WaitForSingleObject(paintOK, 0), WAIT_OBJECT_0);
    Capture c0(window.hwnd());
    for (Point w : {Point{0, 0}, Point{399, 299}, Point{200, 150}, Point{57, 233}}) {
        Point p = Decode(c0.At(w.x, w.y));
        EXPECT_NEAR(p.x, w.x * 320 / 400, 1) << w.x << "," << w.y;
        EXPECT_NEAR(p.y, w.y * 240 / 300, 1) << w.x << "," << w.y;
    }

    s.zoom = 5;  // factor 1.5: destination (-100, -75, 600, 450)
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    Capture c5(window.hwnd());
    for (Point w : {Point{0, 0}, Point{200, 150}, Point{399, 299}, Point{300, 40}}) {
        Point p = Decode(c5.At(w.x, w.y));
        EXPECT_NEAR(p.x, (w.x + 100) * 320 / 600, 1) << w.x << "," << w.y;
        EXPECT_NEAR(p.y, (w.y + 75) * 240 / 450, 1) << w.x << "," << w.y;
    }
    // The zoom level in red at (2, 32): some red pixels in that text's box, none above it.
    int red = 0;
    for (int y = 32; y < 48; ++y)
        for (int x = 2; x < 90; ++x) red += c5.Red(x, y);
    EXPECT_GT(red, 20);
}

TEST_F(Painter, NaturalSizeCentresThePictureAndBlackensAround) {
    TestWindow window(800, 600);
    CoordinateBitmap picture(640, 480);
    PaintSource s = picture.Source(0);
    s.stretch = false;
    s.zoom = 5;  // no effect at natural size
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    Capture c(window.hwnd());
    for (Point w : {Point{80, 60}, Point{719, 539}, Point{400, 300}, Point{123, 456}}) {
        Point p = Decode(c.At(w.x, w.y));
        EXPECT_EQ(p.x, w.x - 80);
        EXPECT_EQ(p.y, w.y - 60);
    }
    for (Point w : {Point{0, 0}, Point{79, 300}, Point{720, 300}, Point{400, 59}, Point{400, 540}, Point{799, 599}})
        EXPECT_TRUE(test::Near(c.At(w.x, w.y), 0, 0, 0, 0)) << w.x << "," << w.y;

    TestWindow small(200, 100);
    ASSERT_TRUE(PaintFrame(small.hwnd(), s, paintOK));
    Capture cs(small.hwnd());
    Point p = Decode(cs.At(0, 0));
    EXPECT_EQ(p.x, 220);
    EXPECT_EQ(p.y, 190);
    p = Decode(cs.At(199, 99));
    EXPECT_EQ(p.x, 419);
    EXPECT_EQ(p.y, 289);
}

TEST_F(Painter, TextsAreDrawnWhereTheyBelongInTheirColours) {
    TestWindow window(320, 240);
    std::vector<uint8_t> grey(40 + 320 * 240 * 4, 0x60);
    CoordinateBitmap picture(320, 240);
    std::memcpy(grey.data(), picture.block.data(), 40);  // a plain grey picture
    PaintSource s = picture.Source(1);
    s.bits = grey.data() + 40;
    s.overlayText = "2026/12/06 21:24:10.160   FPS:25";
    s.recording = true;
    s.zoom = 3;
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    Capture c(window.hwnd());
    std::vector<bool> overlay =
        test::ReferenceText(window.hwnd(), 320, 240, 2, 2, kOverlayColour, "2026/12/06 21:24:10.160   FPS:25");
    std::vector<bool> rec = test::ReferenceText(window.hwnd(), 320, 240, 2, 18, kAlertColour, "REC");
    std::vector<bool> zoom = test::ReferenceText(window.hwnd(), 320, 240, 2, 32, kAlertColour, "ZoomIn X 3");
    int yellow = 0, red = 0, mismatches = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const size_t i = size_t(y) * 320 + x;
            yellow += overlay[i];
            red += rec[i] || zoom[i];
            if (c.Yellow(x, y) != overlay[i]) ++mismatches;
            if (c.Red(x, y) != (rec[i] || zoom[i])) ++mismatches;
        }
    EXPECT_GT(yellow, 50);
    EXPECT_GT(red, 30);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Painter, TextFollowsTheCentredPicture) {
    TestWindow window(800, 600);
    std::vector<uint8_t> grey(40 + 640 * 480 * 4, 0x60);
    CoordinateBitmap picture(640, 480);
    std::memcpy(grey.data(), picture.block.data(), 40);
    PaintSource s = picture.Source(0);
    s.bits = grey.data() + 40;
    s.stretch = false;
    s.overlayText = "FPS:07";
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    Capture c(window.hwnd());
    std::vector<bool> ref = test::ReferenceText(window.hwnd(), 800, 600, 82, 62, kOverlayColour, "FPS:07");
    int mismatches = 0, yellow = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            yellow += ref[size_t(y) * 800 + x];
            mismatches += c.Yellow(x, y) != ref[size_t(y) * 800 + x];
        }
    EXPECT_GT(yellow, 10);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Painter, ModeUnknownDrawsNothingAndDoesNotSignal) {
    TestWindow window(160, 120);
    CoordinateBitmap picture(320, 240);
    ASSERT_TRUE(PaintFrame(window.hwnd(), picture.Source(1), paintOK));
    ResetEvent(paintOK);
    Capture before(window.hwnd());
    PaintSource s = picture.Source(3);
    s.overlayText = "FPS:01";
    EXPECT_FALSE(PaintFrame(window.hwnd(), s, paintOK));
    EXPECT_EQ(WaitForSingleObject(paintOK, 0), DWORD(WAIT_TIMEOUT));
    Capture after(window.hwnd());
    for (int y = 0; y < 120; y += 7)
        for (int x = 0; x < 160; x += 7) {
            test::Rgb a = before.At(x, y), b = after.At(x, y);
            EXPECT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b);
        }
    EXPECT_FALSE(WaitForPaint(paintOK, 1));
}

TEST_F(Painter, InvalidBufferStillDrawsTheText) {
    TestWindow window(160, 120);
    PaintSource s;
    s.mode = 2;
    s.overlayText = "FPS:03";
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    EXPECT_TRUE(WaitForPaint(paintOK, 0));
    EXPECT_EQ(WaitForSingleObject(paintOK, 0), DWORD(WAIT_TIMEOUT));  // reset by the wait
    Capture c(window.hwnd());
    EXPECT_TRUE(test::Near(c.At(100, 100), 0, 0, 0, 0));
    int yellow = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) yellow += c.Yellow(x, y);
    EXPECT_GT(yellow, 10);
}

}  // namespace
}  // namespace liveview
