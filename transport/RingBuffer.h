// Byte ring of the video stream. It keeps a fill count, so an empty ring and a
// full one are told apart, and no operation reads a byte that was not written
// or writes over one that was not read.
#pragma once

#include <cstdint>
#include <vector>

namespace qern {

class RingBuffer {
public:
    explicit RingBuffer(int32_t capacity);

    int32_t Capacity() const { return m_capacity; }
    // Bytes written and not yet consumed.
    int32_t Available() const { return m_filled; }
    // Where the next write goes and how many bytes fit there without crossing
    // the end of storage or reaching unread bytes.
    uint8_t* WritePointer() { return m_storage.data() + m_writePos; }
    int32_t ContiguousFree() const;
    // Marks n bytes at WritePointer() as written (clamped to ContiguousFree()).
    void AdvanceWrite(int32_t n);
    // Copies bytes in (across the wrap); returns how many fitted.
    int32_t Write(const uint8_t* src, int32_t n);

    // Consumes up to n buffered bytes; returns how many.
    int32_t AdvanceRead(int32_t n);

    // Looks at buffered bytes without consuming them; offset counts from the
    // read position. At() requires offset < Available().
    uint8_t At(int32_t offset) const { return m_storage[Wrap(m_readPos + offset)]; }
    int32_t Peek(int32_t offset, uint8_t* dst, int32_t n) const;
    // Offset of the first match of text[0..n) that starts in [from, to) and
    // lies wholly in the buffered bytes; -1 when there is none.
    int32_t Find(int32_t from, int32_t to, const char* text, int32_t n) const;
    // The buffered range [offset, offset + n) as one block: a pointer into
    // storage when it does not straddle the wrap, else a copy in scratch.
    const uint8_t* Contiguous(int32_t offset, int32_t n, std::vector<uint8_t>& scratch) const;

    // Forgets every buffered byte (a new stream begins).
    void Clear() { m_writePos = m_readPos = m_filled = 0; }

    int32_t Threshold() const { return m_threshold; }
    // Bytes Fill tries to keep buffered; at most the capacity.
    void SetThreshold(int32_t n);

    int32_t ReadPos() const { return m_readPos; }

private:
    int32_t Wrap(int64_t pos) const { return static_cast<int32_t>(pos % m_capacity); }

    std::vector<uint8_t> m_storage;
    int32_t m_capacity;
    int32_t m_writePos = 0;
    int32_t m_readPos = 0;
    int32_t m_filled = 0;
    int32_t m_threshold = 1000;
};

}  // namespace qern
