#include "jpeg/JpegColor.h"
#include "jpeg/JpegSimd.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qern {

namespace jpegcolor {

namespace {

constexpr Layout kLayouts[5] = {
    {8, 8, 1, 1}, {8, 8, 3, 4}, {16, 8, 4, 4}, {8, 16, 4, 4}, {16, 16, 6, 4},
};

// Luma row `row` (0..mcuHeight-1) of pixel column x of an MCU, for the layout's block arrangement.
inline const uint8_t* LumaRow(int layout, const uint8_t* mcu, int row, int x) {
    const int blockCol = x >> 3;
    switch (layout) {
        case 2:
            return mcu + blockCol * 64 + row * 8;
        case 3:
            return mcu + (row >> 3) * 64 + (row & 7) * 8;
        case 4:
            return mcu + ((row >> 3) * 2 + blockCol) * 64 + (row & 7) * 8;
        default:
            return mcu + row * 8;
    }
}

}  // namespace

void BuildTables(Tables& t) {
    for (int i = 0; i < 256; ++i) {
        const int32_t c = i - 128;
        t.crToRed[i] = (91882 * c + 32768) >> 16;
        t.cbToBlue[i] = (116130 * c + 32768) >> 16;
        t.crToGreen[i] = -46802 * c;
        t.cbToGreen[i] = -22554 * c + 32768;
    }
}

const Layout& LayoutInfo(int layout) { return kLayouts[layout]; }

void ConvertRowsScalar(int layout, const Tables& t, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b) {
    const Layout& info = kLayouts[layout];
    const int mcuBytes = info.blocksPerMcu * 64;
    if (layout == 0) {
        for (int m = 0; m < mcus; ++m) std::memcpy(a + m * 8, samples + m * 64 + r * 8, 8);
        return;
    }
    const int rows = info.mcuHeight == 16 ? 2 : 1;
    const int lumaBlocks = info.blocksPerMcu - 2;
    const int hShift = info.mcuWidth == 16 ? 1 : 0;
    const int vShift = info.mcuHeight == 16 ? 1 : 0;
    for (int m = 0; m < mcus; ++m) {
        const uint8_t* mcu = samples + m * mcuBytes;
        for (int k = 0; k < rows; ++k) {
            const int row = r + k;
            uint8_t* out = (k == 0 ? a : b) + m * info.mcuWidth * 4;
            const uint8_t* cb = mcu + lumaBlocks * 64 + (row >> vShift) * 8;
            const uint8_t* cr = cb + 64;
            for (int x = 0; x < info.mcuWidth; ++x) {
                const uint8_t y = LumaRow(layout, mcu, row, x)[x & 7];
                ConvertPixel(t, y, cb[x >> hShift], cr[x >> hShift], out + x * 4);
            }
        }
    }
}

#if defined(__SSE2__)

namespace {

inline __m128i Pair(int16_t even, int16_t odd) { return _mm_set_epi16(odd, even, odd, even, odd, even, odd, even); }

// Table terms of 8 chroma samples, as 8 signed 16-bit lanes each: blue, green and red offsets, equal to the
// tables for every sample value. Red and blue: (mulhi(8c, K) + 1) >> 1 with K = 22970 and 29033 gives
// (91882 c + 32768) >> 16 and (116130 c + 32768) >> 16 exactly for c in -128..127 (checked over all 256).
// Green needs both samples in one rounding: an exact 32-bit multiply-add with factors that fit 16 bits.
struct Terms {
    __m128i blue, green, red;
};

inline Terms ChromaTerms(const uint8_t* cbp, const uint8_t* crp) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i cb =
        _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cbp)), zero), c128);
    const __m128i cr =
        _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(crp)), zero), c128);
    Terms t;
    t.red = _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(_mm_slli_epi16(cr, 3), _mm_set1_epi16(22970)), one), 1);
    t.blue = _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(_mm_slli_epi16(cb, 3), _mm_set1_epi16(29033)), one), 1);
    const __m128i cr2 = _mm_slli_epi16(cr, 1);
    const __m128i kGreen = Pair(-22554, -23401);  // cb * -22554 + 2 cr * -23401
    const __m128i half = _mm_set1_epi32(32768);
    const __m128i lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb, cr2), kGreen), half);
    const __m128i hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb, cr2), kGreen), half);
    t.green = _mm_packs_epi32(_mm_srai_epi32(lo, 16), _mm_srai_epi32(hi, 16));
    return t;
}

