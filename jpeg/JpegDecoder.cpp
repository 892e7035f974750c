#include "jpeg/JpegDecoder.h"

#include <cstring>

#include "jpeg/JpegFailure.h"
#include "jpeg/JpegIdct.h"

namespace {

constexpr int kSof0 = 0xC0;
constexpr int kSof1 = 0xC1;
constexpr int kSof2 = 0xC2;
constexpr int kSof9 = 0xC9;
constexpr int kSos = 0xDA;

inline int CeilDiv(int a, int b) { return (a + b - 1) / b; }

}  // namespace

JpegDecoder::JpegDecoder() { jpegcolor::BuildTables(colorTables_); }

JpegDecoder::~JpegDecoder() = default;

void JpegDecoder::Fail(int code) { JpegFail(code); }

void JpegDecoder::ForgetPoolBlocks() {
    pool_.FreeAll();
    for (int i = 0; i < 8; ++i) huffCounts_[i] = huffSymbols_[i] = nullptr;
    for (QuantTable*& q : quant_) q = nullptr;
    for (Component& c : comp_) {
        c.coef = nullptr;
        c.coefLast = nullptr;
    }
    coefBuffer_ = nullptr;
    blockLast_ = nullptr;
    sampleBuffer_ = nullptr;
    rowA_ = rowB_ = nullptr;
}

void JpegDecoder::HandleFailure(int code) {
    error_ = code;
    input_.CloseSource();
    ForgetPoolBlocks();
}

void JpegDecoder::ResetFrame() {
    // Blocks of a frame that was never released are freed here rather than leaked.
    input_.CloseSource();
    ForgetPoolBlocks();
    width_ = height_ = 0;
    progressive_ = 0;
    layout_ = 0;
    componentCount_ = 0;
    std::memset(comp_, 0, sizeof comp_);
    scanCount_ = 0;
    spectralStart_ = approxHigh_ = approxLow_ = 0;
    spectralEnd_ = 63;
    mcusPerRow_ = mcuRows_ = blocksPerMcu_ = 0;
    outMcusPerRow_ = outBlocksPerMcu_ = outMcuRows_ = blocksPerRow_ = 0;
    rowsLeft_ = 0;
    rowsLeftInMcuRow_ = 0;
    mcuRowIndex_ = 0;
    rowLength_ = paddedRowLength_ = 0;
    bytesPerPixel_ = 0;
    std::memset(lastDc_, 0, sizeof lastDc_);
    eobRun_ = 0;
    restartInterval_ = restartsToGo_ = 0;
    nextRestart_ = 0;
    bits_ = JpegBitReader{};
    error_ = 0;
    started_ = false;
    headerRead_ = false;
    released_ = false;
}

int JpegDecoder::ReadHeader(JpegSource* source, uint8_t accelerate) {
    ResetFrame();
    input_.Reset(source);
    accelerate_ = accelerate;
    try {
        FindSoi();
        const int m = ProcessMarkers();
        if (m == kSof2) progressive_ = 1;
        if (m == kSof9) Fail(kJpegArithmetic);
        if (m != kSof0 && m != kSof1 && m != kSof2) Fail(kJpegUnsupportedFrame);
        ParseFrameHeader();
        headerRead_ = true;
        return componentCount_;
    } catch (const JpegFailure& f) {
        HandleFailure(f.code);
        return f.code;
    } catch (...) {
        HandleFailure(kJpegOutOfMemory);
        return kJpegOutOfMemory;
    }
}

void JpegDecoder::ChooseLayout() {
    if (componentCount_ == 1) {
        layout_ = 0;
        comp_[0].h = comp_[0].v = 1;  // a single component is never subsampled
    } else if (componentCount_ == 3) {
        if (comp_[1].h != 1 || comp_[1].v != 1 || comp_[2].h != 1 || comp_[2].v != 1) Fail(kJpegBadSampling);
        const int h = comp_[0].h;
        const int v = comp_[0].v;
        if (h < 1 || h > 2 || v < 1 || v > 2) Fail(kJpegBadSampling);
        layout_ = h == 1 ? (v == 1 ? 1 : 3) : (v == 1 ? 2 : 4);
    } else {
        Fail(kJpegBadComponentCount);
    }
    const jpegcolor::Layout& info = jpegcolor::LayoutInfo(layout_);
    mcuWidth_ = info.mcuWidth;
    mcuHeight_ = info.mcuHeight;
    bytesPerPixel_ = info.bytesPerPixel;
    rowLength_ = static_cast<int32_t>(width_) * bytesPerPixel_;
    paddedRowLength_ = static_cast<int32_t>((width_ + 15) & ~15u) * bytesPerPixel_;
    outMcusPerRow_ = CeilDiv(static_cast<int>(width_), mcuWidth_);
    outMcuRows_ = CeilDiv(static_cast<int>(height_), mcuHeight_);
    outBlocksPerMcu_ = info.blocksPerMcu;
    blocksPerRow_ = outBlocksPerMcu_ * outMcusPerRow_;
    if (blocksPerRow_ > kMaxBlocksPerRow) Fail(kJpegBadGeometry);
    int k = 0;
    for (int c = 0; c < componentCount_; ++c) {
        for (int by = 0; by < comp_[c].v; ++by) {
            for (int bx = 0; bx < comp_[c].h; ++bx) {
                outBlockComp_[k] = c;
                outBlockX_[k] = bx;
                outBlockY_[k] = by;
                ++k;
            }
        }
    }
    rowA_ = static_cast<uint8_t*>(pool_.Take(static_cast<size_t>(paddedRowLength_)));
    rowB_ = static_cast<uint8_t*>(pool_.Take(static_cast<size_t>(paddedRowLength_)));
    // One spare block: a broken last block may write one coefficient past its end before it fails.
    coefBuffer_ = static_cast<int16_t*>(pool_.Take((static_cast<size_t>(blocksPerRow_) + 1) * 64 * sizeof(int16_t)));
    sampleBuffer_ = static_cast<uint8_t*>(pool_.Take(static_cast<size_t>(blocksPerRow_) * 64));
    blockLast_ = static_cast<uint8_t*>(pool_.Take(static_cast<size_t>(blocksPerRow_)));
    rowsLeft_ = height_;
    rowsLeftInMcuRow_ = 0;
    mcuRowIndex_ = 0;
}

