#include "recording/RolloverPolicy.h"

#include <cerrno>
#include <cstdlib>

namespace qern {

uint64_t RolloverPolicy::LimitFromText(const char* text) {
    if (!text || !*text) return kDefaultLimit;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || *text == '-' || value < kMinimumLimit || value > kDefaultLimit)
        return kDefaultLimit;
    return value;
}

void RolloverPolicy::Begin() {
    m_bytes = kHeaderBytes;
    m_last = -1;
}

uint64_t RolloverPolicy::Cost(int32_t position, size_t size) const {
    const uint64_t sample = kChunkHeader + ((static_cast<uint64_t>(size) + 1) & ~uint64_t(1)) + kIndexEntry;
    // Each skipped position becomes an empty sample: a chunk header and an index entry.
    const int64_t gap = m_last >= 0 && position > m_last + 1 ? position - m_last - 1 : 0;
    return sample + static_cast<uint64_t>(gap) * (kChunkHeader + kIndexEntry);
}

bool RolloverPolicy::NeedsNewFile(int32_t position, size_t size) const {
    return m_last >= 0 && m_bytes + Cost(position, size) > m_limit;
}

void RolloverPolicy::Add(int32_t position, size_t size) {
    m_bytes += Cost(position, size);
    m_last = m_last >= 0 && position <= m_last ? m_last + 1 : position;
}

}  // namespace qern
