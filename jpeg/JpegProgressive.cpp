// Progressive Huffman decoding of JpegDecoder (ITU-T T.81 Annex G.1.2): every scan of the image is decoded
// into whole-image coefficient arrays before the first row is delivered.
#include <cstring>

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegZigzag.h"

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
    for (int c = 0; c < componentCount_; ++c) {
        Component& k = comp_[c];
        k.coefWidth = k.h * outMcusPerRow_;
        k.coefHeight = k.v * outMcuRows_;
        const size_t blocks = static_cast<size_t>(k.coefWidth) * static_cast<size_t>(k.coefHeight);
        k.coef = static_cast<int16_t*>(pool_.Take(blocks * 64 * sizeof(int16_t)));
        k.coefLast = static_cast<uint8_t*>(pool_.Take(blocks));
    }
    int scans = 0;
    for (;;) {
        const int m = ProcessMarkers();
        if (m == kEoi) break;
        if (m != kSos) Fail(kJpegMarkerOutOfPlace);
        if (++scans > kMaxProgressiveScans) Fail(kJpegBadProgressiveScan);
        ParseSos();
        SetupScan();
        for (int i = 0; i < scanCount_; ++i) {
            const int q = comp_[scanComp_[i]].quant;
            if (q > 3 || quant_[q] == nullptr) Fail(kJpegMissingQuantTable);
        }
        std::memset(lastDc_, 0, sizeof lastDc_);
        eobRun_ = 0;
        restartsToGo_ = restartInterval_;
        nextRestart_ = 0;
        StartEntropy();

        if (spectralStart_ > spectralEnd_ || spectralEnd_ > 63) Fail(kJpegBadProgressiveScan);
        if (spectralStart_ == 0 && spectralEnd_ != 0) Fail(kJpegBadProgressiveScan);
        if (spectralStart_ > 0 && scanCount_ != 1) Fail(kJpegBadProgressiveScan);
        if (approxHigh_ != 0 && approxLow_ != approxHigh_ - 1) Fail(kJpegBadApproximation);

        DecodeProgressiveScan();
        bits_ = JpegBitReader{};  // the marker loop goes on from the current input position
    }
    // A component that no scan named may still lack its table; the output needs every one.
    for (int c = 0; c < componentCount_; ++c) {
        if (comp_[c].quant > 3 || quant_[comp_[c].quant] == nullptr) Fail(kJpegMissingQuantTable);
    }
}

void JpegDecoder::DecodeProgressiveScan() {
    const bool dc = spectralStart_ == 0;
    const bool refine = approxHigh_ != 0;
    for (int my = 0; my < mcuRows_; ++my) {
        for (int mx = 0; mx < mcusPerRow_; ++mx) {
            if (restartInterval_ != 0 && restartsToGo_ == 0) ProcessRestart();
            for (int b = 0; b < blocksPerMcu_; ++b) {
                const int c = mcuMembership_[b];
                int bx = mx;
                int by = my;
                if (scanCount_ > 1) {
                    bx = mx * comp_[c].h + mcuBlockX_[b];
                    by = my * comp_[c].v + mcuBlockY_[b];
                }
                const size_t index = ProgressiveBlock(c, bx, by);
                int16_t* block = comp_[c].coef + index * 64;
                if (dc) {
                    if (refine) {
                        DecodeDcRefine(bits_, block);
                    } else {
                        DecodeDcFirst(bits_, block, b);
                    }
                } else if (refine) {
                    DecodeAcRefine(bits_, block, comp_[c].coefLast[index], b);
                } else {
                    DecodeAcFirst(bits_, block, comp_[c].coefLast[index], b);
                }
            }
            --restartsToGo_;
        }
    }
}

void JpegDecoder::DecodeDcFirst(JpegBitReader& r, int16_t* block, int blockInMcu) {
    const int c = mcuMembership_[blockInMcu];
    EnsureForSymbol(input_, r);
    const int s = DecodeSymbol(r, huff_[comp_[c].dcSlot]);
    if (s > 16) Fail(kJpegBadEntropyData);
    if (s != 0) {
        EnsureForValue(input_, r, s);
        lastDc_[c] += static_cast<uint32_t>(Extend(Take(r, s), s));
    }
    block[0] = static_cast<int16_t>(static_cast<uint16_t>(lastDc_[c] << approxLow_));
}

void JpegDecoder::DecodeDcRefine(JpegBitReader& r, int16_t* block) {
    if (Bit(input_, r)) block[0] = Wrap16(block[0] | (1 << approxLow_));
}

void JpegDecoder::DecodeAcFirst(JpegBitReader& r, int16_t* block, uint8_t& last, int blockInMcu) {
    if (eobRun_ > 0) {
        --eobRun_;
        return;
    }
    const JpegHuffmanTable& t = huff_[comp_[mcuMembership_[blockInMcu]].acSlot];
    const int scale = 1 << approxLow_;
    for (int k = spectralStart_; k <= spectralEnd_; ++k) {
        EnsureForSymbol(input_, r);
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
            EnsureForValue(input_, r, size);
            block[kJpegZigzagToNatural[k]] = Wrap16(Extend(Take(r, size), size) * scale);
            if (k > last) last = static_cast<uint8_t>(k);
        } else if (run == 15) {
            k += 15;
        } else {
            eobRun_ = 1u << run;
            if (run != 0) {
                EnsureForValue(input_, r, run);
                eobRun_ += Take(r, run);
            }
            --eobRun_;  // this block is the first of the run
            return;
        }
    }
}

void JpegDecoder::DecodeAcRefine(JpegBitReader& r, int16_t* block, uint8_t& last, int blockInMcu) {
    const int p1 = 1 << approxLow_;
    const int m1 = -p1;
    int k = spectralStart_;
    // A coefficient that is already non-zero takes one correction bit, moving it away from zero.
    auto correct = [&](int16_t& coef) {
        if (Bit(input_, r) && (coef & p1) == 0) coef = Wrap16(coef + (coef >= 0 ? p1 : m1));
    };
    if (eobRun_ == 0) {
        const JpegHuffmanTable& t = huff_[comp_[mcuMembership_[blockInMcu]].acSlot];
        for (; k <= spectralEnd_; ++k) {
            EnsureForSymbol(input_, r);
            const int rs = DecodeSymbol(r, t);
            int run = rs >> 4;
            const int size = rs & 15;
            int value = 0;
            if (size != 0) {
                if (size != 1) Fail(kJpegBadEntropyData);
                value = Bit(input_, r) ? p1 : m1;
            } else if (run != 15) {
                eobRun_ = 1u << run;
                if (run != 0) {
                    EnsureForValue(input_, r, run);
                    eobRun_ += Take(r, run);
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
            } while (k <= spectralEnd_);
            if (value != 0) {
                if (k > 63) Fail(kJpegBadEntropyData);
                block[kJpegZigzagToNatural[k]] = Wrap16(value);
                if (k > last) last = static_cast<uint8_t>(k);
            }
        }
    }
    if (eobRun_ > 0) {
        // Only coefficients that are already non-zero take a bit; none lies beyond `last`.
        const int end = spectralEnd_ < last ? spectralEnd_ : last;
        for (; k <= end; ++k) {
            int16_t& coef = block[kJpegZigzagToNatural[k]];
            if (coef != 0) correct(coef);
        }
        --eobRun_;
    }
}
