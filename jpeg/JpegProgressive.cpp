// Progressive Huffman decoding of JpegDecoder (ITU-T T.81 Annex G.1.2): every scan of the image is decoded
// into whole-image coefficient arrays before the first row is delivered.
#include <cstring>

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegZigzag.h"

namespace qern {

using namespace jpegbits;

namespace {

constexpr int kEoi = 0xD9;
constexpr int kSos = 0xDA;

inline int16_t Wrap16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v))); }

inline uint32_t Bit(JpegInput& in, JpegBitReader& r) {
    Ensure(in, r, 1);
    return Take(r, 1);
}

}  // namespace

void JpegDecoder::DecodeProgressiveImage() {
    for (int c = 0; c < m_componentCount; ++c) {
        Component& k = m_comp[c];
        k.coefWidth = k.h * m_outMcusPerRow;
        k.coefHeight = k.v * m_outMcuRows;
        const size_t blocks = static_cast<size_t>(k.coefWidth) * static_cast<size_t>(k.coefHeight);
        k.coef = static_cast<int16_t*>(m_pool.Take(blocks * 64 * sizeof(int16_t)));
        k.coefLast = static_cast<uint8_t*>(m_pool.Take(blocks));
    }
    int scans = 0;
    for (;;) {
        const int m = ProcessMarkers();
        if (m == kEoi) break;
        if (m != kSos) Fail(kJpegMarkerOutOfPlace);
        if (++scans > kMaxProgressiveScans) Fail(kJpegBadProgressiveScan);
        ParseSos();
        SetupScan();
        for (int i = 0; i < m_scanCount; ++i) {
            const int q = m_comp[m_scanComp[i]].quant;
            if (q > 3 || m_quant[q] == nullptr) Fail(kJpegMissingQuantTable);
        }
        std::memset(m_lastDc, 0, sizeof m_lastDc);
        m_eobRun = 0;
        m_restartsToGo = m_restartInterval;
        m_nextRestart = 0;
        StartEntropy();

        if (m_spectralStart > m_spectralEnd || m_spectralEnd > 63) Fail(kJpegBadProgressiveScan);
        if (m_spectralStart == 0 && m_spectralEnd != 0) Fail(kJpegBadProgressiveScan);
        if (m_spectralStart > 0 && m_scanCount != 1) Fail(kJpegBadProgressiveScan);
        if (m_approxHigh != 0 && m_approxLow != m_approxHigh - 1) Fail(kJpegBadApproximation);

        DecodeProgressiveScan();
        m_bits = JpegBitReader{};  // the marker loop goes on from the current input position
    }
    // A component that no scan named may still lack its table; the output needs every one.
    for (int c = 0; c < m_componentCount; ++c) {
        if (m_comp[c].quant > 3 || m_quant[m_comp[c].quant] == nullptr) Fail(kJpegMissingQuantTable);
    }
}

void JpegDecoder::DecodeProgressiveScan() {
    const bool dc = m_spectralStart == 0;
    const bool refine = m_approxHigh != 0;
    for (int my = 0; my < m_mcuRows; ++my) {
        for (int mx = 0; mx < m_mcusPerRow; ++mx) {
            if (m_restartInterval != 0 && m_restartsToGo == 0) ProcessRestart();
            for (int b = 0; b < m_blocksPerMcu; ++b) {
                const int c = m_mcuMembership[b];
                int bx = mx;
                int by = my;
                if (m_scanCount > 1) {
                    bx = mx * m_comp[c].h + m_mcuBlockX[b];
                    by = my * m_comp[c].v + m_mcuBlockY[b];
                }
                const size_t index = ProgressiveBlock(c, bx, by);
                int16_t* block = m_comp[c].coef + index * 64;
                if (dc) {
                    if (refine) {
                        DecodeDcRefine(m_bits, block);
                    } else {
                        DecodeDcFirst(m_bits, block, b);
                    }
                } else if (refine) {
                    DecodeAcRefine(m_bits, block, m_comp[c].coefLast[index], b);
                } else {
                    DecodeAcFirst(m_bits, block, m_comp[c].coefLast[index], b);
                }
            }
            --m_restartsToGo;
        }
    }
}

