// Where the stream session gets its video bytes: the camera connection on
// Windows, an in-memory source in tests.
#pragma once

#include <cstdint>

namespace qern {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Stores up to size bytes; returns how many (> 0), or 0 at the end of the
    // stream or on failure. May block until bytes arrive.
    virtual int32_t Read(uint8_t* buffer, int32_t size) = 0;
};

}  // namespace qern
