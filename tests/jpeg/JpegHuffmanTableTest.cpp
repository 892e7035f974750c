#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegHuffmanTable.h"

namespace qern {

// Random complete and incomplete tables, duplicate symbols included: the fast lookups (symbol and
// whole-coefficient) must decode exactly what the tree decodes, on every 16-bit pattern.
TEST(JpegHuffmanTable, LookupsAgreeWithTheTreeOnEveryPattern) {
    std::mt19937 rng(99);
    for (int iter = 0; iter < 300; ++iter) {
        uint8_t counts[17] = {};
        uint32_t space = 1, total = 0;
        for (int len = 1; len <= 16; ++len) {
            space <<= 1;
            const uint32_t room = std::min(space, 255u - total);
            counts[len] = static_cast<uint8_t>(room == 0 ? 0 : rng() % (room + 1) / (1 + rng() % 4));
            total += counts[len];
            space -= counts[len];
        }
        uint8_t symbols[256];
        for (auto& s : symbols) s = static_cast<uint8_t>(rng() % (iter % 2 ? 256 : 40));
        JpegHuffmanTable t;
        ASSERT_TRUE(t.Build(counts, symbols)) << iter;
        for (uint32_t peek = 0; peek < 65536; ++peek) {
            int lenTree = 0;
            const int symTree = t.Decode16(peek, &lenTree);
            // Through the lookup tables exactly like the entropy decoder.
            JpegBitReader r;
            r.bits = static_cast<JpegBitWindow>(peek) << (jpegbits::kWindowBits - 16);
            r.nbits = jpegbits::kWindowBits;
            ASSERT_EQ(jpegbits::DecodeSymbol(r, t), symTree) << iter << " " << peek;
            ASSERT_EQ(jpegbits::kWindowBits - r.nbits, lenTree) << iter << " " << peek;
            const uint32_t e = t.acLookup[peek >> (16 - JpegHuffmanTable::kLookupBits)];
            if (e & JpegHuffmanTable::kAcValue) {
                const int size = symTree & 15;
                ASSERT_EQ(static_cast<int>((e >> 8) & 15), symTree >> 4);
                ASSERT_EQ(static_cast<int>(e & 31), lenTree + size);
                const uint32_t v = (peek >> (16 - lenTree - size)) & ((1u << size) - 1);
                ASSERT_EQ(static_cast<int32_t>(e) >> 16, jpegbits::Extend(v, size));
            }
        }
    }
}

}  // namespace qern
