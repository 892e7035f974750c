// When a recording has to go on in a new file: AVI 1.0 keeps 32-bit sizes and offsets, and
// many readers take them as signed, so a file is closed well before 2 GiB.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qern {

class RolloverPolicy {
public:
    static constexpr uint64_t kDefaultLimit = 2000000000ULL;  // 147 MB short of 2 GiB
    static constexpr uint64_t kMinimumLimit = 65536;
    // Headers, the movie list's header and the index chunk's header, padding included.
    static constexpr uint64_t kHeaderBytes = 4096;
    static constexpr uint64_t kChunkHeader = 8;
    static constexpr uint64_t kIndexEntry = 16;

    // A limit from text (decimal bytes); the default for no text, a bad number or one below
    // kMinimumLimit or above kDefaultLimit.
    static uint64_t LimitFromText(const char* text);

    explicit RolloverPolicy(uint64_t limit = kDefaultLimit) : m_limit(limit) {}

    void Begin();
    // True when writing size bytes at position would take a file that already holds a frame
    // past the limit.
    bool NeedsNewFile(int32_t position, size_t size) const;
    // A frame written at position (empty samples fill a gap; an earlier position appends).
    void Add(int32_t position, size_t size);
    uint64_t Bytes() const { return m_bytes; }
    uint64_t Limit() const { return m_limit; }

private:
    uint64_t Cost(int32_t position, size_t size) const;

    uint64_t m_limit;
    uint64_t m_bytes = kHeaderBytes;
    int64_t m_last = -1;
};

}  // namespace qern