void JpegDecoder::DecodeDcFirst(JpegBitReader& r, int16_t* block, int blockInMcu) {
    const int c = m_mcuMembership[blockInMcu];
    EnsureForSymbol(m_input, r);
    const int s = DecodeSymbol(r, m_huff[m_comp[c].dcSlot]);
    if (s > 16) Fail(kJpegBadEntropyData);
    if (s != 0) {
        EnsureForValue(m_input, r, s);
        m_lastDc[c] += static_cast<uint32_t>(Extend(Take(r, s), s));
    }
    block[0] = static_cast<int16_t>(static_cast<uint16_t>(m_lastDc[c] << m_approxLow));
}

void JpegDecoder::DecodeDcRefine(JpegBitReader& r, int16_t* block) {
    if (Bit(m_input, r)) block[0] = Wrap16(block[0] | (1 << m_approxLow));
}

void JpegDecoder::DecodeAcFirst(JpegBitReader& r, int16_t* block, uint8_t& last, int blockInMcu) {
    if (m_eobRun > 0) {
        --m_eobRun;
        return;
    }
    const JpegHuffmanTable& t = m_huff[m_comp[m_mcuMembership[blockInMcu]].acSlot];
    const int scale = 1 << m_approxLow;
    for (int k = m_spectralStart; k <= m_spectralEnd; ++k) {
        EnsureForSymbol(m_input, r);
        const uint32_t e = t.acLookup[Peek(r, JpegHuffmanTable::kLookupBits)];
        if (e & JpegHuffmanTable::kAcValue) {  // code and value in one lookup
            Skip(r, e & 0x1F);
            k += (e >> 8) & 15;
            if (k > 63) Fail(kJpegBadEntropyData);
            block[kJpegZigzagToNatural[k]] = Wrap16((static_cast<int32_t>(e) >> 16) * scale);
            if (k > last) last = static_cast<uint8_t>(k);
            continue;
        }
        const int rs = DecodeSymbol(r, t);
        const int run = rs >> 4;
        const int size = rs & 15;
        if (size != 0) {
            k += run;
            if (k > 63) Fail(kJpegBadEntropyData);
            EnsureForValue(m_input, r, size);
            block[kJpegZigzagToNatural[k]] = Wrap16(Extend(Take(r, size), size) * scale);
            if (k > last) last = static_cast<uint8_t>(k);
        } else if (run == 15) {
            k += 15;
        } else {
            m_eobRun = 1u << run;
            if (run != 0) {
                EnsureForValue(m_input, r, run);
                m_eobRun += Take(r, run);
            }
            --m_eobRun;  // this block is the first of the run
            return;
        }
    }
}

void JpegDecoder::DecodeAcRefine(JpegBitReader& r, int16_t* block, uint8_t& last, int blockInMcu) {
    const int p1 = 1 << m_approxLow;
    const int m1 = -p1;
    int k = m_spectralStart;
    // A coefficient that is already non-zero takes one correction bit, moving it away from zero.
    auto correct = [&](int16_t& coef) {
        if (Bit(m_input, r) && (coef & p1) == 0) coef = Wrap16(coef + (coef >= 0 ? p1 : m1));
    };
    if (m_eobRun == 0) {
        const JpegHuffmanTable& t = m_huff[m_comp[m_mcuMembership[blockInMcu]].acSlot];
        for (; k <= m_spectralEnd; ++k) {
            EnsureForSymbol(m_input, r);
            const int rs = DecodeSymbol(r, t);
            int run = rs >> 4;
            const int size = rs & 15;
            int value = 0;
            if (size != 0) {
                if (size != 1) Fail(kJpegBadEntropyData);
                value = Bit(m_input, r) ? p1 : m1;
            } else if (run != 15) {
                m_eobRun = 1u << run;
                if (run != 0) {
                    EnsureForValue(m_input, r, run);
                    m_eobRun += Take(r, run);
                }
                break;
            }
            do {
                int16_t& coef = block[kJpegZigzagToNatural[k]];
                if (coef != 0) {
                    correct(coef);
                } else if (--run < 0) {
                    break;
                }
                ++k;
            } while (k <= m_spectralEnd);
            if (value != 0) {
                if (k > 63) Fail(kJpegBadEntropyData);
                block[kJpegZigzagToNatural[k]] = Wrap16(value);
                if (k > last) last = static_cast<uint8_t>(k);
            }
        }
    }
    if (m_eobRun > 0) {
        // Only coefficients that are already non-zero take a bit; none lies beyond `last`.
        const int end = m_spectralEnd < last ? m_spectralEnd : last;
        for (; k <= end; ++k) {
            int16_t& coef = block[kJpegZigzagToNatural[k]];
            if (coef != 0) correct(coef);
        }
        --m_eobRun;
    }
}

}  // namespace qern
