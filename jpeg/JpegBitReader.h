#pragma once

#include <cstdint>
#include <cstring>

#include "jpeg/JpegHuffmanTable.h"
#include "jpeg/JpegInput.h"

namespace qern {

// The bit window is as wide as a register: 64 bits on 64-bit targets, 32 bits on 32-bit ones (where a
// 64-bit shift costs several instructions). Both deliver the same bits.
#if UINTPTR_MAX > 0xFFFFFFFFu
using JpegBitWindow = uint64_t;
#else
using JpegBitWindow = uint32_t;
#endif

// Bit reader of entropy-coded data: a window whose top bits are the next bits of the stream.
// Stuffed FF 00 yields FF; at a marker it supplies 1-bits for ever and leaves the marker unread.
struct JpegBitReader {
    JpegBitWindow bits = 0;
    int nbits = 0;  // valid bits counted from the top; bits below may already hold the next bytes
    bool atMarker = false;
};

namespace jpegbits {

constexpr int kWindowBits = static_cast<int>(sizeof(JpegBitWindow) * 8);
// Bits guaranteed before a symbol is decoded: a 64-bit window holds a symbol and its value (16 + 16),
// a 32-bit one the symbol only (EnsureForValue tops it up).
constexpr int kSymbolBits = kWindowBits == 64 ? 32 : 16;

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

inline JpegBitWindow LoadBigEndian(const uint8_t* p) {
    JpegBitWindow w;
    std::memcpy(&w, p, sizeof w);
#if defined(__GNUC__)
    if constexpr (sizeof w == 8) {
        return static_cast<JpegBitWindow>(__builtin_bswap64(w));
    } else {
        return static_cast<JpegBitWindow>(__builtin_bswap32(static_cast<uint32_t>(w)));
    }
#else
    JpegBitWindow v = 0;
    for (size_t i = 0; i < sizeof w; ++i) v = (v << 8) | p[i];
    return v;
#endif
}

// Tops the window up to at least kWindowBits - 7 bits; called when it holds fewer than kSymbolBits.
inline void Fill(JpegInput& in, JpegBitReader& r) {
    constexpr size_t kBytes = sizeof(JpegBitWindow);
    if (in.m_avail >= kBytes && !r.atMarker) {
        const JpegBitWindow w = LoadBigEndian(in.m_ptr);
        const JpegBitWindow x = ~w;  // a zero byte in x is an FF in the stream
        constexpr JpegBitWindow kOnes = static_cast<JpegBitWindow>(0x0101010101010101ull);
        constexpr JpegBitWindow kHighs = static_cast<JpegBitWindow>(0x8080808080808080ull);
        if (((x - kOnes) & ~x & kHighs) == 0) {
            const int k = (kWindowBits - r.nbits) >> 3;
            r.bits |= w >> r.nbits;
            in.m_ptr += k;
            in.m_avail -= static_cast<size_t>(k);
            r.nbits += k * 8;
            return;
        }
    }
    r = FillSlow(in, r);
}

inline void Ensure(JpegInput& in, JpegBitReader& r, int n) {
    if (r.nbits < n) Fill(in, r);
}
inline void EnsureForSymbol(JpegInput& in, JpegBitReader& r) { Ensure(in, r, kSymbolBits); }
// Before reading n (<= 16) value bits right after a symbol.
inline void EnsureForValue(JpegInput& in, JpegBitReader& r, int n) {
    if constexpr (kWindowBits == 32) Ensure(in, r, n);
}

// Reads s bits (1..16) as an unsigned value; the window must hold them.
inline uint32_t Take(JpegBitReader& r, int s) {
    const uint32_t v = static_cast<uint32_t>(r.bits >> (kWindowBits - s));
    r.bits <<= s;
    r.nbits -= s;
    return v;
}

inline uint32_t Peek(const JpegBitReader& r, int n) { return static_cast<uint32_t>(r.bits >> (kWindowBits - n)); }

inline void Skip(JpegBitReader& r, int n) {
    r.bits <<= n;
    r.nbits -= n;
}

// JPEG sign extension of an s-bit magnitude (s = 0 gives 0).
inline int32_t Extend(uint32_t v, int s) {
    return (s != 0 && v < (1u << (s - 1))) ? static_cast<int32_t>(v) + 1 - (1 << s) : static_cast<int32_t>(v);
}

// Decodes one symbol; the window must hold at least 16 bits.
inline int DecodeSymbol(JpegBitReader& r, const JpegHuffmanTable& t) {
    const uint16_t e = t.symbolLookup[Peek(r, JpegHuffmanTable::kLookupBits)];
    int len;
    int sym;
    if (e != 0) {
        len = e & 0x1F;
        sym = e >> 8;
    } else {
        sym = t.Decode16(Peek(r, 16), &len);
    }
    Skip(r, len);
    return sym;
}

}  // namespace jpegbits

}  // namespace qern
