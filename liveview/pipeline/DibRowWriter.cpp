#include "liveview/pipeline/DibRowWriter.h"

#include <algorithm>
#include <cstring>

namespace liveview {

DibRowWriter::DibRowWriter(uint8_t* pixels, int32_t width, int32_t height, bool upsideDown, bool mirror)
    : pixels_(pixels),
      width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      upsideDown_(upsideDown),
      mirror_(mirror) {}

int64_t DibRowWriter::PixelOffset(int32_t width, int32_t height, int32_t x, int32_t y) {
    return (int64_t{height - 1 - y} * width + x) * 4;
}

bool DibRowWriter::PutRow(const uint8_t* row, int32_t length, int bytesPerPixel) {
    if (!pixels_ || !row || rows_ >= height_) return false;
    if (bytesPerPixel != 4 && bytesPerPixel != 1) return false;
    // Decoded row r is picture row r, or row height-1-r when turned upside down; the bitmap
    // stores picture row y at line height-1-y.
    const int32_t line = upsideDown_ ? rows_ : height_ - 1 - rows_;
    ++rows_;
    uint8_t* dst = pixels_ + int64_t{line} * width_ * 4;
    const int32_t count = std::min(std::max(length, 0) / bytesPerPixel, width_);
    if (bytesPerPixel == 4 && !mirror_) {
        std::memcpy(dst, row, static_cast<size_t>(count) * 4);
        return true;
    }
    // Mirrored pixels go from the right edge leftwards.
    const int32_t first = mirror_ ? width_ - 1 : 0;
    const int32_t step = mirror_ ? -1 : 1;
    if (bytesPerPixel == 4) {
        for (int32_t i = 0; i < count; ++i) {
            uint32_t pixel;
            std::memcpy(&pixel, row + int64_t{i} * 4, 4);
            std::memcpy(dst + int64_t{first + i * step} * 4, &pixel, 4);
        }
        return true;
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t g = row[i];
        const uint32_t pixel = g | (g << 8) | (g << 16) | 0xFF000000u;  // blue, green, red, x
        std::memcpy(dst + int64_t{first + i * step} * 4, &pixel, 4);
    }
    return true;
}

}  // namespace liveview