int JpegDecoder::StartDecompress() {
    if (started_) return 0;
    if (error_ != 0 || !headerRead_ || released_) return -1;
    try {
        ChooseLayout();
        if (progressive_) {
            DecodeProgressiveImage();
            started_ = true;
            return 0;
        }
        const int m = ProcessMarkers();
        if (m != kSos) Fail(kJpegMarkerOutOfPlace);
        ParseSos();
        // Only the first scan is decoded, so it must hold every component.
        if (scanCount_ != componentCount_) Fail(kJpegBadScanComponents);
        SetupScan();
        for (int i = 0; i < scanCount_; ++i) {
            const int q = comp_[scanComp_[i]].quant;
            if (q > 3 || quant_[q] == nullptr) Fail(kJpegMissingQuantTable);
        }
        std::memset(lastDc_, 0, sizeof lastDc_);
        restartsToGo_ = restartInterval_;
        nextRestart_ = 0;
        StartEntropy();
        started_ = true;
        return 0;
    } catch (const JpegFailure& f) {
        HandleFailure(f.code);
        return -1;
    } catch (...) {
        HandleFailure(kJpegOutOfMemory);
        return -1;
    }
}


void JpegDecoder::TransformMcuRow() {
    if (!progressive_ && accelerate_) {
        const int16_t* tables[kMaxBlocksPerMcu];
        for (int k = 0; k < outBlocksPerMcu_; ++k) tables[k] = quant_[comp_[outBlockComp_[k]].quant]->fast;
        jpegidct::TransformRow(coefBuffer_, blockLast_, sampleBuffer_, blocksPerRow_, tables, outBlocksPerMcu_);
        return;
    }
    int slot = 0;
    for (int m = 0; m < outMcusPerRow_; ++m) {
        for (int k = 0; k < outBlocksPerMcu_; ++k, ++slot) {
            const int c = outBlockComp_[k];
            int16_t* coef;
            int last;
            if (progressive_) {
                const size_t index = ProgressiveBlock(c, m * comp_[c].h + outBlockX_[k], mcuRowIndex_ * comp_[c].v + outBlockY_[k]);
                coef = comp_[c].coef + index * 64;
                last = comp_[c].coefLast[index];
            } else {
                coef = coefBuffer_ + static_cast<size_t>(slot) * 64;
                last = blockLast_[slot];
            }
            uint8_t* out = sampleBuffer_ + static_cast<size_t>(slot) * 64;
            const QuantTable& q = *quant_[comp_[c].quant];
            if (!accelerate_) {
                for (int n = 0; n < 64; ++n) scratch_[n] = static_cast<int16_t>(static_cast<uint16_t>(coef[n] * q.plain[n]));
                jpegidct::PlainIdct(scratch_, scratch_, out, 8);
            } else if (last == 0) {
                // DC only: every step of the transform passes the one value through unchanged.
                jpegidct::FastIdctDcOnly(coef[0], q.fast[0], out, 8);
                coef[0] = 0;
                continue;
            } else if (last <= jpegidct::kLowLast) {
                jpegidct::FastIdctLow(coef, q.fast, out, 8);
                for (int r = 0; r < 4; ++r) std::memset(coef + r * 8, 0, 4 * sizeof(int16_t));
                continue;
            } else {
                jpegidct::FastIdct(coef, q.fast, out, 8);
            }
            // The next MCU row decodes into a cleared block and writes only its non-zero coefficients.
            std::memset(coef, 0, 64 * sizeof(int16_t));
        }
    }
}

int JpegDecoder::ReadScanline(const uint8_t** row, int32_t* length) {
    if (error_ != 0 || !started_ || released_) return -1;
    if (rowsLeft_ == 0) return 1;
    try {
        if (rowsLeftInMcuRow_ == 0) {
            if (!progressive_) {
                DecodeMcuRow();
                if (rowsLeft_ <= static_cast<uint32_t>(mcuHeight_)) FinishSequentialImage();
            }
            TransformMcuRow();
            ++mcuRowIndex_;
            rowsLeftInMcuRow_ = mcuHeight_;
        }
        const int r = mcuHeight_ - rowsLeftInMcuRow_;
        const uint8_t* out = rowA_;
        if (mcuHeight_ == 16 && layout_ != 0) {
            if ((r & 1) == 0) {
                jpegcolor::ConvertRows(layout_, colorTables_, sampleBuffer_, outMcusPerRow_, r, rowA_, rowB_);
            } else {
                out = rowB_;
            }
        } else {
            jpegcolor::ConvertRows(layout_, colorTables_, sampleBuffer_, outMcusPerRow_, r, rowA_, nullptr);
        }
        if (row != nullptr) *row = out;
        if (length != nullptr) *length = rowLength_;
        --rowsLeft_;
        --rowsLeftInMcuRow_;
        return 0;
    } catch (const JpegFailure& f) {
        HandleFailure(f.code);
        return kJpegBadEntropyData;
    } catch (...) {
        HandleFailure(kJpegOutOfMemory);
        return kJpegBadEntropyData;
    }
}

void JpegDecoder::Release() {
    input_.CloseSource();
    ForgetPoolBlocks();
    released_ = true;
}
