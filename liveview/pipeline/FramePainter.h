#pragma once
// Paints the shown frame buffer into the control's window with GDI and writes the overlay
// texts over it: the camera's time and frame rate in yellow, "REC" and the zoom level in red.
#include <windows.h>

#include <cstdint>

namespace qern {

constexpr COLORREF kOverlayColour = 0x0000FFFF;  // yellow
constexpr COLORREF kAlertColour = 0x000000FF;    // red
// How long the worker waits for "PaintOK" after asking for a paint.
constexpr DWORD kPaintWaitMs = 25;

struct PaintSource {
    int32_t mode = 3;                          // 3: size not known yet, nothing is drawn
    const BITMAPINFOHEADER* header = nullptr;  // the shown buffer: header, then pixels
    const uint8_t* bits = nullptr;
    bool stretch = true;
    int32_t zoom = 0;
    const char* overlayText = "";
    bool recording = false;
};

// Draws into hwnd's client area and signals paintOK (may be null). False when nothing was
// drawn (mode 3, or no window); paintOK is then left alone.
bool PaintFrame(HWND hwnd, const PaintSource& source, HANDLE paintOK);

// Waits up to ms for paintOK and resets it when it came; true then.
bool WaitForPaint(HANDLE paintOK, DWORD ms = kPaintWaitMs);

}  // namespace qern