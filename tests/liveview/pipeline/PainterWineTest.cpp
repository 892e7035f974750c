// The painter under Wine: where each picture pixel lands, and the texts in their colours.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "liveview/pipeline/FramePainter.h"
#include "tests/support/Process.h"
#include "tests/support/Screen.h"

namespace liveview {
namespace {

// The overlay is yellow, the alerts red: exactly, so that a colour changed by mistake shows.
constexpr COLORREF kYellow = RGB(255, 255, 0), kRed = RGB(255, 0, 0);

using qern::test::Capture;
using qern::test::TestWindow;
using qern::test::TextDrawn;

// A 32-bit bottom-up bitmap whose every pixel tells its own picture coordinates:
// blue = x mod 256, green = y mod 256, red = (x / 256) x 16 + y / 256. `grey` paints it plain.
struct CoordinateBitmap {
    CoordinateBitmap(int w, int h, bool grey = false) : block(40 + size_t(w) * h * 4, 0x60) {
        BITMAPINFOHEADER hdr{40, w, h, 1, 32, BI_RGB, DWORD(w) * h * 4, 0, 0, 0, 0};
        std::memcpy(block.data(), &hdr, 40);
        for (int y = 0; y < h && !grey; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = block.data() + 40 + (size_t(h - 1 - y) * w + x) * 4;
                p[0] = uint8_t(x & 255), p[1] = uint8_t(y & 255), p[2] = uint8_t(((x >> 8) << 4) | (y >> 8)), p[3] = 0;
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

// GDI objects in use: the system's count, or where it counts none (Wine) the highest handle slot a
// batch of new brushes takes: freed slots are handed out again, so it grows with each object kept.
int GdiInUse() {
    if (const int n = qern::test::GdiObjectCount()) return n;
    HBRUSH batch[64];
    int top = 0;
    for (HBRUSH& b : batch) top = std::max(top, int(LOWORD(reinterpret_cast<UINT_PTR>(b = CreateSolidBrush(0)))));
    for (HBRUSH b : batch) DeleteObject(b);
    return top;
}

POINT Decode(const qern::test::Rgb& c) { return {((c.r >> 4) << 8) | c.b, ((c.r & 15) << 8) | c.g}; }

class Painter : public ::testing::Test {
protected:
    void SetUp() override { paintOK = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    void TearDown() override { CloseHandle(paintOK); }
    // Every pixel of `colour` in the window is one of `text`'s, and all of them are there.
    void ExpectOnlyText(const Capture& c, HWND hwnd, int x, int y, COLORREF colour, const char* text) {
        int drawn = 0;
        EXPECT_EQ(TextDrawn(c, hwnd, x, y, colour, text, &drawn), 1.0) << text;
        EXPECT_EQ(c.Count(colour), drawn) << text;
    }
    HANDLE paintOK = nullptr;
};

TEST_F(Painter, EachWindowPixelShowsItsPicturePixel) {
    struct Case {
        int window, picture, mode;
        bool stretch;
        int zoom;
        RECT dest;  // where the whole picture lands, in window pixels
    } cases[] = {
        {400, 320, 1, true, 0, {0, 0, 400, 300}},
        {400, 320, 1, true, 5, {-100, -75, 600, 450}},  // factor 1.5 about the centre
        {800, 640, 0, false, 5, {80, 60, 640, 480}},    // natural size centred; zoom has no effect
        {200, 640, 0, false, 0, {-220, -165, 640, 480}},  // the centre of a larger picture
    };
    for (const Case& k : cases) {
        TestWindow window(k.window, k.window * 3 / 4);
        CoordinateBitmap picture(k.picture, k.picture * 3 / 4);
        PaintSource s = picture.Source(k.mode);
        s.stretch = k.stretch;
        s.zoom = k.zoom;
        ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
        EXPECT_EQ(WaitForSingleObject(paintOK, 0), WAIT_OBJECT_0);
        Capture c(window.hwnd());
        const int w = c.width(), h = c.height(), pw = k.picture, ph = k.picture * 3 / 4;
        for (POINT at : {POINT{0, 0}, POINT{w - 1, h - 1}, POINT{w / 2, h / 2}, POINT{w / 7, h * 7 / 9}}) {
            const int px = int((at.x - k.dest.left) * int64_t(pw) / k.dest.right);
            const int py = int((at.y - k.dest.top) * int64_t(ph) / k.dest.bottom);
            if (px < 0 || py < 0 || px >= pw || py >= ph) {
                EXPECT_TRUE(qern::test::Near(c.At(at.x, at.y), 0, 0, 0, 0)) << "black at " << at.x << "," << at.y;
                continue;
            }
            const POINT p = Decode(c.At(at.x, at.y));
            const int slack = k.stretch ? 1 : 0;
            EXPECT_NEAR(p.x, px, slack) << k.window << "/" << k.zoom << " at " << at.x << "," << at.y;
            EXPECT_NEAR(p.y, py, slack) << k.window << "/" << k.zoom << " at " << at.x << "," << at.y;
        }
    }
}

TEST_F(Painter, TextsAreDrawnWhereTheyBelongInTheirColours) {
    TestWindow window(320, 240);
    CoordinateBitmap picture(320, 240, true);
    PaintSource s = picture.Source(1);
    s.overlayText = "2026/12/06 21:24:10.160   FPS:25";
    s.recording = true;
    s.zoom = 3;
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    Capture c(window.hwnd());
    ExpectOnlyText(c, window.hwnd(), 2, 2, kYellow, s.overlayText);
    int rec = 0, zoom = 0;
    EXPECT_EQ(TextDrawn(c, window.hwnd(), 2, 18, kRed, "REC", &rec), 1.0);
    EXPECT_EQ(TextDrawn(c, window.hwnd(), 2, 32, kRed, "ZoomIn X 3", &zoom), 1.0);
    EXPECT_EQ(c.Count(kRed), rec + zoom);
    // Fonts, brushes, bitmaps and DCs of a paint are all given back.
    const int gdi = GdiInUse();
    for (int i = 0; i < 50; ++i) PaintFrame(window.hwnd(), s, paintOK);
    EXPECT_LE(GdiInUse(), gdi);

    // At natural size the text follows the centred picture.
    TestWindow large(800, 600);
    CoordinateBitmap big(640, 480, true);
    PaintSource n = big.Source(0);
    n.stretch = false;
    n.overlayText = "FPS:07";
    ASSERT_TRUE(PaintFrame(large.hwnd(), n, paintOK));
    ExpectOnlyText(Capture(large.hwnd()), large.hwnd(), 82, 62, kYellow, "FPS:07");
}

TEST_F(Painter, UnknownModeDrawsNothingAndAMissingBufferStillGetsItsText) {
    TestWindow window(160, 120);
    CoordinateBitmap picture(320, 240);
    PaintSource s = picture.Source(3);
    s.overlayText = "FPS:01";
    EXPECT_FALSE(PaintFrame(window.hwnd(), s, paintOK));
    EXPECT_FALSE(WaitForPaint(paintOK, 1));
    EXPECT_EQ(Capture(window.hwnd()).Count(kYellow), 0);

    PaintSource none;
    none.mode = 2;
    none.overlayText = "FPS:03";
    ASSERT_TRUE(PaintFrame(window.hwnd(), none, paintOK));
    EXPECT_TRUE(WaitForPaint(paintOK, 0));
    EXPECT_EQ(WaitForSingleObject(paintOK, 0), DWORD(WAIT_TIMEOUT));  // reset by the wait
    Capture c(window.hwnd());
    EXPECT_TRUE(qern::test::Near(c.At(100, 100), 0, 0, 0, 0));
    ExpectOnlyText(c, window.hwnd(), 2, 2, kYellow, "FPS:03");
}

}  // namespace
}  // namespace liveview
