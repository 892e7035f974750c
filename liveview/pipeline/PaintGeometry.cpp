#include "liveview/pipeline/PaintGeometry.h"

#include <algorithm>

namespace qern {

double ZoomFactor(int32_t zoom) { return 1.0 + 0.1 * std::clamp(zoom, 0, kMaxZoom); }

PaintLayout ComputePaintLayout(int32_t clientW, int32_t clientH, int32_t pictureW, int32_t pictureH, bool stretch,
                               int32_t zoom) {
    PaintLayout l;
    l.stretch = stretch;
    const int32_t w = std::max(clientW, 0);
    const int32_t h = std::max(clientH, 0);
    if (stretch) {
        const double f = ZoomFactor(zoom);
        const double W = w * f;
        const double H = h * f;
        // Each value truncated toward zero, as the integer conversion does.
        l.dest.x = static_cast<int32_t>((W - w) * -0.5);
        l.dest.y = static_cast<int32_t>((H - h) * -0.5);
        l.dest.width = static_cast<int32_t>(W);
        l.dest.height = static_cast<int32_t>(H);
    } else {
        // Only the width decides whether the picture is moved.
        if (w != pictureW) {
            l.xoff = (pictureW - w) / 2;
            l.yoff = (pictureH - h) / 2;
        }
        const int32_t left = std::max(0, -l.xoff);
        const int32_t top = std::max(0, -l.yoff);
        const int32_t right = std::min(w, pictureW - l.xoff);
        const int32_t bottom = std::min(h, pictureH - l.yoff);
        if (right > left && bottom > top) {
            l.visible = {left, top, right - left, bottom - top};
            l.visibleSrcX = left + l.xoff;
            l.visibleSrcY = top + l.yoff;
        }
    }
    l.textX = l.recX = l.zoomX = 2 - l.xoff;
    l.textY = 2 - l.yoff;
    l.recY = 18 - l.yoff;
    l.zoomY = 32 - l.yoff;
    return l;
}

}  // namespace qern