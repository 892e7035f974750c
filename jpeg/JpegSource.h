#pragma once

#include <cstdint>

namespace qern {

// Byte source through which JpegDecoder reads exactly one frame. The decoder neither owns nor frees it.
class JpegSource {
public:
    virtual ~JpegSource() = default;

    // Copies up to max bytes into dst and returns how many (0 or more), or -1 on failure.
    // Sets *end to true when the frame has no more bytes, else to false.
    virtual int32_t Read(uint8_t* dst, int32_t max, bool* end) = 0;

    // Never called by the decoder; it keeps the slot that byte sources have always had here.
    virtual void Reserved() {}

    // Called once when the decoder has failed on or released the source; the decoder forgets it afterwards.
    virtual void Close() {}
};

}  // namespace qern