inline __m128i LoadLuma8(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

// 16 pixels: luma in two registers of 8 lanes, terms likewise.
inline void Emit16(__m128i y0, __m128i y1, const Terms& t0, const Terms& t1, uint8_t* out) {
    const __m128i b = _mm_packus_epi16(_mm_add_epi16(y0, t0.blue), _mm_add_epi16(y1, t1.blue));
    const __m128i g = _mm_packus_epi16(_mm_add_epi16(y0, t0.green), _mm_add_epi16(y1, t1.green));
    const __m128i r = _mm_packus_epi16(_mm_add_epi16(y0, t0.red), _mm_add_epi16(y1, t1.red));
    const __m128i x = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i bgLo = _mm_unpacklo_epi8(b, g);
    const __m128i bgHi = _mm_unpackhi_epi8(b, g);
    const __m128i rxLo = _mm_unpacklo_epi8(r, x);
    const __m128i rxHi = _mm_unpackhi_epi8(r, x);
    __m128i* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bgLo, rxLo));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLo, rxLo));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHi, rxHi));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHi, rxHi));
}

inline void Emit8(__m128i y, const Terms& t, uint8_t* out) {
    const __m128i b = _mm_packus_epi16(_mm_add_epi16(y, t.blue), y);
    const __m128i g = _mm_packus_epi16(_mm_add_epi16(y, t.green), y);
    const __m128i r = _mm_packus_epi16(_mm_add_epi16(y, t.red), y);
    const __m128i bg = _mm_unpacklo_epi8(b, g);
    const __m128i rx = _mm_unpacklo_epi8(r, _mm_set1_epi8(static_cast<char>(0xFF)));
    __m128i* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bg, rx));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bg, rx));
}

inline void Duplicate(const Terms& t, Terms& lo, Terms& hi) {
    lo.blue = _mm_unpacklo_epi16(t.blue, t.blue);
    hi.blue = _mm_unpackhi_epi16(t.blue, t.blue);
    lo.green = _mm_unpacklo_epi16(t.green, t.green);
    hi.green = _mm_unpackhi_epi16(t.green, t.green);
    lo.red = _mm_unpacklo_epi16(t.red, t.red);
    hi.red = _mm_unpackhi_epi16(t.red, t.red);
}

}  // namespace

JPEG_SIMD_CLONES void ConvertRowsSse2(int layout, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b) {
    switch (layout) {
        case 0:
            for (int m = 0; m < mcus; ++m) std::memcpy(a + m * 8, samples + m * 64 + r * 8, 8);
            return;
        case 1:
            for (int m = 0; m < mcus; ++m) {
                const uint8_t* mcu = samples + m * 192 + r * 8;
                Emit8(LoadLuma8(mcu), ChromaTerms(mcu + 64, mcu + 128), a + m * 32);
            }
            return;
        case 2:
            for (int m = 0; m < mcus; ++m) {
                const uint8_t* mcu = samples + m * 256 + r * 8;
                Terms lo, hi;
                Duplicate(ChromaTerms(mcu + 128, mcu + 192), lo, hi);
                Emit16(LoadLuma8(mcu), LoadLuma8(mcu + 64), lo, hi, a + m * 64);
            }
            return;
        case 3:
            for (int m = 0; m < mcus; ++m) {
                const uint8_t* mcu = samples + m * 256;
                const uint8_t* y = mcu + (r >> 3) * 64 + (r & 7) * 8;
                const Terms t = ChromaTerms(mcu + 128 + (r >> 1) * 8, mcu + 192 + (r >> 1) * 8);
                Emit8(LoadLuma8(y), t, a + m * 32);
                Emit8(LoadLuma8(y + 8), t, b + m * 32);
            }
            return;
        case 4:
            for (int m = 0; m < mcus; ++m) {
                const uint8_t* mcu = samples + m * 384;
                const uint8_t* y = mcu + (r >> 3) * 128 + (r & 7) * 8;
                Terms lo, hi;
                Duplicate(ChromaTerms(mcu + 256 + (r >> 1) * 8, mcu + 320 + (r >> 1) * 8), lo, hi);
                Emit16(LoadLuma8(y), LoadLuma8(y + 64), lo, hi, a + m * 64);
                Emit16(LoadLuma8(y + 8), LoadLuma8(y + 72), lo, hi, b + m * 64);
            }
            return;
        default:
            return;
    }
}

#endif

void ConvertRows(int layout, const Tables& t, const uint8_t* samples, int mcus, int r, uint8_t* a, uint8_t* b) {
#if defined(__SSE2__)
    (void)t;
    ConvertRowsSse2(layout, samples, mcus, r, a, b);
#else
    ConvertRowsScalar(layout, t, samples, mcus, r, a, b);
#endif
}

}  // namespace jpegcolor

}  // namespace qern
