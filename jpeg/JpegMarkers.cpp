// Marker parsing of JpegDecoder: SOI search, the marker loop, and the DHT, DQT, DRI, SOF and SOS segments.
#include <cstring>

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegIdct.h"
#include "jpeg/JpegZigzag.h"

namespace qern {

namespace {

constexpr int kSoi = 0xD8;
constexpr int kEoi = 0xD9;
constexpr int kSos = 0xDA;
constexpr int kDht = 0xC4;
constexpr int kDqt = 0xDB;
constexpr int kDri = 0xDD;
constexpr int kDac = 0xCC;
constexpr int kTem = 0x01;
constexpr int kJpg = 0xC8;
constexpr int kSofLimit = 512;  // the SOI must start within the first 512 bytes

bool IsFrameMarker(int m) { return m >= 0xC0 && m <= 0xCF && m != kDht && m != kJpg && m != kDac; }

}  // namespace

void JpegDecoder::FindSoi() {
    int prev = m_input.ReadByte();
    int cur = m_input.ReadByte();
    int offset = 0;
    while (!(prev == 0xFF && cur == kSoi)) {
        if (++offset >= kSofLimit) Fail(kJpegNoImage);
        prev = cur;
        cur = m_input.ReadByte();
    }
    if (offset != 0) {
        // Found by sliding: only trust it when a marker follows at once. The byte stays unread.
        const uint8_t next = m_input.ReadByte();
        m_input.Unget(1);
        if (next != 0xFF) Fail(kJpegNoImage);
    }
}

int JpegDecoder::NextMarker() {
    for (;;) {
        if (m_input.ReadByte() != 0xFF) continue;
        uint8_t b;
        do b = m_input.ReadByte();
        while (b == 0xFF);
        if (b != 0x00) return b;
    }
}

int JpegDecoder::ProcessMarkers() {
    for (;;) {
        const int m = NextMarker();
        if (IsFrameMarker(m) || m == kSoi || m == kEoi || m == kSos) return m;
        switch (m) {
            case kDht:
                ParseDht();
                break;
            case kDqt:
                ParseDqt();
                break;
            case kDri:
                ParseDri();
                break;
            case kDac:
                Fail(kJpegArithmetic);
            case kTem:
            case kJpg:
                Fail(kJpegMarkerOutOfPlace);
            default: {
                if (m >= 0xD0 && m <= 0xD7) Fail(kJpegMarkerOutOfPlace);
                const uint16_t length = m_input.Read16();
                if (length < 2) Fail(kJpegBadSegmentLength);
                m_input.Skip(length - 2u);
                break;
            }
        }
    }
}

void JpegDecoder::ParseFrameHeader() {
    const int length = m_input.Read16();
    if (m_input.ReadByte() != 8) Fail(kJpegBadPrecision);
    m_height = m_input.Read16();
    if (m_height == 0 || m_height > kMaxDimension) Fail(kJpegBadHeight);
    m_width = m_input.Read16();
    if (m_width == 0 || m_width > kMaxDimension) Fail(kJpegBadWidth);
    m_componentCount = m_input.ReadByte();
    if (m_componentCount > 4) Fail(kJpegTooManyComponents);
    if (length != 8 + 3 * m_componentCount) Fail(kJpegBadFrameLength);
    for (int i = 0; i < m_componentCount; ++i) {
        Component& c = m_comp[i];
        c.id = m_input.ReadByte();
        const uint8_t hv = m_input.ReadByte();
        c.h = hv >> 4;
        c.v = hv & 15;
        c.quant = m_input.ReadByte();
    }
}

void JpegDecoder::ParseDht() {
    int remaining = m_input.Read16();
    if (remaining < 2) Fail(kJpegBadHuffmanLength);
    remaining -= 2;
    while (remaining > 0) {
        const uint8_t classId = m_input.ReadByte();
        uint8_t counts[17] = {};
        int total = 0;
        for (int len = 1; len <= 16; ++len) {
            counts[len] = m_input.ReadByte();
            total += counts[len];
        }
        if (total > 255) Fail(kJpegBadHuffmanCounts);
        const int slot = (classId & 0x0F) + 4 * ((classId >> 4) & 1);
        if (slot >= 8) Fail(kJpegBadHuffmanSlot);
        if (m_huffCounts[slot] == nullptr) {
            m_huffCounts[slot] = static_cast<uint8_t*>(m_pool.Take(17));
            m_huffSymbols[slot] = static_cast<uint8_t*>(m_pool.Take(256));
        }
        std::memcpy(m_huffCounts[slot], counts, 17);
        std::memset(m_huffSymbols[slot], 0, 256);
        for (int i = 0; i < total; ++i) m_huffSymbols[slot][i] = m_input.ReadByte();
        remaining -= 17 + total;
        if (remaining < 0) Fail(kJpegBadHuffmanLength);
        // Counts that over-fill the code space would give codes longer than their length allows.
        uint32_t space = 0;
        for (int len = 1; len <= 16; ++len) {
            space += counts[len];
            if (space > (1u << len)) Fail(kJpegBadHuffmanCounts);
            space <<= 1;
        }
    }
}

void JpegDecoder::ParseDqt() {
    int remaining = m_input.Read16();
    if (remaining < 2) Fail(kJpegBadQuantLength);
    remaining -= 2;
    while (remaining > 0) {
        const uint8_t pq = m_input.ReadByte();
        const int id = pq & 0x0F;
        if (id > 3) Fail(kJpegBadQuantId);
        const bool wide = (pq >> 4) != 0;
        if (m_quant[id] == nullptr) m_quant[id] = static_cast<QuantTable*>(m_pool.Take(sizeof(QuantTable)));
        QuantTable& t = *m_quant[id];
        for (int i = 0; i < 64; ++i) {
            const uint16_t q = wide ? m_input.Read16() : m_input.ReadByte();
            const int n = kJpegZigzagToNatural[i];
            t.zigzag[i] = q;
            t.fast[n] = jpegidct::FastQuant(n, q);
            t.plain[n] = static_cast<int16_t>(q);
        }
        remaining -= wide ? 129 : 65;
        if (remaining < 0) Fail(kJpegShortQuantTable);
    }
}

void JpegDecoder::ParseDri() {
    if (m_input.Read16() != 4) Fail(kJpegBadRestartLength);
    m_restartInterval = m_input.Read16();
}

void JpegDecoder::ParseSos() {
    const int length = m_input.Read16();
    const int count = m_input.ReadByte();
    if (count < 1 || count > 4 || length != 6 + 2 * count) Fail(kJpegBadScanComponents);
    m_scanCount = count;
    for (int i = 0; i < count; ++i) {
        const int id = m_input.ReadByte();
        const uint8_t tables = m_input.ReadByte();
        int c = 0;
        while (c < m_componentCount && m_comp[c].id != id) ++c;
        if (c == m_componentCount) Fail(kJpegUnknownComponent);
        for (int j = 0; j < i; ++j) {
            if (m_scanComp[j] == c) Fail(kJpegBadScanComponents);  // the same component twice
        }
        const int dc = tables >> 4;
        const int ac = tables & 15;
        if (dc > 3 || ac > 3) Fail(kJpegMissingHuffmanTable);
        m_scanComp[i] = c;
        m_comp[c].dcSlot = dc;
        m_comp[c].acSlot = 4 + ac;
    }
    m_spectralStart = m_input.ReadByte();
    m_spectralEnd = m_input.ReadByte();
    const uint8_t a = m_input.ReadByte();
    m_approxHigh = a >> 4;
    m_approxLow = a & 15;
    if (!m_progressive) {
        m_spectralStart = 0;
        m_spectralEnd = 63;
    }
}

}  // namespace qern
