// The picture size a JPEG frame declares in its frame header, found without decoding it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qern {

class JpegFrameSize {
public:
    // True when data holds a start marker and a frame header (SOF0..SOF15) within size bytes.
    static bool Read(const uint8_t* data, size_t size, int32_t* width, int32_t* height);
};

}  // namespace qern
