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

    uint32_t ImageWidth() const { return width_; }
    uint32_t ImageHeight() const { return height_; }
    int Error() const { return error_; }
    int ComponentCount() const { return componentCount_; }
    bool Progressive() const { return progressive_ != 0; }
    int OutputLayout() const { return layout_; }
    int BytesPerPixel() const { return bytesPerPixel_; }

    static constexpr uint32_t kMaxDimension = 8192;
    static constexpr int kMaxBlocksPerMcu = 10;
    static constexpr int kMaxBlocksPerRow = 6144;
    static constexpr int kMaxProgressiveScans = 500;

private:
    struct Component {
        int h, v;          // sampling factors
        int quant;         // quantisation table selector
        int id;            // component identifier
        int widthBlocks, heightBlocks;
        int dcSlot, acSlot;  // Huffman slots chosen by the last SOS naming this component
        int16_t* coef;     // progressive: whole-image coefficients, 64 per block
        uint8_t* coefLast; // progressive: per block, highest zigzag index any scan wrote
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
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    int progressive_ = 0;
    uint8_t* huffCounts_[8] = {};
    uint8_t* huffSymbols_[8] = {};
    QuantTable* quant_[4] = {};
    int layout_ = 0;
    int componentCount_ = 0;
    Component comp_[4] = {};

    // Scan header
    int scanCount_ = 0;
    int scanComp_[4] = {};
    int spectralStart_ = 0, spectralEnd_ = 63, approxHigh_ = 0, approxLow_ = 0;

    // Scan geometry
    int mcusPerRow_ = 0, mcuRows_ = 0, blocksPerMcu_ = 0;
    int mcuMembership_[kMaxBlocksPerMcu] = {};  // component of each block in decoding order
    int mcuSlot_[kMaxBlocksPerMcu] = {};        // position of that block inside the output MCU
    int mcuBlockX_[kMaxBlocksPerMcu] = {};      // block offset inside the MCU, per component
    int mcuBlockY_[kMaxBlocksPerMcu] = {};

    // Output geometry
    int mcuWidth_ = 8, mcuHeight_ = 8;
    int outMcusPerRow_ = 0, outBlocksPerMcu_ = 0, outMcuRows_ = 0, blocksPerRow_ = 0;
    int outBlockComp_[kMaxBlocksPerMcu] = {};   // component of each block of an output MCU
    int outBlockX_[kMaxBlocksPerMcu] = {}, outBlockY_[kMaxBlocksPerMcu] = {};
    uint32_t rowsLeft_ = 0;
    int rowsLeftInMcuRow_ = 0;
    int mcuRowIndex_ = 0;
    int32_t rowLength_ = 0;
    int32_t paddedRowLength_ = 0;
    int bytesPerPixel_ = 0;

    JpegPool pool_;

    // Entropy state
    JpegHuffmanTable huff_[8];
    uint8_t huffBuiltFrom_[8][17 + 256] = {};  // definition each derived table was built from
    bool huffBuilt_[8] = {};
    uint32_t lastDc_[4] = {};
    uint32_t eobRun_ = 0;
    uint32_t restartInterval_ = 0;
    uint32_t restartsToGo_ = 0;
    int nextRestart_ = 0;
    int16_t* coefBuffer_ = nullptr;   // 64 per block of an MCU row
    uint8_t* blockLast_ = nullptr;    // per block of an MCU row: last non-zero AC index, 0 = DC only
    uint8_t* sampleBuffer_ = nullptr;  // 64 per block of an MCU row
    JpegBitReader bits_;

    JpegInput input_;

    // Colour and output buffers
    jpegcolor::Tables colorTables_;
    uint8_t* rowA_ = nullptr;
    uint8_t* rowB_ = nullptr;
    alignas(16) int16_t scratch_[64] = {};

    // Control
    uint8_t accelerate_ = 1;
    int error_ = 0;
    bool started_ = false;
    bool headerRead_ = false;
    bool released_ = false;
};

inline size_t JpegDecoder::ProgressiveBlock(int c, int bx, int by) {
    const Component& k = comp_[c];
    if (bx < 0 || by < 0 || bx >= k.coefWidth || by >= k.coefHeight) Fail(kJpegBadGeometry);
    return static_cast<size_t>(by) * static_cast<size_t>(k.coefWidth) + static_cast<size_t>(bx);
}
