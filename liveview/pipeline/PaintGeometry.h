#pragma once
// Where a frame and its texts go in the control's window: stretched and zoomed about the
// centre, or at natural size centred. Pure arithmetic, shared by the painter and its tests.
#include <cstdint>

namespace qern {

struct PaintRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool Empty() const { return width <= 0 || height <= 0; }
};

struct PaintLayout {
    bool stretch = false;
    // Stretched: the whole picture is drawn into this rectangle (it may reach outside the window).
    PaintRect dest;
    // Natural size: the window shows the picture from this origin (xoff, yoff) on, so the
    // picture's top-left corner lies at (-xoff, -yoff) in the window.
    int32_t xoff = 0, yoff = 0;
    // Natural size: the part of the window the picture covers, and where that part starts in
    // the picture (top-down picture coordinates). Empty when the picture is out of sight.
    PaintRect visible;
    int32_t visibleSrcX = 0, visibleSrcY = 0;
    // Text origins: overlay text, "REC" and the zoom text.
    int32_t textX = 0, textY = 0;
    int32_t recX = 0, recY = 0;
    int32_t zoomX = 0, zoomY = 0;
};

constexpr int32_t kMaxZoom = 15;

// Zoom factor 1.0 + 0.1 x zoom, with zoom held to 0..15.
double ZoomFactor(int32_t zoom);

// The layout for a client area of clientW x clientH and a picture of pictureW x pictureH.
PaintLayout ComputePaintLayout(int32_t clientW, int32_t clientH, int32_t pictureW, int32_t pictureH, bool stretch,
                               int32_t zoom);

}  // namespace qern