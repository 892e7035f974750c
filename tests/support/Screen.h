#pragma once
// Windows and their pixels in tests: a message pump, a plain drawing window, one capture of a client
// area (camhost's), "this text is drawn here" and the simulator's test picture.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/camhost/BmpFile.h"

namespace qern {

namespace test {

// Serves the calling thread's messages for about ms milliseconds (at least once).
void PumpMessages(int ms = 0);

// A top-level popup window that paints nothing itself (the code under test draws every pixel).
class TestWindow {
public:
    TestWindow(int width, int height);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

struct Rgb {
    uint8_t r, g, b;
};
bool Near(const Rgb& c, int r, int g, int b, int tolerance);

// The client area (children included) as it is on the screen now.
class Capture {
public:
    explicit Capture(HWND hwnd);
    int width() const { return m_picture.width; }
    int height() const { return m_picture.height; }
    Rgb At(int x, int y) const;  // black outside
    // Pixels of exactly `colour` within [x0, x1) x [y0, y1) (clipped to the capture).
    int Count(COLORREF colour, int x0 = 0, int y0 = 0, int x1 = 1 << 30, int y1 = 1 << 30) const;

private:
    camhost::Picture m_picture;
};

// Fraction (0..1) of the pixels GDI draws for `text` at (x, y) in `colour` (default font of `like`'s
// DC, transparent) that have that colour in the capture; 0 when GDI draws nothing. `drawn` receives
// how many pixels GDI drew: equal to c.Count(colour) when the text is all there is in that colour.
double TextDrawn(const Capture& c, HWND like, int x, int y, COLORREF colour, const std::string& text,
                 int* drawn = nullptr);

// The simulator's picture (white upper quarter, then red, green, blue and grey bars) stretched over
// the capture, upright or turned; returns what does not match, empty when it is all there.
std::string CamsimPictureFaults(const Capture& c, bool upsideDown = false, bool mirror = false);

}  // namespace test

}  // namespace qern
