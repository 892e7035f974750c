// The multipart part parser of the video stream: finds each JPEG part's
// headers in the ring, reads its length and stamp, and hands out the part's
// bytes to the decoder within the part's budget. Platform-free.
#pragma once

#include <cstdint>
#include <functional>

#include "transport/RingBuffer.h"

namespace qern {

// Local broken-down time of the camera's last stamp (the fields of struct tm).
struct CameraTime {
    int32_t seconds = 0;
    int32_t minutes = 0;
    int32_t hours = 0;
    int32_t dayOfMonth = 0;  // 1..31
    int32_t month = 0;       // 0..11
    int32_t year = 0;        // years since 1900
    int32_t dayOfWeek = 0;
    int32_t dayOfYear = 0;
    int32_t daylight = 0;
};

// What the parser made of the current part.
struct PartInfo {
    bool hasLength = false;  // the part declared a usable Content-Length
    int32_t length = 0;      // that length (0 without one)
    int32_t budget = 0;      // bytes the decoder may take: length + 14, or 51200 without a length
    int32_t shortfall = 0;   // budget bytes not yet buffered right after the headers
    bool whole = false;      // every byte of the part's data is buffered
    bool stamped = false;    // a whole Content-Auth stamp came with it
    CameraTime time;         // the stamp, when stamped
    int32_t micros = 0;
};

class PartParser {
public:
    static constexpr int32_t kDefaultBudget = 51200;  // a part without a usable length
    static constexpr int32_t kBudgetSlack = 14;       // budget = Content-Length + 14
    static constexpr int32_t kChunk = 4096;

    // ensure(n) reads from the stream until n bytes are buffered (at most the
    // ring's capacity); false when the stream gave nothing more.
    PartParser(RingBuffer& ring, std::function<bool(int32_t)> ensure);

    // Finds the next part, consumes its headers and completes a part with a
    // length from the stream. A part cut short (the next part's headers lie
    // within its declared length) is dropped and the next one taken. Returns
    // the bytes consumed (>= 22), or -1 when no usable part header is buffered
    // (the garbage scanned is dropped) or the length is negative or more than
    // the ring holds (that header is dropped).
    int32_t Next();
    const PartInfo& Part() const { return m_part; }

    // Hands out up to max buffered bytes of the current part; *end becomes true
    // once its budget is used up (the bytes beyond it stay buffered) or the
    // stream ended before it was whole.
    int32_t Read(uint8_t* dst, int32_t max, bool* end);

    // Forgets the current part (a new stream begins).
    void Reset();

private:
    bool FindTypeLine(int32_t& consumed, bool& retry);
    int32_t ReadLength(int32_t& p);
    void ReadStamp(int32_t& p);
    void SkipLine(int32_t& p);
    int32_t NextHeaderWithin(int32_t length);
    bool LooksLikePartHeader(int32_t offset);
    int32_t FindCrLf(int32_t from, int32_t maxIndex);
    bool Matches(int32_t offset, const char* text, int32_t length) const;

    RingBuffer& m_ring;
    std::function<bool(int32_t)> m_ensure;
    PartInfo m_part;
    int32_t m_remaining = 0;       // budget bytes not yet handed out
    int32_t m_dataRemaining = -1;  // Content-Length bytes still to hand out, -1 without a length
};

}  // namespace qern
