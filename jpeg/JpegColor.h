#pragma once

#include <cstdint>

namespace qern {

// Output layouts, chroma upsampling by repetition and YCbCr to blue-green-red conversion.
//
// Layouts (blocks of an MCU in the sample buffer, 64 bytes each with a stride of 8):
//   0 greyscale 8x8: Y                      1 YCbCr 1x1, 8x8: Y Cb Cr
//   2 luma 2x1, 16x8: Y0 Y1 Cb Cr           3 luma 1x2, 8x16: Y0(top) Y1(bottom) Cb Cr
//   4 luma 2x2, 16x16: Y0 Y1 Y2 Y3 Cb Cr
// Colour pixels are 4 bytes: blue, green, red, 0xFF.
namespace jpegcolor {

struct Tables {
    int32_t crToRed[256];
    int32_t cbToBlue[256];
    int32_t crToGreen[256];
    int32_t cbToGreen[256];
};

void BuildTables(Tables& t);

struct Layout {
    int mcuWidth;
    int mcuHeight;
    int blocksPerMcu;
    int bytesPerPixel;
};
const Layout& LayoutInfo(int layout);

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

inline void ConvertPixel(const Tables& t, int y, int cb, int cr, uint8_t* out) {
    out[0] = Clamp(y + t.cbToBlue[cb]);
    out[1] = Clamp(y + ((t.cbToGreen[cb] + t.crToGreen[cr]) >> 16));
    out[2] = Clamp(y + t.crToRed[cr]);
    out[3] = 0xFF;
}

// Builds row r of an MCU row (r = 0..mcuHeight-1) from `samples` (mcus MCUs) into `a`; layouts 3 and 4 take
// an even r and also build row r + 1 into `b`. The rows must hold mcus x mcuWidth pixels.
void ConvertRowsScalar(int layout, const Tables& t, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b);
#if defined(__SSE2__)
void ConvertRowsSse2(int layout, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b);
#endif
// The decoder's choice: SSE2 where available.
void ConvertRows(int layout, const Tables& t, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b);

}  // namespace jpegcolor

}  // namespace qern
