#pragma once

#include <cstdint>
#include <cstring>

#include "jpeg/JpegHuffmanTable.h"
#include "jpeg/JpegInput.h"

// Bit reader of entropy-coded data: a 64-bit window whose top bits are the next bits of the stream.
// Stuffed FF 00 yields FF; at a marker it supplies 1-bits for ever and leaves the marker unread.
struct JpegBitReader {
    uint64_t bits = 0;
    int nbits = 0;  // valid bits counted from the top; bits below may already hold the next bytes
    bool atMarker = false;

    void Drop() {
        bits = 0;
        nbits = 0;
    }
};

namespace jpegbits {

inline uint8_t EntropyByte(JpegInput& in, bool& atMarker) {
    if (atMarker) return 0xFF;
    const uint8_t b = in.ReadByte();
    if (b != 0xFF) return b;
    if (in.ReadByte() == 0x00) return 0xFF;
    in.Unget(2);
    atMarker = true;
    return 0xFF;
}

// Byte-wise refill through the unstuffing reader; takes and returns the window by value so that callers
// can keep it in registers.
JpegBitReader FillSlow(JpegInput& in, JpegBitReader r);

inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
#if defined(__GNUC__)
    return __builtin_bswap64(w);
#else
    return ((w & 0xFFull) << 56) | ((w & 0xFF00ull) << 40) | ((w & 0xFF0000ull) << 24) |
           ((w & 0xFF000000ull) << 8) | ((w >> 8) & 0xFF000000ull) | ((w >> 24) & 0xFF0000ull) |
           ((w >> 40) & 0xFF00ull) | (w >> 56);
#endif
}

// Tops the window up to at least 57 bits; called when fewer than 32 are left.
inline void Fill(JpegInput& in, JpegBitReader& r) {
    if (in.avail_ >= 8 && !r.atMarker) {
        const uint64_t w = LoadBigEndian64(in.ptr_);
        const uint64_t x = ~w;  // a zero byte in x is an FF in the stream
        if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) == 0) {
            const int k = (64 - r.nbits) >> 3;
            r.bits |= w >> r.nbits;
            in.ptr_ += k;
            in.avail_ -= static_cast<size_t>(k);
            r.nbits += k * 8;
            return;
        }
    }
    r = FillSlow(in, r);
}

inline void Ensure(JpegInput& in, JpegBitReader& r, int n) {
    if (r.nbits < n) Fill(in, r);
}

// Reads s bits (1..16) as an unsigned value; the window must hold them.
inline uint32_t Take(JpegBitReader& r, int s) {
    const uint32_t v = static_cast<uint32_t>(r.bits >> (64 - s));
    r.bits <<= s;
    r.nbits -= s;
    return v;
}

// JPEG sign extension of an s-bit magnitude (s = 0 gives 0).
inline int32_t Extend(uint32_t v, int s) {
    return (s != 0 && v < (1u << (s - 1))) ? static_cast<int32_t>(v) + 1 - (1 << s) : static_cast<int32_t>(v);
}

// Decodes one symbol; the window must hold at least 16 bits.
inline int DecodeSymbol(JpegBitReader& r, const JpegHuffmanTable& t) {
    const uint16_t e = t.symbolLookup[r.bits >> (64 - JpegHuffmanTable::kLookupBits)];
    int len;
    int sym;
    if (e != 0) {
        len = e & 0x1F;
        sym = e >> 8;
    } else {
        sym = t.Decode16(static_cast<uint32_t>(r.bits >> 48), &len);
    }
    r.bits <<= len;
    r.nbits -= len;
    return sym;
}

}  // namespace jpegbits
