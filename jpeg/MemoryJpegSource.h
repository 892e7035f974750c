#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/JpegSource.h"

namespace qern {

// Yields the bytes of a frame held in memory, optionally in pieces of at most `chunk` bytes per Read,
// so that tests can exercise the decoder's refills at every offset.
class MemoryJpegSource : public JpegSource {
public:
    MemoryJpegSource(const uint8_t* data, size_t size, size_t chunk = 0);

    int32_t Read(uint8_t* dst, int32_t max, bool* end) override;
    void Close() override { ++m_closeCount; }

    int CloseCount() const { return m_closeCount; }
    size_t Position() const { return m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_chunk;
    size_t m_pos = 0;
    int m_closeCount = 0;
};

}  // namespace qern
