#include "recording/JpegFrameSize.h"

namespace qern {

bool JpegFrameSize::Read(const uint8_t* data, size_t size, int32_t* width, int32_t* height) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t p = 2;
    while (p + 4 <= size) {
        if (data[p] != 0xFF) return false;
        const uint8_t marker = data[p + 1];
        if (marker == 0xFF) {  // fill byte
            ++p;
            continue;
        }
        const size_t length = (static_cast<size_t>(data[p + 2]) << 8) | data[p + 3];
        if (length < 2) return false;
        const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (length < 7 || p + 9 > size) return false;
            if (height) *height = (data[p + 5] << 8) | data[p + 6];
            if (width) *width = (data[p + 7] << 8) | data[p + 8];
            return true;
        }
        if (marker == 0xDA || marker == 0xD9) return false;  // scan or end before any frame header
        p += 2 + length;
    }
    return false;
}

}  // namespace qern
