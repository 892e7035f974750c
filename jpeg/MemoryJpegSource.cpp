#include "jpeg/MemoryJpegSource.h"

#include <cstring>

namespace qern {

MemoryJpegSource::MemoryJpegSource(const uint8_t* data, size_t size, size_t chunk)
    : m_data(data), m_size(size), m_chunk(chunk) {}

int32_t MemoryJpegSource::Read(uint8_t* dst, int32_t max, bool* end) {
    size_t n = max > 0 ? static_cast<size_t>(max) : 0;
    if (m_chunk != 0 && n > m_chunk) n = m_chunk;
    if (n > m_size - m_pos) n = m_size - m_pos;
    if (n != 0) std::memcpy(dst, m_data + m_pos, n);
    m_pos += n;
    *end = m_pos >= m_size;
    return static_cast<int32_t>(n);
}

}  // namespace qern
