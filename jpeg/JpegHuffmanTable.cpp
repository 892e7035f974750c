#include "jpeg/JpegHuffmanTable.h"

#include <cstring>

namespace qern {

bool JpegHuffmanTable::Build(const uint8_t counts[17], const uint8_t symbols[256]) {
    std::memset(firstLevel, 0, sizeof firstLevel);
    std::memset(lengths, 0, sizeof lengths);
    std::memset(tree, 0, sizeof tree);

    // Kraft check first: a canonical code that overflows its length would index past the tables.
    uint32_t code = 0;
    int total = 0;
    for (int len = 1; len <= 16; ++len) {
        code += counts[len];
        total += counts[len];
        if (code > (1u << len)) return false;
        code <<= 1;
    }
    if (total > 256) return false;

    int32_t nextNode = -1;
    code = 0;
    int i = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int n = 0; n < counts[len]; ++n, ++i, ++code) {
            const int sym = symbols[i];
            lengths[sym] = static_cast<uint8_t>(len);
            if (len <= 8) {
                const int span = 1 << (8 - len);
                for (int j = 0; j < span; ++j) firstLevel[(code << (8 - len)) + j] = sym;
                continue;
            }
            int32_t* entry = &firstLevel[code >> (len - 8)];
            for (int bit = len - 9; bit >= 0; --bit) {
                if (*entry > 0) return false;  // a code below another code's leaf: not a prefix code
                if (*entry == 0) {
                    if (nextNode < -511) return false;  // more than 256 inner nodes
                    *entry = nextNode;
                    nextNode -= 2;
                }
                const int32_t node = *entry;
                // node n owns entries -n-1 (followed on 1) and -n (followed on 0)
                entry = &tree[((code >> bit) & 1) ? -node - 1 : -node];
                if (bit == 0) *entry = sym;
            }
        }
        code <<= 1;
    }
    BuildLookups();
    return true;
}

int JpegHuffmanTable::Decode16(uint32_t peek16, int* length) const {
    int32_t e = firstLevel[(peek16 >> 8) & 0xFF];
    if (e >= 0) {
        *length = lengths[e];
        return e;
    }
    int steps = 0;
    while (e < 0 && steps < 8) {
        const int bit = (peek16 >> (7 - steps)) & 1;
        e = tree[bit ? -e - 1 : -e];
        ++steps;
    }
    *length = 8 + steps;
    return e < 0 ? 0 : e;
}

void JpegHuffmanTable::BuildLookups() {
    constexpr int kExtra = kLookupBits - 8;
    for (int p = 0; p < kLookupSize; ++p) {
        int32_t e = firstLevel[p >> kExtra];
        int sym = -1;
        int len = 0;
        if (e >= 0) {
            sym = e;
            len = lengths[e];
        } else {
            int steps = 0;
            while (e < 0 && steps < kExtra) {
                const int bit = (p >> (kExtra - 1 - steps)) & 1;
                e = tree[bit ? -e - 1 : -e];
                ++steps;
            }
            if (e >= 0) {
                sym = e;
                len = 8 + steps;
            }
        }
        if (sym < 0) {
            symbolLookup[p] = 0;
            acLookup[p] = 0;
            continue;
        }
        symbolLookup[p] = static_cast<uint16_t>((sym << 8) | 0x20 | len);
        acLookup[p] = symbolLookup[p] | (sym == 0 ? kAcEob : 0u);
        const int run = sym >> 4;
        const int size = sym & 15;
        if (size != 0 && len + size <= kLookupBits) {
            int v = (p >> (kLookupBits - len - size)) & ((1 << size) - 1);
            if (v < (1 << (size - 1))) v += 1 - (1 << size);
            acLookup[p] = (static_cast<uint32_t>(v) << 16) | (static_cast<uint32_t>(run) << 8) | kAcValue |
                          static_cast<uint32_t>(len + size);
        }
    }
}

}  // namespace qern
