// Sequential Huffman decoding of JpegDecoder: scan geometry, derived tables, restart markers, MCU rows.
#include <cstring>

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegZigzag.h"

using namespace jpegbits;

namespace {

inline int CeilDiv(int a, int b) { return (a + b - 1) / b; }

constexpr int kRestartSearchLimit = 1535;

}  // namespace

void JpegDecoder::SetupScan() {
    int hmax = 1;
    int vmax = 1;
    for (int c = 0; c < componentCount_; ++c) {
        if (comp_[c].h > hmax) hmax = comp_[c].h;
        if (comp_[c].v > vmax) vmax = comp_[c].v;
    }
    const int w = static_cast<int>(width_);
    const int h = static_cast<int>(height_);
    for (int c = 0; c < componentCount_; ++c) {
        comp_[c].widthBlocks = CeilDiv(CeilDiv(w * comp_[c].h, hmax), 8);
        comp_[c].heightBlocks = CeilDiv(CeilDiv(h * comp_[c].v, vmax), 8);
    }
    if (scanCount_ > 1) {
        mcusPerRow_ = CeilDiv(CeilDiv(w, 8), hmax);
        mcuRows_ = CeilDiv(CeilDiv(h, 8), vmax);
        int n = 0;
        for (int i = 0; i < scanCount_; ++i) {
            const Component& k = comp_[scanComp_[i]];
            for (int by = 0; by < k.v; ++by) {
                for (int bx = 0; bx < k.h; ++bx) {
                    if (n == kMaxBlocksPerMcu) Fail(kJpegBadSampling);
                    mcuMembership_[n] = scanComp_[i];
                    mcuBlockX_[n] = bx;
                    mcuBlockY_[n] = by;
                    ++n;
                }
            }
        }
        blocksPerMcu_ = n;
    } else {
        const Component& k = comp_[scanComp_[0]];
        mcusPerRow_ = k.widthBlocks;
        mcuRows_ = k.heightBlocks;
        blocksPerMcu_ = 1;
        mcuMembership_[0] = scanComp_[0];
        mcuBlockX_[0] = mcuBlockY_[0] = 0;
    }
    // Where each decoded block goes inside an output MCU (frame order, whatever the SOS order).
    for (int b = 0; b < blocksPerMcu_; ++b) {
        mcuSlot_[b] = 0;
        for (int k = 0; k < outBlocksPerMcu_; ++k) {
            if (outBlockComp_[k] == mcuMembership_[b] && outBlockX_[k] == mcuBlockX_[b] &&
                outBlockY_[k] == mcuBlockY_[b]) {
                mcuSlot_[b] = k;
            }
        }
    }

    for (int i = 0; i < scanCount_; ++i) {
        const Component& k = comp_[scanComp_[i]];
        if (spectralStart_ == 0 && huffCounts_[k.dcSlot] == nullptr) Fail(kJpegMissingHuffmanTable);
        if (spectralEnd_ >= 1 && huffCounts_[k.acSlot] == nullptr) Fail(kJpegMissingHuffmanTable);
    }
    for (int slot = 0; slot < 8; ++slot) {
        if (huffCounts_[slot] == nullptr) continue;
        // Camera frames repeat the same tables: rebuild only what changed since the last build.
        uint8_t def[17 + 256];
        std::memcpy(def, huffCounts_[slot], 17);
        std::memcpy(def + 17, huffSymbols_[slot], 256);
        if (huffBuilt_[slot] && std::memcmp(def, huffBuiltFrom_[slot], sizeof def) == 0) continue;
        huffBuilt_[slot] = false;
        if (!huff_[slot].Build(huffCounts_[slot], huffSymbols_[slot])) Fail(kJpegBadHuffmanCounts);
        std::memcpy(huffBuiltFrom_[slot], def, sizeof def);
        huffBuilt_[slot] = true;
    }
}

void JpegDecoder::StartEntropy() { bits_ = JpegBitReader{}; }

void JpegDecoder::ProcessRestart() {
    bits_ = JpegBitReader{};  // bits left in the reader are dropped
    int count = 0;
    uint8_t b = input_.ReadByte();
    while (b != 0xFF) {
        if (++count > kRestartSearchLimit) Fail(kJpegBadRestart);
        b = input_.ReadByte();
    }
    b = input_.ReadByte();
    while (b == 0xFF) {
        if (++count > kRestartSearchLimit) Fail(kJpegBadRestart);
        b = input_.ReadByte();
    }
    if (b != 0xD0 + nextRestart_) Fail(kJpegBadRestart);
    std::memset(lastDc_, 0, sizeof lastDc_);
    eobRun_ = 0;
    restartsToGo_ = restartInterval_;
    nextRestart_ = (nextRestart_ + 1) & 7;
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
    if (mcusPerRow_ != outMcusPerRow_ || blocksPerMcu_ != outBlocksPerMcu_) Fail(kJpegBadGeometry);
    // Per block of the MCU: its tables, its predictor and its place in the output MCU.
    const JpegHuffmanTable* dc[kMaxBlocksPerMcu];
    const JpegHuffmanTable* ac[kMaxBlocksPerMcu];
    uint32_t* predictor[kMaxBlocksPerMcu];
    int offset[kMaxBlocksPerMcu];
    for (int b = 0; b < blocksPerMcu_; ++b) {
        const Component& k = comp_[mcuMembership_[b]];
        dc[b] = &huff_[k.dcSlot];
        ac[b] = &huff_[k.acSlot];
        predictor[b] = &lastDc_[mcuMembership_[b]];
        offset[b] = mcuSlot_[b];
    }
    JpegBitReader r = bits_;
    int16_t* coef = coefBuffer_;
    uint8_t* last = blockLast_;
    for (int mx = 0; mx < mcusPerRow_; ++mx) {
        if (restartInterval_ != 0 && restartsToGo_ == 0) {
            ProcessRestart();
            r = bits_;
        }
        for (int b = 0; b < blocksPerMcu_; ++b) {
            last[offset[b]] =
                static_cast<uint8_t>(DecodeBlock(input_, r, *dc[b], *ac[b], *predictor[b], coef + offset[b] * 64));
        }
        coef += outBlocksPerMcu_ * 64;
        last += outBlocksPerMcu_;
        --restartsToGo_;
    }
    bits_ = r;
}

void JpegDecoder::FinishSequentialImage() {
    // The reader's bits are dropped; the marker loop runs once from the current input position.
    bits_ = JpegBitReader{};
    ProcessMarkers();
}
