#include "transport/PartParser.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "common/Trace.h"

namespace qern {

namespace {

const char kTypeLineEnd[] = "/jpeg\r\n";
const int32_t kTypeLineEndSize = 7;
const int32_t kLengthNameSize = 15;  // "Content-Length:", skipped unread

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One hexadecimal field of at most width digits after optional blanks, as
// "%0<width>X" reads it. False when no digit follows.
bool ScanHex(const char*& p, const char* end, int width, uint32_t& value) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    value = 0;
    int digits = 0;
    while (p < end && digits < width && HexValue(*p) >= 0) {
        value = value * 16 + static_cast<uint32_t>(HexValue(*p++));
        ++digits;
    }
    return digits > 0;
}

bool ToLocalTime(uint32_t seconds, std::tm& out) {
    const std::time_t t = static_cast<std::time_t>(seconds);
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

// All three fields or nothing: a half stamp would pair a new time with old microseconds.
bool ParseStamp(const char* text, int32_t length, PartInfo& part) {
    const char* p = text;
    const char* end = text + length;
    uint32_t first = 0, seconds = 0, micros = 0;
    if (!ScanHex(p, end, 2, first) || !ScanHex(p, end, 8, seconds) || !ScanHex(p, end, 5, micros)) return false;
    std::tm local{};
    if (!ToLocalTime(seconds, local)) return false;
    part.time = CameraTime{local.tm_sec,  local.tm_min,  local.tm_hour, local.tm_mday, local.tm_mon,
                           local.tm_year, local.tm_wday, local.tm_yday, local.tm_isdst};
    part.micros = static_cast<int32_t>(micros);
    return true;
}

}  // namespace

PartParser::PartParser(RingBuffer& m_ring, std::function<bool(int32_t)> m_ensure)
    : m_ring(m_ring), m_ensure(std::move(m_ensure)) {}

void PartParser::Reset() {
    m_part = PartInfo();
    m_remaining = 0;
    m_dataRemaining = -1;
}

bool PartParser::Matches(int32_t offset, const char* text, int32_t length) const {
    return m_ring.Find(offset, offset + 1, text, length) == offset;
}

int32_t PartParser::FindCrLf(int32_t from, int32_t maxIndex) {
    for (int32_t i = 0; i <= maxIndex; ++i) {
        if (!m_ensure(from + i + 2)) return -1;
        if (m_ring.At(from + i) == '\r' && m_ring.At(from + i + 1) == '\n') return i;
    }
    return -1;
}

// Drops bytes up to the next type line, chunk by chunk. False when none is
// buffered; retry then says whether a further chunk is worth scanning.
bool PartParser::FindTypeLine(int32_t& consumed, bool& retry) {
    // A match may run into the bytes after the chunk, never past what was
    // received (a tail that could still start a match stays).
    const int32_t chunk = std::min(m_ring.Available(), kChunk);
    const int32_t at = m_ring.Find(0, chunk, kTypeLineEnd, kTypeLineEndSize);
    const int32_t skip = at >= 0 ? at : std::min(chunk, std::max(0, m_ring.Available() - kTypeLineEndSize + 1));
    consumed += m_ring.AdvanceRead(skip);
    retry = at < 0 && skip == chunk && m_ring.Available() > 8192;
    return at >= 0;
}

// The length line after the type line; p moves past it. -1 without a usable
// length, -2 for a length the ring cannot hold.
int32_t PartParser::ReadLength(int32_t& p) {
    const int32_t i = FindCrLf(p, 8);
    if (i < 0) return -1;
    char digits[11] = {};
    m_ring.Peek(p, reinterpret_cast<uint8_t*>(digits), i);
    const int32_t length = std::atoi(digits);  // at most 8 characters: cannot overflow
    p += i + 2;
    if (length < 0 || length > m_ring.Capacity()) {
        QernTrace("StreamSession::ParseHeader..bad length %d\n", length);
        return -2;
    }
    return length;
}

void PartParser::ReadStamp(int32_t& p) {
    if (!m_ensure(p + 13) || !Matches(p, "Content-Auth:", 13)) return;
    p += 13;
    const int32_t i = FindCrLf(p, 62);
    if (i < 0) return;
    char text[64];
    const int32_t n = m_ring.Peek(p, reinterpret_cast<uint8_t*>(text), std::min<int32_t>(i, sizeof text));
    m_part.stamped = ParseStamp(text, n, m_part);
    p += i + 2;
}

void PartParser::SkipLine(int32_t& p) {
    const int32_t i = FindCrLf(p, 18);
    if (i >= 0) p += i + 2;
}

// A type line followed by a length header: the start of a part, not JPEG data.
bool PartParser::LooksLikePartHeader(int32_t offset) {
    static const char name[] = "content-length:";
    if (!m_ensure(offset + kTypeLineEndSize + kLengthNameSize)) return false;
    for (int32_t i = 0; i < kLengthNameSize; ++i) {
        if (std::tolower(m_ring.At(offset + kTypeLineEndSize + i)) != name[i]) return false;
    }
    return true;
}

// Where the next part's headers begin within the current part's data, or -1.
int32_t PartParser::NextHeaderWithin(int32_t length) {
    for (int32_t at = 0; (at = m_ring.Find(at, length, kTypeLineEnd, kTypeLineEndSize)) >= 0; ++at) {
        if (LooksLikePartHeader(at)) return at;
    }
    return -1;
}

int32_t PartParser::Next() {
    int32_t consumed = 0;
    for (;;) {
        Reset();
        m_part.budget = m_remaining = kDefaultBudget;
        bool retry = false;
        if (!FindTypeLine(consumed, retry)) {
            if (retry) continue;
            return -1;
        }
        if (!m_ensure(kTypeLineEndSize + kLengthNameSize)) return -1;  // the stream ended inside the headers
        int32_t p = kTypeLineEndSize + kLengthNameSize;
        const int32_t length = ReadLength(p);
        if (length == -2) {
            // Not a frame the ring can hold: the next pass resynchronises on the next part.
            m_ring.AdvanceRead(p);
            return -1;
        }
        if (length >= 0) {
            m_part.hasLength = true;
            m_part.length = m_dataRemaining = length;
            m_part.budget = m_remaining = length + kBudgetSlack;
        }
        ReadStamp(p);
        SkipLine(p);
        consumed += m_ring.AdvanceRead(p);
        m_part.shortfall = std::max(0, m_part.budget - m_ring.Available());
        if (m_part.hasLength) {
            // Complete the part before the decoder sees it; the 14 budget bytes
            // after it belong to the next part and are not waited for.
            m_ensure(length);
            // A part that ends with its end marker is whole; only others are searched.
            const bool endsWithEoi = length >= 2 && length <= m_ring.Available() && m_ring.At(length - 2) == 0xFF &&
                                     m_ring.At(length - 1) == 0xD9;
            const int32_t cut = endsWithEoi ? -1 : NextHeaderWithin(length);
            if (cut >= 0) {
                // Cut short by the camera or a proxy: not a whole JPEG. Take the next part.
                QernTrace("StreamSession::ParseHeader..part of %d bytes cut after %d\n", length, cut);
                consumed += m_ring.AdvanceRead(cut);
                continue;
            }
        }
        m_part.whole = m_ring.Available() >= m_part.budget - kBudgetSlack;
        return consumed;
    }
}

int32_t PartParser::Read(uint8_t* dst, int32_t max, bool* end) {
    bool finished = true;
    int32_t n = 0;
    if (m_remaining > 0 && dst && max > 0) {
        // Wait only for the part's own data; hand out whatever else is held.
        const int32_t want = std::min(max, m_dataRemaining >= 0 ? m_dataRemaining : m_remaining);
        m_ensure(want);
        n = m_ring.Peek(0, dst, max);
        m_ring.AdvanceRead(std::min(n, m_remaining));  // bytes beyond the budget stay buffered
        m_remaining -= n;
        if (m_dataRemaining >= 0) m_dataRemaining = std::max(0, m_dataRemaining - n);
        finished = m_remaining < 1 || n < want || n == 0;
    }
    if (end) *end = finished;
    return n;
}

}  // namespace qern
