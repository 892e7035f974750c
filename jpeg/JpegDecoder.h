#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/JpegBitReader.h"
#include "jpeg/JpegColor.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegHuffmanTable.h"
#include "jpeg/JpegInput.h"
#include "jpeg/JpegPool.h"
#include "jpeg/JpegSource.h"

namespace qern {

// Decoder for baseline, extended sequential and progressive Huffman JPEG frames, 8-bit, greyscale or
// YCbCr, to rows of 32-bit blue-green-red pixels (or 8-bit grey). One object decodes one frame after the
// other: ReadHeader, StartDecompress, ReadScanline until it returns non-zero, Release.
// Failures are reported as codes -200..-233 (JpegFailure.h); no exception leaves a public operation.
class JpegDecoder {
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Resets the object, attaches `source` and reads the frame's headers up to its frame marker.
    // Returns the frame's component count (0..4) or a negative failure code. `accelerate` = 1 selects the
    // fast integer path whose output is the reference; 0 the accurate integer transform.
    int ReadHeader(JpegSource* source, uint8_t accelerate);
    // 0 on success or if already started; -1 if a failure is pending or occurs now.
    int StartDecompress();
    // 0: *row points at the next row (valid until the next call) of *length bytes; 1: all rows delivered;
    // -1: a failure is pending or the frame was not started; -227: decoding failed now (see Error()).
    int ReadScanline(const uint8_t** row, int32_t* length);
    // Frees the frame's memory and closes the source. Safe at any time, also repeatedly.
    void Release();

    uint32_t ImageWidth() const { return m_width; }
    uint32_t ImageHeight() const { return m_height; }
    int Error() const { return m_error; }
    int ComponentCount() const { return m_componentCount; }
    bool Progressive() const { return m_progressive != 0; }
    int OutputLayout() const { return m_layout; }
    int BytesPerPixel() const { return m_bytesPerPixel; }

    static constexpr uint32_t kMaxDimension = 8192;
    static constexpr int kMaxBlocksPerMcu = 10;
    static constexpr int kMaxBlocksPerRow = 6144;
    static constexpr int kMaxProgressiveScans = 500;

private:
    struct Component {
        int h, v;   // sampling factors
        int quant;  // quantisation table selector
        int id;     // component identifier
        int widthBlocks, heightBlocks;
        int dcSlot, acSlot;         // Huffman slots chosen by the last SOS naming this component
        int16_t* coef;              // progressive: whole-image coefficients, 64 per block
        uint8_t* coefLast;          // progressive: per block, highest zigzag index any scan wrote
        int coefWidth, coefHeight;  // progressive array size in blocks
    };
    struct QuantTable {
        uint16_t zigzag[64];  // as read
        int16_t fast[64];     // natural order, AAN-scaled
        int16_t plain[64];    // natural order, as read (16-bit)
    };

    [[noreturn]] void Fail(int code);  // leaves the public operation in progress with `code`
    void HandleFailure(int code);      // records the code, closes the source, frees the pool
    void ForgetPoolBlocks();
    void ResetFrame();

    // Markers (JpegMarkers.cpp)
    void FindSoi();
    int NextMarker();
    int ProcessMarkers();  // runs the marker loop, returns the first frame/scan marker
    void ParseFrameHeader();
    void ParseDht();
    void ParseDqt();
    void ParseDri();
    void ParseSos();

    // Entropy decoding (JpegEntropy.cpp)
    void SetupScan();
    void StartEntropy();
    void ProcessRestart();
    void DecodeMcuRow();
    void FinishSequentialImage();

    // Progressive (JpegProgressive.cpp)
    void DecodeProgressiveImage();
    void DecodeProgressiveScan();
    void DecodeDcFirst(JpegBitReader& r, int16_t* block, int blockInMcu);
    void DecodeDcRefine(JpegBitReader& r, int16_t* block);
    void DecodeAcFirst(JpegBitReader& r, int16_t* block, uint8_t& last, int blockInMcu);
    void DecodeAcRefine(JpegBitReader& r, int16_t* block, uint8_t& last, int blockInMcu);

    // Output (JpegDecoder.cpp)
    void ChooseLayout();
    void TransformMcuRow();
    size_t ProgressiveBlock(int c, int bx, int by);  // index of the block in the component's arrays

    // Frame header and tables
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    int m_progressive = 0;
    uint8_t* m_huffCounts[8] = {};
    uint8_t* m_huffSymbols[8] = {};
    QuantTable* m_quant[4] = {};
    int m_layout = 0;
    int m_componentCount = 0;
    Component m_comp[4] = {};

    // Scan header
    int m_scanCount = 0;
    int m_scanComp[4] = {};
    int m_spectralStart = 0, m_spectralEnd = 63, m_approxHigh = 0, m_approxLow = 0;

    // Scan geometry
    int m_mcusPerRow = 0, m_mcuRows = 0, m_blocksPerMcu = 0;
    int m_mcuMembership[kMaxBlocksPerMcu] = {};  // component of each block in decoding order
    int m_mcuSlot[kMaxBlocksPerMcu] = {};        // position of that block inside the output MCU
    int m_mcuBlockX[kMaxBlocksPerMcu] = {};      // block offset inside the MCU, per component
    int m_mcuBlockY[kMaxBlocksPerMcu] = {};

    // Output geometry
    int m_mcuWidth = 8, m_mcuHeight = 8;
    int m_outMcusPerRow = 0, m_outBlocksPerMcu = 0, m_outMcuRows = 0, m_blocksPerRow = 0;
    int m_outBlockComp[kMaxBlocksPerMcu] = {};  // component of each block of an output MCU
    int m_outBlockX[kMaxBlocksPerMcu] = {}, m_outBlockY[kMaxBlocksPerMcu] = {};
    uint32_t m_rowsLeft = 0;
    int m_rowsLeftInMcuRow = 0;
    int m_mcuRowIndex = 0;
    int32_t m_rowLength = 0;
    int32_t m_paddedRowLength = 0;
    int m_bytesPerPixel = 0;

    JpegPool m_pool;

    // Entropy state
    JpegHuffmanTable m_huff[8];
    uint8_t m_huffBuiltFrom[8][17 + 256] = {};  // definition each derived table was built from
    bool m_huffBuilt[8] = {};
    uint32_t m_lastDc[4] = {};
    uint32_t m_eobRun = 0;
    uint32_t m_restartInterval = 0;
    uint32_t m_restartsToGo = 0;
    int m_nextRestart = 0;
    int16_t* m_coefBuffer = nullptr;    // 64 per block of an MCU row
    uint8_t* m_blockLast = nullptr;     // per block of an MCU row: last non-zero AC index, 0 = DC only
    uint8_t* m_sampleBuffer = nullptr;  // 64 per block of an MCU row
    JpegBitReader m_bits;

    JpegInput m_input;

    // Colour and output buffers
    jpegcolor::Tables m_colorTables;
    uint8_t* m_rowA = nullptr;
    uint8_t* m_rowB = nullptr;
    alignas(16) int16_t m_scratch[64] = {};

    // Control
    uint8_t m_accelerate = 1;
    int m_error = 0;
    bool m_started = false;
    bool m_headerRead = false;
    bool m_released = false;
};

inline size_t JpegDecoder::ProgressiveBlock(int c, int bx, int by) {
    const Component& k = m_comp[c];
    if (bx < 0 || by < 0 || bx >= k.coefWidth || by >= k.coefHeight) Fail(kJpegBadGeometry);
    return static_cast<size_t>(by) * static_cast<size_t>(k.coefWidth) + static_cast<size_t>(bx);
}

}  // namespace qern
