#pragma once
// Cuts the camera's audio stream into frames and collects their PCM payloads. Each frame is
// the magic 1A 2B 3C 4D, a stream byte, a sequence number, a big-endian payload length and the
// payload (16-bit little-endian samples, at most 256 bytes). Bytes arrive in blocks of any size;
// an incomplete frame at the end of a block is carried to the next one.
#include <cstddef>
#include <cstdint>

namespace qern {

class AudioFrameParser {
public:
    static constexpr size_t kHeaderBytes = 8;
    static constexpr size_t kMaxPayload = 256;
    static constexpr size_t kMaxFrame = kHeaderBytes + kMaxPayload;  // 264
    // Raw bytes parsed at most per block, carried ones included.
    static constexpr size_t kBlockBytes = 16000;

    AudioFrameParser() = default;
    AudioFrameParser(const AudioFrameParser&) = delete;
    AudioFrameParser& operator=(const AudioFrameParser&) = delete;

    // Where the next bytes from the connection go (right after the carried ones), and how many fit.
    uint8_t* Space() { return m_raw + m_carry; }
    size_t Room() const { return kBlockBytes - m_carry; }
    // Parses the carried bytes and the n new ones written at Space(). Copies the payloads, one
    // after the other, to out (room for kBlockBytes) and returns how many bytes it copied (always
    // even: an odd payload loses its last byte so that later samples stay whole).
    size_t Commit(size_t n, uint8_t* out);
    // A new stream: forgets the carry and starts searching again.
    void Reset();

    size_t Carried() const { return m_carry; }
    uint32_t FramesTaken() const { return m_framesTaken; }
    // Frames whose sequence number was not the one expected ("aud lost" in the trace).
    uint32_t FramesLost() const { return m_framesLost; }
    // Headers with a payload longer than kMaxPayload: skipped, the parser looks for the next magic.
    uint32_t FramesTooLong() const { return m_framesTooLong; }

private:
    enum class State { Searching, Following };
    bool IsMagic(size_t pos, size_t total) const;
    bool StartsLikeMagic(size_t pos, size_t total) const;
    size_t Take(size_t pos, size_t payload, uint8_t* out, size_t& written);

    uint8_t m_raw[kBlockBytes] = {};
    size_t m_carry = 0;
    State m_state = State::Searching;
    uint8_t m_expected = 0;
    uint32_t m_framesTaken = 0;
    uint32_t m_framesLost = 0;
    uint32_t m_framesTooLong = 0;
};

}  // namespace qern
