#pragma once
// Copies decoded rows (top row first) into a bottom-up 32-bit bitmap, turned upside down and
// mirrored as asked. Rows are written at the bitmap's own row positions and clipped to its
// width and height, so no input reaches outside the pixels.
#include <cstdint>

namespace qern {

class DibRowWriter {
public:
    // pixels: width x height x 4 bytes, the last picture row first (bottom-up).
    DibRowWriter(uint8_t* pixels, int32_t width, int32_t height, bool upsideDown, bool mirror);

    // Takes the next row of `length` bytes, bytesPerPixel 4 (blue, green, red, x) or 1 (grey,
    // widened to 32 bits). False when the row was not used: the bitmap is full, or the row's
    // pixel size is neither.
    bool PutRow(const uint8_t* row, int32_t length, int bytesPerPixel);
    int32_t RowsWritten() const { return m_rows; }

    // Byte offset of picture pixel (x, y), y counted from the picture's top, in a bottom-up
    // bitmap of the given size.
    static int64_t PixelOffset(int32_t width, int32_t height, int32_t x, int32_t y);

private:
    uint8_t* m_pixels;
    int32_t m_width;
    int32_t m_height;
    bool m_upsideDown;
    bool m_mirror;
    int32_t m_rows = 0;
};

}  // namespace qern