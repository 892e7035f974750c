#include "liveview/pipeline/DibRowWriter.h"

#include <algorithm>
#include <cstring>

namespace qern {

DibRowWriter::DibRowWriter(uint8_t* pixels, int32_t width, int32_t height, bool upsideDown, bool mirror)
    : m_pixels(pixels),
      m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_upsideDown(upsideDown),
      m_mirror(mirror) {}

int64_t DibRowWriter::PixelOffset(int32_t width, int32_t height, int32_t x, int32_t y) {
    return (int64_t{height - 1 - y} * width + x) * 4;
}

bool DibRowWriter::PutRow(const uint8_t* row, int32_t length, int bytesPerPixel) {
    if (!m_pixels || !row || m_rows >= m_height) return false;
    if (bytesPerPixel != 4 && bytesPerPixel != 1) return false;
    // Decoded row r is picture row r, or row height-1-r when turned upside down; the bitmap
    // stores picture row y at line height-1-y.
    const int32_t line = m_upsideDown ? m_rows : m_height - 1 - m_rows;
    ++m_rows;
    uint8_t* dst = m_pixels + int64_t{line} * m_width * 4;
    const int32_t count = std::min(std::max(length, 0) / bytesPerPixel, m_width);
    if (bytesPerPixel == 4 && !m_mirror) {
        std::memcpy(dst, row, static_cast<size_t>(count) * 4);
        return true;
    }
    // Mirrored pixels go from the right edge leftwards.
    const int32_t first = m_mirror ? m_width - 1 : 0;
    const int32_t step = m_mirror ? -1 : 1;
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

}  // namespace qern