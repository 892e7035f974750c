#include "transport/RingBuffer.h"

#include <algorithm>
#include <cstring>

namespace qern {

RingBuffer::RingBuffer(int32_t m_capacity)
    : m_storage(static_cast<size_t>(std::max<int32_t>(m_capacity, 1)), 0),
      m_capacity(std::max<int32_t>(m_capacity, 1)) {
    m_threshold = std::min(m_threshold, m_capacity);
}

int32_t RingBuffer::ContiguousFree() const { return std::min(m_capacity - m_writePos, m_capacity - m_filled); }

void RingBuffer::AdvanceWrite(int32_t n) {
    n = std::clamp(n, 0, ContiguousFree());
    m_writePos = Wrap(int64_t{m_writePos} + n);
    m_filled += n;
}

int32_t RingBuffer::Write(const uint8_t* src, int32_t n) {
    int32_t done = 0;
    while (done < n) {
        const int32_t piece = std::min(n - done, ContiguousFree());
        if (piece <= 0) break;
        std::memcpy(WritePointer(), src + done, static_cast<size_t>(piece));
        AdvanceWrite(piece);
        done += piece;
    }
    return done;
}

int32_t RingBuffer::AdvanceRead(int32_t n) {
    n = std::clamp(n, 0, m_filled);
    m_readPos = Wrap(int64_t{m_readPos} + n);
    m_filled -= n;
    return n;
}

int32_t RingBuffer::Peek(int32_t offset, uint8_t* dst, int32_t n) const {
    if (offset < 0 || offset >= m_filled || n <= 0) return 0;
    n = std::min(n, m_filled - offset);
    const int32_t start = Wrap(int64_t{m_readPos} + offset);
    const int32_t first = std::min(n, m_capacity - start);
    std::memcpy(dst, m_storage.data() + start, static_cast<size_t>(first));
    if (n > first) std::memcpy(dst + first, m_storage.data(), static_cast<size_t>(n - first));
    return n;
}

int32_t RingBuffer::Find(int32_t from, int32_t to, const char* text, int32_t n) const {
    if (n <= 0) return -1;
    from = std::max(from, 0);
    to = std::min(to, m_filled - n + 1);
    const auto first = static_cast<uint8_t>(text[0]);
    while (from < to) {
        // Look for the first byte within one unwrapped stretch of storage.
        const int32_t start = Wrap(int64_t{m_readPos} + from);
        const int32_t span = std::min(to - from, m_capacity - start);
        const void* hit = std::memchr(m_storage.data() + start, first, static_cast<size_t>(span));
        if (!hit) {
            from += span;
            continue;
        }
        const int32_t at = from + static_cast<int32_t>(static_cast<const uint8_t*>(hit) - (m_storage.data() + start));
        int32_t i = 1;
        while (i < n && At(at + i) == static_cast<uint8_t>(text[i])) ++i;
        if (i == n) return at;
        from = at + 1;
    }
    return -1;
}

const uint8_t* RingBuffer::Contiguous(int32_t offset, int32_t n, std::vector<uint8_t>& scratch) const {
    if (offset < 0 || n <= 0 || int64_t{offset} + n > m_filled) return nullptr;
    const int32_t start = Wrap(int64_t{m_readPos} + offset);
    if (start + n <= m_capacity) return m_storage.data() + start;
    if (scratch.size() < static_cast<size_t>(n)) scratch.resize(static_cast<size_t>(n));
    Peek(offset, scratch.data(), n);
    return scratch.data();
}

void RingBuffer::SetThreshold(int32_t n) { m_threshold = std::clamp(n, 0, m_capacity); }

}  // namespace qern
