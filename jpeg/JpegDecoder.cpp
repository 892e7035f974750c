#include "jpeg/JpegDecoder.h"

#include <cstring>

#include "jpeg/JpegFailure.h"
#include "jpeg/JpegIdct.h"

namespace qern {

namespace {

constexpr int kSof0 = 0xC0;
constexpr int kSof1 = 0xC1;
constexpr int kSof2 = 0xC2;
constexpr int kSof9 = 0xC9;
constexpr int kSos = 0xDA;

inline int CeilDiv(int a, int b) { return (a + b - 1) / b; }

}  // namespace

JpegDecoder::JpegDecoder() { jpegcolor::BuildTables(m_colorTables); }

JpegDecoder::~JpegDecoder() = default;

void JpegDecoder::Fail(int code) { JpegFail(code); }

void JpegDecoder::ForgetPoolBlocks() {
    m_pool.FreeAll();
    for (int i = 0; i < 8; ++i) m_huffCounts[i] = m_huffSymbols[i] = nullptr;
    for (QuantTable*& q : m_quant) q = nullptr;
    for (Component& c : m_comp) {
        c.coef = nullptr;
        c.coefLast = nullptr;
    }
    m_coefBuffer = nullptr;
    m_blockLast = nullptr;
    m_sampleBuffer = nullptr;
    m_rowA = m_rowB = nullptr;
}

void JpegDecoder::HandleFailure(int code) {
    m_error = code;
    m_input.CloseSource();
    ForgetPoolBlocks();
}

void JpegDecoder::ResetFrame() {
    // Blocks of a frame that was never released are freed here rather than leaked.
    m_input.CloseSource();
    ForgetPoolBlocks();
    m_width = m_height = 0;
    m_progressive = 0;
    m_layout = 0;
    m_componentCount = 0;
    std::memset(m_comp, 0, sizeof m_comp);
    m_scanCount = 0;
    m_spectralStart = m_approxHigh = m_approxLow = 0;
    m_spectralEnd = 63;
    m_mcusPerRow = m_mcuRows = m_blocksPerMcu = 0;
    m_outMcusPerRow = m_outBlocksPerMcu = m_outMcuRows = m_blocksPerRow = 0;
    m_rowsLeft = 0;
    m_rowsLeftInMcuRow = 0;
    m_mcuRowIndex = 0;
    m_rowLength = m_paddedRowLength = 0;
    m_bytesPerPixel = 0;
    std::memset(m_lastDc, 0, sizeof m_lastDc);
    m_eobRun = 0;
    m_restartInterval = m_restartsToGo = 0;
    m_nextRestart = 0;
    m_bits = JpegBitReader{};
    m_error = 0;
    m_started = false;
    m_headerRead = false;
    m_released = false;
}

int JpegDecoder::ReadHeader(JpegSource* source, uint8_t accelerate) {
    ResetFrame();
    m_input.Reset(source);
    m_accelerate = accelerate;
    try {
        FindSoi();
        const int m = ProcessMarkers();
        if (m == kSof2) m_progressive = 1;
        if (m == kSof9) Fail(kJpegArithmetic);
        if (m != kSof0 && m != kSof1 && m != kSof2) Fail(kJpegUnsupportedFrame);
        ParseFrameHeader();
        m_headerRead = true;
        return m_componentCount;
    } catch (const JpegFailure& f) {
        HandleFailure(f.code);
        return f.code;
    } catch (...) {
        HandleFailure(kJpegOutOfMemory);
        return kJpegOutOfMemory;
    }
}

void JpegDecoder::ChooseLayout() {
    if (m_componentCount == 1) {
        m_layout = 0;
        m_comp[0].h = m_comp[0].v = 1;  // a single component is never subsampled
    } else if (m_componentCount == 3) {
        if (m_comp[1].h != 1 || m_comp[1].v != 1 || m_comp[2].h != 1 || m_comp[2].v != 1) Fail(kJpegBadSampling);
        const int h = m_comp[0].h;
        const int v = m_comp[0].v;
        if (h < 1 || h > 2 || v < 1 || v > 2) Fail(kJpegBadSampling);
        m_layout = h == 1 ? (v == 1 ? 1 : 3) : (v == 1 ? 2 : 4);
    } else {
        Fail(kJpegBadComponentCount);
    }
    const jpegcolor::Layout& info = jpegcolor::LayoutInfo(m_layout);
    m_mcuWidth = info.mcuWidth;
    m_mcuHeight = info.mcuHeight;
    m_bytesPerPixel = info.bytesPerPixel;
    m_rowLength = static_cast<int32_t>(m_width) * m_bytesPerPixel;
    m_paddedRowLength = static_cast<int32_t>((m_width + 15) & ~15u) * m_bytesPerPixel;
    m_outMcusPerRow = CeilDiv(static_cast<int>(m_width), m_mcuWidth);
    m_outMcuRows = CeilDiv(static_cast<int>(m_height), m_mcuHeight);
    m_outBlocksPerMcu = info.blocksPerMcu;
    m_blocksPerRow = m_outBlocksPerMcu * m_outMcusPerRow;
    if (m_blocksPerRow > kMaxBlocksPerRow) Fail(kJpegBadGeometry);
    int k = 0;
    for (int c = 0; c < m_componentCount; ++c) {
        for (int by = 0; by < m_comp[c].v; ++by) {
            for (int bx = 0; bx < m_comp[c].h; ++bx) {
                m_outBlockComp[k] = c;
                m_outBlockX[k] = bx;
                m_outBlockY[k] = by;
                ++k;
            }
        }
    }
    m_rowA = static_cast<uint8_t*>(m_pool.Take(static_cast<size_t>(m_paddedRowLength)));
    m_rowB = static_cast<uint8_t*>(m_pool.Take(static_cast<size_t>(m_paddedRowLength)));
    // One spare block: a broken last block may write one coefficient past its end before it fails.
    m_coefBuffer = static_cast<int16_t*>(m_pool.Take((static_cast<size_t>(m_blocksPerRow) + 1) * 64 * sizeof(int16_t)));
    m_sampleBuffer = static_cast<uint8_t*>(m_pool.Take(static_cast<size_t>(m_blocksPerRow) * 64));
    m_blockLast = static_cast<uint8_t*>(m_pool.Take(static_cast<size_t>(m_blocksPerRow)));
    m_rowsLeft = m_height;
    m_rowsLeftInMcuRow = 0;
    m_mcuRowIndex = 0;
}

int JpegDecoder::StartDecompress() {
    if (m_started) return 0;
    if (m_error != 0 || !m_headerRead || m_released) return -1;
    try {
        ChooseLayout();
        if (m_progressive) {
            DecodeProgressiveImage();
            m_started = true;
            return 0;
        }
        const int m = ProcessMarkers();
        if (m != kSos) Fail(kJpegMarkerOutOfPlace);
        ParseSos();
        // Only the first scan is decoded, so it must hold every component.
        if (m_scanCount != m_componentCount) Fail(kJpegBadScanComponents);
        SetupScan();
        for (int i = 0; i < m_scanCount; ++i) {
            const int q = m_comp[m_scanComp[i]].quant;
            if (q > 3 || m_quant[q] == nullptr) Fail(kJpegMissingQuantTable);
        }
        std::memset(m_lastDc, 0, sizeof m_lastDc);
        m_restartsToGo = m_restartInterval;
        m_nextRestart = 0;
        StartEntropy();
        m_started = true;
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
    if (!m_progressive && m_accelerate) {
        const int16_t* tables[kMaxBlocksPerMcu];
        for (int k = 0; k < m_outBlocksPerMcu; ++k) tables[k] = m_quant[m_comp[m_outBlockComp[k]].quant]->fast;
        jpegidct::TransformRow(m_coefBuffer, m_blockLast, m_sampleBuffer, m_blocksPerRow, tables, m_outBlocksPerMcu);
        return;
    }
    int slot = 0;
    for (int m = 0; m < m_outMcusPerRow; ++m) {
        for (int k = 0; k < m_outBlocksPerMcu; ++k, ++slot) {
            const int c = m_outBlockComp[k];
            int16_t* coef;
            int last;
            if (m_progressive) {
                const size_t index =
                    ProgressiveBlock(c, m * m_comp[c].h + m_outBlockX[k], m_mcuRowIndex * m_comp[c].v + m_outBlockY[k]);
                coef = m_comp[c].coef + index * 64;
                last = m_comp[c].coefLast[index];
            } else {
                coef = m_coefBuffer + static_cast<size_t>(slot) * 64;
                last = m_blockLast[slot];
            }
            uint8_t* out = m_sampleBuffer + static_cast<size_t>(slot) * 64;
            const QuantTable& q = *m_quant[m_comp[c].quant];
            if (!m_accelerate) {
                for (int n = 0; n < 64; ++n)
                    m_scratch[n] = static_cast<int16_t>(static_cast<uint16_t>(coef[n] * q.plain[n]));
                jpegidct::PlainIdct(m_scratch, m_scratch, out, 8);
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
    if (m_error != 0 || !m_started || m_released) return -1;
    if (m_rowsLeft == 0) return 1;
    try {
        if (m_rowsLeftInMcuRow == 0) {
            if (!m_progressive) {
                DecodeMcuRow();
                if (m_rowsLeft <= static_cast<uint32_t>(m_mcuHeight)) FinishSequentialImage();
            }
            TransformMcuRow();
            ++m_mcuRowIndex;
            m_rowsLeftInMcuRow = m_mcuHeight;
        }
        const int r = m_mcuHeight - m_rowsLeftInMcuRow;
        const uint8_t* out = m_rowA;
        if (m_mcuHeight == 16 && m_layout != 0) {
            if ((r & 1) == 0) {
                jpegcolor::ConvertRows(m_layout, m_colorTables, m_sampleBuffer, m_outMcusPerRow, r, m_rowA, m_rowB);
            } else {
                out = m_rowB;
            }
        } else {
            jpegcolor::ConvertRows(m_layout, m_colorTables, m_sampleBuffer, m_outMcusPerRow, r, m_rowA, nullptr);
        }
        if (row != nullptr) *row = out;
        if (length != nullptr) *length = m_rowLength;
        --m_rowsLeft;
        --m_rowsLeftInMcuRow;
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
    m_input.CloseSource();
    ForgetPoolBlocks();
    m_released = true;
}

}  // namespace qern
