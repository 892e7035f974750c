#include "liveview/pipeline/FramePainter.h"

#include <cstring>

#include "liveview/pipeline/FrameMode.h"
#include "liveview/pipeline/OverlayText.h"
#include "liveview/pipeline/PaintGeometry.h"

namespace qern {

namespace {

// Window DC released on every path.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : m_hwnd(hwnd), m_dc(GetDC(hwnd)) {}
    ~WindowDc() {
        if (m_dc) ReleaseDC(m_hwnd, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
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

// Everything a paint shows, drawn into dc over a w x h area.
void DrawFrame(HDC dc, int w, int h, const PaintSource& source) {
    const FrameSize size = ModeSize(source.mode);
    const PaintLayout layout = ComputePaintLayout(w, h, size.width, size.height, source.stretch, source.zoom);
    const bool haveBitmap = UsableBitmap(source, size);
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(source.header);
    if (layout.stretch) {
        SetStretchBltMode(dc, COLORONCOLOR);
        if (haveBitmap) {
            StretchDIBits(dc, layout.dest.x, layout.dest.y, layout.dest.width, layout.dest.height, 0, 0, size.width,
                          size.height, source.bits, info, DIB_RGB_COLORS, SRCCOPY);
        } else {
            FillBlack(dc, 0, 0, w, h);
        }
    } else {
        // The picture at natural size with its top-left corner at (-xoff, -yoff); black around it.
        const PaintRect& v = layout.visible;
        if (v.Empty() || !haveBitmap) {
            FillBlack(dc, 0, 0, w, h);
        } else {
            StretchDIBits(dc, -layout.xoff, -layout.yoff, size.width, size.height, 0, 0, size.width, size.height,
                          source.bits, info, DIB_RGB_COLORS, SRCCOPY);
            FillBlack(dc, 0, 0, w, v.y);
            FillBlack(dc, 0, v.y + v.height, w, h);
            FillBlack(dc, 0, v.y, v.x, v.y + v.height);
            FillBlack(dc, v.x + v.width, v.y, w, v.y + v.height);
        }
    }

    DrawText(dc, layout.textX, layout.textY, kOverlayColour, source.overlayText ? source.overlayText : "");
    if (source.recording) DrawText(dc, layout.recX, layout.recY, kAlertColour, "REC");
    if (source.zoom != 0) {
        char zoomText[kOverlayTextSize];
        FormatZoomText(zoomText, source.zoom);
        DrawText(dc, layout.zoomX, layout.zoomY, kAlertColour, zoomText);
    }
}

// An off-screen copy of the window's area: a paint reaches the screen in one blit, so a
// picture never shows without its texts and two painters cannot mix their strokes.
class BackBuffer {
public:
    BackBuffer(HDC window, int w, int h) : m_dc(CreateCompatibleDC(window)) {
        if (m_dc) m_bitmap = CreateCompatibleBitmap(window, w, h);
        if (m_bitmap) m_old = SelectObject(m_dc, m_bitmap);
    }
    ~BackBuffer() {
        if (m_old) SelectObject(m_dc, m_old);
        if (m_bitmap) DeleteObject(m_bitmap);
        if (m_dc) DeleteDC(m_dc);
    }
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;
    HDC dc() const { return m_bitmap ? m_dc : nullptr; }

private:
    HDC m_dc;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

}  // namespace

bool PaintFrame(HWND hwnd, const PaintSource& source, HANDLE paintOK) {
    if (!IsKnownMode(source.mode) || !hwnd) return false;
    RECT client{};
    if (!GetClientRect(hwnd, &client)) return false;
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    WindowDc dc(hwnd);
    if (!dc.get()) return false;
    if (w > 0 && h > 0) {
        BackBuffer back(dc.get(), w, h);
        if (back.dc()) {
            DrawFrame(back.dc(), w, h, source);
            BitBlt(dc.get(), 0, 0, w, h, back.dc(), 0, 0, SRCCOPY);
        } else {
            DrawFrame(dc.get(), w, h, source);  // no memory for the copy: straight to the window
        }
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

}  // namespace qern