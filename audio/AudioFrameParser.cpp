#include "audio/AudioFrameParser.h"

#include <cstring>

#include "common/Trace.h"

namespace {
const uint8_t kMagic[4] = {0x1A, 0x2B, 0x3C, 0x4D};
}

bool AudioFrameParser::IsMagic(size_t pos, size_t total) const {
    return total - pos >= 4 && std::memcmp(raw_ + pos, kMagic, 4) == 0;
}

// A tail shorter than the magic that may be its beginning.
bool AudioFrameParser::StartsLikeMagic(size_t pos, size_t total) const {
    return total - pos < 4 && std::memcmp(raw_ + pos, kMagic, total - pos) == 0;
}

size_t AudioFrameParser::Take(size_t pos, size_t payload, uint8_t* out, size_t& written) {
    const size_t whole = payload & ~size_t(1);
    std::memcpy(out + written, raw_ + pos + kHeaderBytes, whole);
    written += whole;
    ++framesTaken_;
    return pos + kHeaderBytes + payload;
}

size_t AudioFrameParser::Commit(size_t n, uint8_t* out) {
    if (n > Room()) n = Room();
    const size_t total = carry_ + n;
    size_t pos = 0;
    size_t written = 0;
    size_t carryFrom = total;  // nothing carried unless a frame is cut off
    while (pos < total) {
        const size_t left = total - pos;
        if (state_ == State::Searching) {
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
            const size_t payload = size_t(raw_[pos + 6]) << 8 | raw_[pos + 7];
            if (payload > kMaxPayload) {
                ++framesTooLong_;
                ++pos;
                continue;
            }
            if (kHeaderBytes + payload > left) {
                carryFrom = pos;
                break;
            }
            expected_ = uint8_t(raw_[pos + 5] + 1);
            state_ = State::Following;
            pos = Take(pos, payload, out, written);
            continue;
        }
        // Following: the next frame starts here; its magic is not tested.
        if (left < kMaxFrame) {
            carryFrom = pos;
            break;
        }
        const size_t payload = size_t(raw_[pos + 6]) << 8 | raw_[pos + 7];
        if (payload > kMaxPayload) {
            ++framesTooLong_;
            state_ = State::Searching;
            ++pos;
            continue;
        }
        const uint8_t sequence = raw_[pos + 5];
        if (sequence != expected_) {
            QernTrace("aud lost !![sid1=%d][predictId=%d][pdata=%d]\n", raw_[pos + 4], expected_, sequence);
            ++framesLost_;
        }
        // Counting on from the frame received reports each gap once.
        expected_ = uint8_t(sequence + 1);
        pos = Take(pos, payload, out, written);
    }
    carry_ = total - carryFrom;
    if (carry_) std::memmove(raw_, raw_ + carryFrom, carry_);
    return written;
}

void AudioFrameParser::Reset() {
    carry_ = 0;
    state_ = State::Searching;
}
