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
    for (int32_t i = 0; i < count; ++i) {
        uint8_t* out = dst + int64_t{mirror_ ? width_ - 1 - i : i} * 4;
        if (bytesPerPixel == 4) {
            std::memcpy(out, row + int64_t{i} * 4, 4);
        } else {
            const uint8_t g = row[i];
            out[0] = g;
            out[1] = g;
            out[2] = g;
            out[3] = 0xFF;
        }
    }
    return true;
}

}  // namespace liveview
