#pragma once

namespace qern {

// Failure codes of JpegDecoder. A frame's failure leaves one of these in the decoder's error field.
enum JpegFailureCode : int {
    kJpegBadHuffmanCounts = -200,     // DHT: more than 255 symbols, or counts that over-fill the code space
    kJpegBadHuffmanSlot = -201,       // DHT: table slot 8 or above
    kJpegBadHuffmanLength = -202,     // DHT: length below 2, or the table runs past the segment
    kJpegBadQuantLength = -203,       // DQT: length below 2
    kJpegBadQuantId = -204,           // DQT: table id above 3
    kJpegBadPrecision = -205,         // frame header: precision not 8
    kJpegBadHeight = -206,            // frame header: height 0 or above 8192
    kJpegBadWidth = -207,             // frame header: width 0 or above 8192
    kJpegTooManyComponents = -208,    // frame header: more than 4 components
    kJpegBadFrameLength = -209,       // frame header: length not 8 + 3 x components
    kJpegBadSegmentLength = -210,     // skipped segment: length below 2
    kJpegBadRestartLength = -211,     // DRI: length not 4
    kJpegBadScanComponents = -212,    // scan header: bad count or length, repeated component, partial sequential scan
    kJpegUnknownComponent = -213,     // scan header: unknown component identifier
    kJpegArithmetic = -215,           // arithmetic coding (SOF9 or DAC)
    kJpegMarkerOutOfPlace = -216,     // TEM, JPG or RSTn among the headers; EOI or a frame marker where SOS is due
    kJpegNoImage = -217,              // no SOI within the first 512 bytes, or no marker after a late SOI
    kJpegUnsupportedFrame = -218,     // unsupported frame type
    kJpegShortQuantTable = -219,      // DQT: table runs past the segment
    kJpegPoolFull = -221,             // more than 100 blocks
    kJpegMissingQuantTable = -222,    // quantisation table missing, or selector above 3
    kJpegMissingHuffmanTable = -223,  // Huffman table missing, or table id above 3
    kJpegBadComponentCount = -225,    // component count not 1 or 3
    kJpegBadSampling = -226,          // unsupported sampling factors
    kJpegBadEntropyData = -227,       // coefficient past 63, DC size above 16, refinement size above 1
    kJpegBadRestart = -228,           // restart marker missing or out of sequence
    kJpegBadGeometry = -229,          // MCU row above 6144 blocks; progressive block outside its array
    kJpegBadProgressiveScan = -230,   // bad spectral selection or component count; too many scans
    kJpegBadApproximation = -231,     // successive approximation low not high - 1
    kJpegSourceFailed = -232,         // the source's Read returned a negative count
    kJpegOutOfMemory = -233,          // heap exhausted
};

// Carries a frame's failure from deep inside the decoder to its public operation, which catches it.
struct JpegFailure {
    int code;
};

[[noreturn]] inline void JpegFail(int code) { throw JpegFailure{code}; }

}  // namespace qern
