#include "liveview/pipeline/FramePainter.h"

#include <cstring>

#include "liveview/pipeline/FrameMode.h"
#include "liveview/pipeline/OverlayText.h"
#include "liveview/pipeline/PaintGeometry.h"

namespace liveview {

namespace {

// Window DC released on every path.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

bool UsableBitmap(const PaintSource& s, const FrameSize& size) {
    return s.header && s.bits && s.header->biWidth == size.width && s.header->biHeight == size.height &&
           s.header->biBitCount == 32;
}

void FillBlack(HDC dc, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    RECT r{left, top, right, bottom};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void DrawText(HDC dc, int x, int y, COLORREF colour, const char* text) {
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

}  // namespace

bool PaintFrame(HWND hwnd, const PaintSource& source, HANDLE paintOK) {
    if (!IsKnownMode(source.mode) || !hwnd) return false;
    RECT client{};
    if (!GetClientRect(hwnd, &client)) return false;
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    WindowDc dc(hwnd);
    if (!dc.get()) return false;

    const FrameSize size = ModeSize(source.mode);
    const PaintLayout layout = ComputePaintLayout(w, h, size.width, size.height, source.stretch, source.zoom);
    const bool haveBitmap = UsableBitmap(source, size);
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(source.header);
    if (layout.stretch) {
        SetStretchBltMode(dc.get(), COLORONCOLOR);
        if (haveBitmap) {
            StretchDIBits(dc.get(), layout.dest.x, layout.dest.y, layout.dest.width, layout.dest.height, 0, 0,
                          size.width, size.height, source.bits, info, DIB_RGB_COLORS, SRCCOPY);
        } else {
            FillBlack(dc.get(), 0, 0, w, h);
        }
    } else {
        // The picture at natural size with its top-left corner at (-xoff, -yoff); black around it.
        const PaintRect& v = layout.visible;
        if (v.Empty() || !haveBitmap) {
            FillBlack(dc.get(), 0, 0, w, h);
        } else {
            StretchDIBits(dc.get(), -layout.xoff, -layout.yoff, size.width, size.height, 0, 0, size.width,
                          size.height, source.bits, info, DIB_RGB_COLORS, SRCCOPY);
            FillBlack(dc.get(), 0, 0, w, v.y);
            FillBlack(dc.get(), 0, v.y + v.height, w, h);
            FillBlack(dc.get(), 0, v.y, v.x, v.y + v.height);
            FillBlack(dc.get(), v.x + v.width, v.y, w, v.y + v.height);
        }
    }

    DrawText(dc.get(), layout.textX, layout.textY, kOverlayColour, source.overlayText ? source.overlayText : "");
    if (source.recording) DrawText(dc.get(), layout.recX, layout.recY, kAlertColour, "REC");
    if (source.zoom != 0) {
        char zoomText[kOverlayTextSize];
        FormatZoomText(zoomText, source.zoom);
        DrawText(dc.get(), layout.zoomX, layout.zoomY, kAlertColour, zoomText);
    }
    GdiFlush();
    if (paintOK) SetEvent(paintOK);
    return true;
}

bool WaitForPaint(HANDLE paintOK, DWORD ms) {
    if (!paintOK) return false;
    if (WaitForSingleObject(paintOK, ms) != WAIT_OBJECT_0) return false;
    ResetEvent(paintOK);
    return true;
}

}  // namespace liveview
