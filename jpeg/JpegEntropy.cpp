// Sequential Huffman decoding of JpegDecoder: scan geometry, derived tables, restart markers, MCU rows.
#include <cstring>

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegZigzag.h"

namespace qern {

using namespace jpegbits;

namespace {

inline int CeilDiv(int a, int b) { return (a + b - 1) / b; }

constexpr int kRestartSearchLimit = 1535;

}  // namespace

void JpegDecoder::SetupScan() {
    int hmax = 1;
    int vmax = 1;
    for (int c = 0; c < m_componentCount; ++c) {
        if (m_comp[c].h > hmax) hmax = m_comp[c].h;
        if (m_comp[c].v > vmax) vmax = m_comp[c].v;
    }
    const int w = static_cast<int>(m_width);
    const int h = static_cast<int>(m_height);
    for (int c = 0; c < m_componentCount; ++c) {
        m_comp[c].widthBlocks = CeilDiv(CeilDiv(w * m_comp[c].h, hmax), 8);
        m_comp[c].heightBlocks = CeilDiv(CeilDiv(h * m_comp[c].v, vmax), 8);
    }
    if (m_scanCount > 1) {
        m_mcusPerRow = CeilDiv(CeilDiv(w, 8), hmax);
        m_mcuRows = CeilDiv(CeilDiv(h, 8), vmax);
        int n = 0;
        for (int i = 0; i < m_scanCount; ++i) {
            const Component& k = m_comp[m_scanComp[i]];
            for (int by = 0; by < k.v; ++by) {
                for (int bx = 0; bx < k.h; ++bx) {
                    if (n == kMaxBlocksPerMcu) Fail(kJpegBadSampling);
                    m_mcuMembership[n] = m_scanComp[i];
                    m_mcuBlockX[n] = bx;
                    m_mcuBlockY[n] = by;
                    ++n;
                }
            }
        }
        m_blocksPerMcu = n;
    } else {
        const Component& k = m_comp[m_scanComp[0]];
        m_mcusPerRow = k.widthBlocks;
        m_mcuRows = k.heightBlocks;
        m_blocksPerMcu = 1;
        m_mcuMembership[0] = m_scanComp[0];
        m_mcuBlockX[0] = m_mcuBlockY[0] = 0;
    }
    // Where each decoded block goes inside an output MCU (frame order, whatever the SOS order).
    for (int b = 0; b < m_blocksPerMcu; ++b) {
        m_mcuSlot[b] = 0;
        for (int k = 0; k < m_outBlocksPerMcu; ++k) {
            if (m_outBlockComp[k] == m_mcuMembership[b] && m_outBlockX[k] == m_mcuBlockX[b] &&
                m_outBlockY[k] == m_mcuBlockY[b]) {
                m_mcuSlot[b] = k;
            }
        }
    }

    for (int i = 0; i < m_scanCount; ++i) {
        const Component& k = m_comp[m_scanComp[i]];
        if (m_spectralStart == 0 && m_huffCounts[k.dcSlot] == nullptr) Fail(kJpegMissingHuffmanTable);
        if (m_spectralEnd >= 1 && m_huffCounts[k.acSlot] == nullptr) Fail(kJpegMissingHuffmanTable);
    }
    for (int slot = 0; slot < 8; ++slot) {
        if (m_huffCounts[slot] == nullptr) continue;
        // Camera frames repeat the same tables: rebuild only what changed since the last build.
        uint8_t def[17 + 256];
        std::memcpy(def, m_huffCounts[slot], 17);
        std::memcpy(def + 17, m_huffSymbols[slot], 256);
        if (m_huffBuilt[slot] && std::memcmp(def, m_huffBuiltFrom[slot], sizeof def) == 0) continue;
        m_huffBuilt[slot] = false;
        if (!m_huff[slot].Build(m_huffCounts[slot], m_huffSymbols[slot])) Fail(kJpegBadHuffmanCounts);
        std::memcpy(m_huffBuiltFrom[slot], def, sizeof def);
        m_huffBuilt[slot] = true;
    }
}

void JpegDecoder::StartEntropy() { m_bits = JpegBitReader{}; }

void JpegDecoder::ProcessRestart() {
    m_bits = JpegBitReader{};  // bits left in the reader are dropped
    int count = 0;
    uint8_t b = m_input.ReadByte();
    while (b != 0xFF) {
        if (++count > kRestartSearchLimit) Fail(kJpegBadRestart);
        b = m_input.ReadByte();
    }
    b = m_input.ReadByte();
    while (b == 0xFF) {
        if (++count > kRestartSearchLimit) Fail(kJpegBadRestart);
        b = m_input.ReadByte();
    }
    if (b != 0xD0 + m_nextRestart) Fail(kJpegBadRestart);
    std::memset(m_lastDc, 0, sizeof m_lastDc);
    m_eobRun = 0;
    m_restartsToGo = m_restartInterval;
    m_nextRestart = (m_nextRestart + 1) & 7;
}

namespace {

// One block of a sequential scan into a cleared coefficient block, which must be followed by at least one
// writable coefficient. Returns an upper bound of the zigzag index of its last non-zero AC coefficient
// (0 when only the DC value is present).
[[gnu::always_inline]] inline int DecodeBlock(JpegInput& in, JpegBitReader& r, const JpegHuffmanTable& dc,
                                              const JpegHuffmanTable& ac, uint32_t& predictor, int16_t* coef) {
    EnsureForSymbol(in, r);
    const uint32_t d = dc.acLookup[Peek(r, JpegHuffmanTable::kLookupBits)];
    if ((d & (JpegHuffmanTable::kAcValue | 0xF00)) == JpegHuffmanTable::kAcValue) {  // size and value at once
        Skip(r, d & 0x1F);
        predictor += static_cast<uint32_t>(static_cast<int32_t>(d) >> 16);
    } else {
        const int s = DecodeSymbol(r, dc);
        if (s > 16) JpegFail(kJpegBadEntropyData);
        if (s != 0) {
            EnsureForValue(in, r, s);
            predictor += static_cast<uint32_t>(Extend(Take(r, s), s));
        }
    }
    coef[0] = static_cast<int16_t>(static_cast<uint16_t>(predictor));

    // k stays at most 63 + 15: a run past 63 writes one past the block and ends the loop with k > 64,
    // which is exactly the case of a run or zero run beyond coefficient 63.
    int k = 1;
    while (k <= 63) {
        EnsureForSymbol(in, r);
        const uint32_t e = ac.acLookup[Peek(r, JpegHuffmanTable::kLookupBits)];
        if (e & JpegHuffmanTable::kAcValue) {
            Skip(r, e & 0x1F);
            k += (e >> 8) & 15;
            coef[kJpegZigzagOverrun[k]] = static_cast<int16_t>(static_cast<int32_t>(e) >> 16);
            ++k;
            continue;
        }
        if (e & JpegHuffmanTable::kAcEob) {
            Skip(r, e & 0x1F);
            break;
        }
        int len;
        int sym;
        if (e != 0) {
            len = e & 0x1F;
            sym = (e >> 8) & 0xFF;
        } else {
            sym = ac.Decode16(Peek(r, 16), &len);
        }
        Skip(r, len);
        const int run = sym >> 4;
        const int size = sym & 15;
        if (size != 0) {
            k += run;
            EnsureForValue(in, r, size);
            coef[kJpegZigzagOverrun[k]] = static_cast<int16_t>(Extend(Take(r, size), size));
            ++k;
        } else if (run == 15) {
            k += 16;
        } else {
            break;
        }
    }
    if (k > 64) JpegFail(kJpegBadEntropyData);
    return k - 1;
}

}  // namespace

void JpegDecoder::DecodeMcuRow() {
    if (m_mcusPerRow != m_outMcusPerRow || m_blocksPerMcu != m_outBlocksPerMcu) Fail(kJpegBadGeometry);
    // Per block of the MCU: its tables, its predictor and its place in the output MCU.
    const JpegHuffmanTable* dc[kMaxBlocksPerMcu];
    const JpegHuffmanTable* ac[kMaxBlocksPerMcu];
    uint32_t* predictor[kMaxBlocksPerMcu];
    int offset[kMaxBlocksPerMcu];
    for (int b = 0; b < m_blocksPerMcu; ++b) {
        const Component& k = m_comp[m_mcuMembership[b]];
        dc[b] = &m_huff[k.dcSlot];
        ac[b] = &m_huff[k.acSlot];
        predictor[b] = &m_lastDc[m_mcuMembership[b]];
        offset[b] = m_mcuSlot[b];
    }
    JpegBitReader r = m_bits;
    int16_t* coef = m_coefBuffer;
    uint8_t* last = m_blockLast;
    for (int mx = 0; mx < m_mcusPerRow; ++mx) {
        if (m_restartInterval != 0 && m_restartsToGo == 0) {
            ProcessRestart();
            r = m_bits;
        }
        for (int b = 0; b < m_blocksPerMcu; ++b) {
            last[offset[b]] =
                static_cast<uint8_t>(DecodeBlock(m_input, r, *dc[b], *ac[b], *predictor[b], coef + offset[b] * 64));
        }
        coef += m_outBlocksPerMcu * 64;
        last += m_outBlocksPerMcu;
        --m_restartsToGo;
    }
    m_bits = r;
}

void JpegDecoder::FinishSequentialImage() {
    // The reader's bits are dropped; the marker loop runs once from the current input position.
    m_bits = JpegBitReader{};
    ProcessMarkers();
}

}  // namespace qern
