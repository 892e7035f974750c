#pragma once
// A plain top-level window for drawing tests, and a copy of its client area's pixels.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace liveview::test {

struct Rgb {
    uint8_t r, g, b;
};

class TestWindow {
public:
    TestWindow(int width, int height);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND hwnd() const { return hwnd_; }
    // Serves pending messages (paints included) for up to ms.
    void Pump(DWORD ms = 50);

private:
    HWND hwnd_ = nullptr;
};

// The client area as top-down 32-bit pixels.
class Capture {
public:
    explicit Capture(HWND hwnd);
    int width() const { return width_; }
    int height() const { return height_; }
    Rgb At(int x, int y) const;
    bool Yellow(int x, int y) const;  // exactly the overlay colour
    bool Red(int x, int y) const;     // exactly the alert colour

private:
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
};

// The pixels GDI makes of `text` drawn in `colour` at (x, y) of a w x h area with the default
// font of a window DC, transparent background: true where it drew.
std::vector<bool> ReferenceText(HWND like, int w, int h, int x, int y, COLORREF colour, const char* text);

bool Near(const Rgb& c, int r, int g, int b, int tolerance);

}  // namespace liveview::test
