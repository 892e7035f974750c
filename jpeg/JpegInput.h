#pragma once

#include <cstddef>
#include <cstdint>

namespace qern {

class JpegSource;

// Input buffering of JpegDecoder. The source is read in chunks of up to 4096 bytes; once it is exhausted
// the reader sees the pair FF D9 for ever, so a truncated frame looks like one that ends in EOI markers.
class JpegInput {
public:
    static constexpr size_t kBufferSize = 4096;
    static constexpr size_t kPushBack = 128;  // room to step back before the buffer start
    static constexpr size_t kPad = 256;       // FF D9 written after the data lets readers look ahead

    void Reset(JpegSource* source);

    // Calls the source's Close once and forgets the source.
    void CloseSource();
    JpegSource* Source() const { return m_source; }

    uint8_t ReadByte() {
        if (m_avail == 0) Refill();
        --m_avail;
        return *m_ptr++;
    }
    uint16_t Read16() {
        uint16_t hi = ReadByte();
        return static_cast<uint16_t>((hi << 8) | ReadByte());
    }
    // Steps back over the last n bytes read (n <= kKeep); bytes kept across a refill stay reachable.
    void Unget(size_t n) {
        m_ptr -= n;
        m_avail += n;
    }
    void Skip(size_t n);

    // Loads the next chunk; called only when the buffer is empty. Fails the frame when the source fails.
    void Refill();

    // Direct access for the entropy decoder's bulk refill.
    const uint8_t* m_ptr = nullptr;
    size_t m_avail = 0;

    static constexpr size_t kKeep = 16;  // bytes carried in front of the buffer over a refill

private:
    JpegSource* m_source = nullptr;
    bool m_sourceEnd = false;
    alignas(16) uint8_t m_store[kPushBack + kBufferSize + kPad] = {};
};

}  // namespace qern
