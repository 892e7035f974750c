#include "tools/camhost/WindowCapture.h"

#include <cstring>
#include <memory>
#include <type_traits>

namespace camhost {
namespace {

struct WindowDc {
    HWND hwnd;
    HDC dc;
    ~WindowDc() {
        if (dc) ReleaseDC(hwnd, dc);
    }
};

using MemoryDc = std::unique_ptr<std::remove_pointer<HDC>::type, decltype(&DeleteDC)>;
using Bitmap = std::unique_ptr<std::remove_pointer<HBITMAP>::type, decltype(&DeleteObject)>;

struct CopyTarget {
    HDC dc;
    POINT origin;  // of the window's client area in the capture
};

// Copies one child window's client area where it lies, so the capture holds the children's own
// pixels even where a window's device context would leave them out.
BOOL CALLBACK CopyChild(HWND child, LPARAM param) {
    auto* target = reinterpret_cast<CopyTarget*>(param);
    if (!IsWindowVisible(child)) return TRUE;
    RECT r;
    GetClientRect(child, &r);
    POINT at = {0, 0};
    ClientToScreen(child, &at);
    WindowDc dc{child, GetDC(child)};
    if (dc.dc)
        BitBlt(target->dc, at.x - target->origin.x, at.y - target->origin.y, r.right, r.bottom, dc.dc, 0, 0, SRCCOPY);
    return TRUE;
}

}  // namespace

bool CaptureClientArea(HWND window, Picture& out) {
    RECT client;
    if (!IsWindow(window) || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return false;
    const int w = client.right, h = client.bottom;
    // Whatever is waiting to be painted is painted first.
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

    WindowDc source{window, GetDC(window)};
    if (!source.dc) return false;
    MemoryDc memory(CreateCompatibleDC(source.dc), &DeleteDC);
    if (!memory) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap section(CreateDIBSection(source.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0), &DeleteObject);
    if (!section || !bits) return false;
    HGDIOBJ old = SelectObject(memory.get(), section.get());
    bool ok = BitBlt(memory.get(), 0, 0, w, h, source.dc, 0, 0, SRCCOPY) != FALSE;
    CopyTarget target{memory.get(), {0, 0}};
    ClientToScreen(window, &target.origin);
    EnumChildWindows(window, &CopyChild, reinterpret_cast<LPARAM>(&target));
    GdiFlush();
    SelectObject(memory.get(), old);
    if (!ok) return false;
    out.width = w;
    out.height = h;
    out.bgrx.resize(static_cast<size_t>(w) * h * 4);
    std::memcpy(out.bgrx.data(), bits, out.bgrx.size());
    return true;
}

}  // namespace camhost
