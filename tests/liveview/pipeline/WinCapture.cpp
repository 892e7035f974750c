#include "tests/liveview/pipeline/WinCapture.h"

#include <cstdlib>
#include <cstring>

namespace liveview::test {

namespace {
const wchar_t kClass[] = L"QernPipelineTestWindow";

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) return 1;  // the tests draw every pixel themselves
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A top-down 32-bit DIB section selected into a memory DC.
struct DibSection {
    DibSection(HDC like, int w, int h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(like);
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~DibSection() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    void* bits = nullptr;
};
}  // namespace

TestWindow::TestWindow(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST, kClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                            wc.hInstance, nullptr);
    UpdateWindow(hwnd_);
    Pump(100);
}

TestWindow::~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void TestWindow::Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

Capture::Capture(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    width_ = rc.right;
    height_ = rc.bottom;
    HDC dc = GetDC(hwnd);
    DibSection dib(dc, width_, height_);
    BitBlt(dib.dc, 0, 0, width_, height_, dc, 0, 0, SRCCOPY);
    GdiFlush();
    pixels_.assign(static_cast<const uint32_t*>(dib.bits), static_cast<const uint32_t*>(dib.bits) + size_t(width_) * height_);
    ReleaseDC(hwnd, dc);
}

Rgb Capture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0};
    const uint32_t p = pixels_[size_t(y) * width_ + x];
    return {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
}

bool Capture::Yellow(int x, int y) const {
    Rgb c = At(x, y);
    return c.r == 255 && c.g == 255 && c.b == 0;
}

bool Capture::Red(int x, int y) const {
    Rgb c = At(x, y);
    return c.r == 255 && c.g == 0 && c.b == 0;
}

std::vector<bool> ReferenceText(HWND like, int w, int h, int x, int y, COLORREF colour, const char* text) {
    HDC window = GetDC(like);
    DibSection dib(window, w, h);
    ReleaseDC(like, window);
    std::memset(dib.bits, 0, size_t(w) * h * 4);  // black: no text colour in it
    SetTextColor(dib.dc, colour);
    SetBkMode(dib.dc, TRANSPARENT);
    TextOutA(dib.dc, x, y, text, int(std::strlen(text)));
    GdiFlush();
    const uint32_t want = (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
    std::vector<bool> mask(size_t(w) * h);
    const uint32_t* p = static_cast<const uint32_t*>(dib.bits);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = (p[i] & 0xFFFFFF) == want;
    return mask;
}

bool Near(const Rgb& c, int r, int g, int b, int tolerance) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

}  // namespace liveview::test
