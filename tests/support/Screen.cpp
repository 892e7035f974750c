#include "tests/support/Screen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/camhost/WindowCapture.h"

namespace qern {

namespace test {
namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_PAINT && ValidateRect(hwnd, nullptr)) return 0;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void PumpMessages(int ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms > 0) Sleep(5);
    } while (GetTickCount() - start < DWORD(ms));
}

TestWindow::TestWindow(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QernTestWindow";
    RegisterClassW(&wc);
    m_hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                             nullptr, wc.hInstance, nullptr);
    UpdateWindow(m_hwnd);
    PumpMessages(100);
}

TestWindow::~TestWindow() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

bool Near(const Rgb& c, int r, int g, int b, int tolerance) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

Capture::Capture(HWND hwnd) { camhost::CaptureClientArea(hwnd, m_picture); }

Rgb Capture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_picture.width || y >= m_picture.height) return {0, 0, 0};
    const uint8_t* p = &m_picture.bgrx[(size_t(y) * m_picture.width + x) * 4];
    return {p[2], p[1], p[0]};
}

int Capture::Count(COLORREF colour, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < height(); ++y)
        for (int x = x0 < 0 ? 0 : x0; x < x1 && x < width(); ++x)
            n += Near(At(x, y), GetRValue(colour), GetGValue(colour), GetBValue(colour), 0);
    return n;
}

double TextDrawn(const Capture& c, HWND like, int x, int y, COLORREF colour, const std::string& text, int* drawnOut) {
    const int w = c.width(), h = c.height();
    if (w <= 0 || h <= 0) return 0;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // 32-bit, top row first
    HDC window = GetDC(like);
    HDC dc = CreateCompatibleDC(window);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(window, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(like, window);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::memset(bits, 0, size_t(w) * h * 4);  // black: the text colour is not in it
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x, y, text.c_str(), int(text.size()));
    GdiFlush();
    const uint32_t want = (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    int drawn = 0, matched = 0;
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
            if ((p[size_t(yy) * w + xx] & 0xFFFFFF) == want) {
                ++drawn;
                matched += c.Count(colour, xx, yy, xx + 1, yy + 1);
            }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (drawnOut) *drawnOut = drawn;
    return drawn ? double(matched) / drawn : 0;
}

std::string CamsimPictureFaults(const Capture& c, bool upsideDown, bool mirror) {
    const int w = c.width(), h = c.height();
    auto at = [&](double fx, double fy) {
        int x = int(fx * w), y = int(fy * h);
        return c.At(mirror ? w - 1 - x : x, upsideDown ? h - 1 - y : y);
    };
    struct Bar {
        double x;
        int r, g, b;
        const char* name;
    } bars[] = {{0.125, 255, 0, 0, "red"},
                {0.375, 0, 255, 0, "green"},
                {0.625, 0, 0, 255, "blue"},
                {0.875, 128, 128, 128, "grey"}};
    std::string faults;
    for (const Bar& bar : bars)
        for (double fy : {0.35, 0.6, 0.9}) {
            const Rgb got = at(bar.x, fy);
            if (Near(got, bar.r, bar.g, bar.b, 40)) continue;
            char line[160];
            std::snprintf(line, sizeof line, "%s bar at (%.3f, %.2f) is %d,%d,%d; ", bar.name, bar.x, fy, got.r, got.g,
                          got.b);
            faults += line;
        }
    // The upper quarter is white but for the frame number and the moving square.
    int white = 0, samples = 0;
    for (double fx = 0.02; fx < 0.98; fx += 0.02, ++samples) white += Near(at(fx, 0.2), 255, 255, 255, 40);
    if (white * 10 < samples * 6) faults += "upper band not white; ";
    return faults;
}

}  // namespace test

}  // namespace qern
