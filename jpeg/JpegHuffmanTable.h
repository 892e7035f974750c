#pragma once

#include <cstdint>

namespace qern {

// A derived Huffman table: the canonical code tree of one DHT slot plus lookup tables for fast decoding.
//
// Decoding is defined on the next 16 bits of the stream: the entry of their top 8 bits is either a symbol
// (consuming the length recorded for that symbol, so a pattern that is no code reads as symbol 0 with
// symbol 0's length) or the start of a tree walk over bits 9..16 that ends at the first entry holding a
// symbol or nothing (nothing reads as symbol 0); the walk's length is 8 plus its steps.
class JpegHuffmanTable {
public:
    static constexpr int kLookupBits = 10;
    static constexpr int kLookupSize = 1 << kLookupBits;

    // Builds from 17 counts (entry 0 unused) and the symbols in code order. Returns false for counts that
    // over-fill the code space or a tree that would need more than 256 inner nodes.
    bool Build(const uint8_t counts[17], const uint8_t symbols[256]);

    // Full decode of the top 16 bits of `peek`; sets *length to the bits consumed.
    int Decode16(uint32_t peek16, int* length) const;

    // Symbol lookup on the top kLookupBits: 0 when the code is longer (use Decode16), else
    // (symbol << 8) | 0x20 | length.
    uint16_t symbolLookup[kLookupSize];
    // AC lookup on the top kLookupBits: 0 = use Decode16; kAcValue entries hold a whole coefficient
    // (value << 16 | run << 8 | kAcValue | code and value length), others mirror symbolLookup, with kAcEob
    // added for symbol 0 (end of block in an AC table). For a DC table a kAcValue entry of run 0 is a
    // whole DC difference.
    static constexpr uint32_t kAcValue = 0x80;
    static constexpr uint32_t kAcEob = 0x40;
    uint32_t acLookup[kLookupSize];

    // Canonical tree of the DHT (first level on 8 bits, inner nodes in pairs) and recorded lengths.
    int32_t firstLevel[256];
    uint8_t lengths[256];
    int32_t tree[512];

private:
    void BuildLookups();
};

}  // namespace qern
