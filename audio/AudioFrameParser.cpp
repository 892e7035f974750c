#include "audio/AudioFrameParser.h"

#include <cstring>

#include "common/Trace.h"

namespace qern {

namespace {
const uint8_t kMagic[4] = {0x1A, 0x2B, 0x3C, 0x4D};
}

bool AudioFrameParser::IsMagic(size_t pos, size_t total) const {
    return total - pos >= 4 && std::memcmp(m_raw + pos, kMagic, 4) == 0;
}

// A tail shorter than the magic that may be its beginning.
bool AudioFrameParser::StartsLikeMagic(size_t pos, size_t total) const {
    return total - pos < 4 && std::memcmp(m_raw + pos, kMagic, total - pos) == 0;
}

size_t AudioFrameParser::Take(size_t pos, size_t payload, uint8_t* out, size_t& written) {
    const size_t whole = payload & ~size_t(1);
    std::memcpy(out + written, m_raw + pos + kHeaderBytes, whole);
    written += whole;
    ++m_framesTaken;
    return pos + kHeaderBytes + payload;
}

size_t AudioFrameParser::Commit(size_t n, uint8_t* out) {
    if (n > Room()) n = Room();
    const size_t total = m_carry + n;
    size_t pos = 0;
    size_t written = 0;
    size_t carryFrom = total;  // nothing carried unless a frame is cut off
    while (pos < total) {
        const size_t left = total - pos;
        if (m_state == State::Searching) {
            if (!IsMagic(pos, total)) {
                if (StartsLikeMagic(pos, total)) {
                    carryFrom = pos;
                    break;
                }
                ++pos;
                continue;
            }
            if (left < kHeaderBytes) {
                carryFrom = pos;
                break;
            }
            const size_t payload = size_t(m_raw[pos + 6]) << 8 | m_raw[pos + 7];
            if (payload > kMaxPayload) {
                ++m_framesTooLong;
                ++pos;
                continue;
            }
            if (kHeaderBytes + payload > left) {
                carryFrom = pos;
                break;
            }
            m_expected = uint8_t(m_raw[pos + 5] + 1);
            m_state = State::Following;
            pos = Take(pos, payload, out, written);
            continue;
        }
        // Following: the next frame starts here; its magic is not tested.
        if (left < kMaxFrame) {
            carryFrom = pos;
            break;
        }
        const size_t payload = size_t(m_raw[pos + 6]) << 8 | m_raw[pos + 7];
        if (payload > kMaxPayload) {
            ++m_framesTooLong;
            m_state = State::Searching;
            ++pos;
            continue;
        }
        const uint8_t sequence = m_raw[pos + 5];
        if (sequence != m_expected) {
            QernTrace("aud lost !![sid1=%d][predictId=%d][pdata=%d]\n", m_raw[pos + 4], m_expected, sequence);
            ++m_framesLost;
        }
        // Counting on from the frame received reports each gap once.
        m_expected = uint8_t(sequence + 1);
        pos = Take(pos, payload, out, written);
    }
    m_carry = total - carryFrom;
    if (m_carry) std::memmove(m_raw, m_raw + carryFrom, m_carry);
    return written;
}

void AudioFrameParser::Reset() {
    m_carry = 0;
    m_state = State::Searching;
}

}  // namespace qern
