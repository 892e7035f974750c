// Marker parsing of JpegDecoder: SOI search, the marker loop, and the DHT, DQT, DRI, SOF and SOS segments.
#include <cstring>

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegIdct.h"
#include "jpeg/JpegZigzag.h"

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
    int prev = input_.ReadByte();
    int cur = input_.ReadByte();
    int offset = 0;
    while (!(prev == 0xFF && cur == kSoi)) {
        if (++offset >= kSofLimit) Fail(kJpegNoImage);
        prev = cur;
        cur = input_.ReadByte();
    }
    if (offset != 0) {
        // Found by sliding: only trust it when a marker follows at once. The byte stays unread.
        const uint8_t next = input_.ReadByte();
        input_.Unget(1);
        if (next != 0xFF) Fail(kJpegNoImage);
    }
}

int JpegDecoder::NextMarker() {
    for (;;) {
        if (input_.ReadByte() != 0xFF) continue;
        uint8_t b;
        do b = input_.ReadByte();
        while (b == 0xFF);
        if (b != 0x00) return b;
    }
}

int JpegDecoder::ProcessMarkers() {
    for (;;) {
        const int m = NextMarker();
        if (IsFrameMarker(m) || m == kSoi || m == kEoi || m == kSos) return m;
        switch (m) {
            case kDht: ParseDht(); break;
            case kDqt: ParseDqt(); break;
            case kDri: ParseDri(); break;
            case kDac: Fail(kJpegArithmetic);
            case kTem:
            case kJpg: Fail(kJpegMarkerOutOfPlace);
            default: {
                if (m >= 0xD0 && m <= 0xD7) Fail(kJpegMarkerOutOfPlace);
                const uint16_t length = input_.Read16();
                if (length < 2) Fail(kJpegBadSegmentLength);
                input_.Skip(length - 2u);
                break;
            }
        }
    }
}

void JpegDecoder::ParseFrameHeader() {
    const int length = input_.Read16();
    if (input_.ReadByte() != 8) Fail(kJpegBadPrecision);
    height_ = input_.Read16();
    if (height_ == 0 || height_ > kMaxDimension) Fail(kJpegBadHeight);
    width_ = input_.Read16();
    if (width_ == 0 || width_ > kMaxDimension) Fail(kJpegBadWidth);
    componentCount_ = input_.ReadByte();
    if (componentCount_ > 4) Fail(kJpegTooManyComponents);
    if (length != 8 + 3 * componentCount_) Fail(kJpegBadFrameLength);
    for (int i = 0; i < componentCount_; ++i) {
        Component& c = comp_[i];
        c.id = input_.ReadByte();
        const uint8_t hv = input_.ReadByte();
        c.h = hv >> 4;
        c.v = hv & 15;
        c.quant = input_.ReadByte();
    }
}

void JpegDecoder::ParseDht() {
    int remaining = input_.Read16();
    if (remaining < 2) Fail(kJpegBadHuffmanLength);
    remaining -= 2;
    while (remaining > 0) {
        const uint8_t classId = input_.ReadByte();
        uint8_t counts[17] = {};
        int total = 0;
        for (int len = 1; len <= 16; ++len) {
            counts[len] = input_.ReadByte();
            total += counts[len];
        }
        if (total > 255) Fail(kJpegBadHuffmanCounts);
        const int slot = (classId & 0x0F) + 4 * ((classId >> 4) & 1);
        if (slot >= 8) Fail(kJpegBadHuffmanSlot);
        if (huffCounts_[slot] == nullptr) {
            huffCounts_[slot] = static_cast<uint8_t*>(pool_.Take(17));
            huffSymbols_[slot] = static_cast<uint8_t*>(pool_.Take(256));
        }
        std::memcpy(huffCounts_[slot], counts, 17);
        std::memset(huffSymbols_[slot], 0, 256);
        for (int i = 0; i < total; ++i) huffSymbols_[slot][i] = input_.ReadByte();
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
    int remaining = input_.Read16();
    if (remaining < 2) Fail(kJpegBadQuantLength);
    remaining -= 2;
    while (remaining > 0) {
        const uint8_t pq = input_.ReadByte();
        const int id = pq & 0x0F;
        if (id > 3) Fail(kJpegBadQuantId);
        const bool wide = (pq >> 4) != 0;
        if (quant_[id] == nullptr) quant_[id] = static_cast<QuantTable*>(pool_.Take(sizeof(QuantTable)));
        QuantTable& t = *quant_[id];
        for (int i = 0; i < 64; ++i) {
            const uint16_t q = wide ? input_.Read16() : input_.ReadByte();
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
    if (input_.Read16() != 4) Fail(kJpegBadRestartLength);
    restartInterval_ = input_.Read16();
}

void JpegDecoder::ParseSos() {
    const int length = input_.Read16();
    const int count = input_.ReadByte();
    if (count < 1 || count > 4 || length != 6 + 2 * count) Fail(kJpegBadScanComponents);
    scanCount_ = count;
    for (int i = 0; i < count; ++i) {
        const int id = input_.ReadByte();
        const uint8_t tables = input_.ReadByte();
        int c = 0;
        while (c < componentCount_ && comp_[c].id != id) ++c;
        if (c == componentCount_) Fail(kJpegUnknownComponent);
        for (int j = 0; j < i; ++j) {
            if (scanComp_[j] == c) Fail(kJpegBadScanComponents);  // the same component twice
        }
        const int dc = tables >> 4;
        const int ac = tables & 15;
        if (dc > 3 || ac > 3) Fail(kJpegMissingHuffmanTable);
        scanComp_[i] = c;
        comp_[c].dcSlot = dc;
        comp_[c].acSlot = 4 + ac;
    }
    spectralStart_ = input_.ReadByte();
    spectralEnd_ = input_.ReadByte();
    const uint8_t a = input_.ReadByte();
    approxHigh_ = a >> 4;
    approxLow_ = a & 15;
    if (!progressive_) {
        spectralStart_ = 0;
        spectralEnd_ = 63;
    }
}
