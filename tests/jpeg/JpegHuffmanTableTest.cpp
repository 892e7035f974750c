#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegHuffmanTable.h"

namespace {

std::unique_ptr<JpegHuffmanTable> Build(std::initializer_list<std::pair<int, int>> lengthCounts,
                                        std::initializer_list<int> symbols, bool* ok = nullptr) {
    uint8_t counts[17] = {};
    for (const auto& lc : lengthCounts) counts[lc.first] = static_cast<uint8_t>(lc.second);
    uint8_t syms[256] = {};
    int i = 0;
    for (int s : symbols) syms[i++] = static_cast<uint8_t>(s);
    auto t = std::make_unique<JpegHuffmanTable>();
    const bool built = t->Build(counts, syms);
    if (ok != nullptr) *ok = built;
    return t;
}

// Decodes through the lookup tables exactly like the entropy decoder does (DecodeSymbol).
int LookupDecode(const JpegHuffmanTable& t, uint32_t peek16, int* length) {
    JpegBitReader r;
    r.bits = static_cast<JpegBitWindow>(peek16) << (jpegbits::kWindowBits - 16);
    r.nbits = jpegbits::kWindowBits;
    const int sym = jpegbits::DecodeSymbol(r, t);
    *length = jpegbits::kWindowBits - r.nbits;
    return sym;
}

}  // namespace

TEST(JpegHuffmanTable, CodesDecodeThroughTreeAndLookups) {
    // A pattern that is no code reads as symbol 0 with the bits taken so far.
    auto nine = Build({{1, 1}, {9, 2}}, {0x41, 0x42, 0x43});  // 0, 1 0000 0000, 1 0000 0001
    auto deep = Build({{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}, {10, 1}, {11, 1},
                       {12, 1}, {13, 1}, {14, 1}, {15, 1}, {16, 2}},
                      {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    auto gap = Build({{1, 1}, {2, 1}}, {0x05, 0x00});        // 11... is no code in the first level
    auto branch = Build({{1, 1}, {10, 1}}, {0x07, 0x09});    // 1000 0000 01: a branch never created
    const struct {
        const JpegHuffmanTable* t;
        uint32_t peek;
        int symbol, length;
    } cases[] = {
        {nine.get(), 0x1234, 0x41, 1}, {nine.get(), 0x8000, 0x42, 9}, {nine.get(), 0x8080, 0x43, 9},
        {nine.get(), 0x81FF, 0, 0},    {deep.get(), 0xFFFE, 16, 16},  {deep.get(), 0xFFFF, 17, 16},
        {deep.get(), 0xFF00, 9, 9},    {deep.get(), 0x7FFF, 1, 1},    {gap.get(), 0xC000, 0, 2},
        {branch.get(), 0x8040, 0, 10},
    };
    for (const auto& c : cases) {
        int len = -1;
        EXPECT_EQ(c.t->Decode16(c.peek, &len), c.symbol) << std::hex << c.peek;
        EXPECT_EQ(len, c.length) << std::hex << c.peek;
        EXPECT_EQ(LookupDecode(*c.t, c.peek, &len), c.symbol) << std::hex << c.peek;
        EXPECT_EQ(len, c.length) << std::hex << c.peek;
    }
}

TEST(JpegHuffmanTable, OverfullTablesAreRefused) {
    bool ok = true;
    Build({{1, 3}}, {1, 2, 3}, &ok);
    EXPECT_FALSE(ok);
    Build({{2, 4}, {3, 1}}, {1, 2, 3, 4, 5}, &ok);
    EXPECT_FALSE(ok);
    Build({{8, 255}}, {}, &ok);  // 255 codes of 8 bits fit
    EXPECT_TRUE(ok);
    Build({{2, 4}}, {1, 2, 3, 4}, &ok);  // complete code
    EXPECT_TRUE(ok);
}

TEST(JpegHuffmanTable, LookupsAgreeWithTheTreeOnEveryPattern) {
    // Random complete and incomplete tables, duplicate symbols included: the fast lookups (symbol and
    // whole-coefficient) must decode exactly what the tree decodes.
    std::mt19937 rng(99);
    for (int iter = 0; iter < 300; ++iter) {
        uint8_t counts[17] = {};
        uint32_t space = 1;
        int total = 0;
        for (int len = 1; len <= 16; ++len) {
            space <<= 1;
            const uint32_t room = space > 255u - total ? 255u - total : space;
            const uint32_t n = room == 0 ? 0 : rng() % (room + 1) / (1 + rng() % 4);
            counts[len] = static_cast<uint8_t>(n);
            total += static_cast<int>(n);
            space -= n;
        }
        uint8_t symbols[256];
        for (auto& s : symbols) s = static_cast<uint8_t>(rng() % (iter % 2 ? 256 : 40));
        JpegHuffmanTable t;
        ASSERT_TRUE(t.Build(counts, symbols)) << iter;
        for (uint32_t peek = 0; peek < 65536; ++peek) {
            int lenTree = 0;
            const int symTree = t.Decode16(peek, &lenTree);
            int lenLookup = 0;
            ASSERT_EQ(LookupDecode(t, peek, &lenLookup), symTree) << iter << " " << peek;
            ASSERT_EQ(lenLookup, lenTree) << iter << " " << peek;
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
