#pragma once

#include <cstdint>
#include <vector>

#include "jpeg/JpegDecoder.h"

// Hand-made JPEG streams for the decoder's tests: segments written byte by byte, entropy data written bit
// by bit with flat Huffman tables (every DC size a 5-bit code equal to the size, every AC symbol an 8-bit
// code equal to its index in FlatAcSymbols()).
namespace jpegtest {

using Bytes = std::vector<uint8_t>;

struct FrameComponent {
    uint8_t id, hv, tq;
};
struct ScanComponent {
    uint8_t id, tables;  // tables: DC id << 4 | AC id
};

const Bytes& FlatAcSymbols();  // EOB, the 160 run/size pairs, ZRL, ascending
extern const Bytes kFlatBlock;  // one block with DC difference 0 and no AC, padded

class BitWriter {
public:
    void Put(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) bits_.push_back(static_cast<uint8_t>((value >> i) & 1));
    }
    // Pads with 1-bits to a byte and returns the bytes with every FF stuffed as FF 00.
    Bytes Finish();

private:
    Bytes bits_;
};

// Encoders with the flat tables; values in ordinary JPEG size/amplitude form.
void PutDc(BitWriter& w, int diff);
void PutAc(BitWriter& w, int run, int value);
void PutEob(BitWriter& w);
void PutZrl(BitWriter& w);
// A sequential block from zigzag coefficients, updating the predictor.
void PutBlock(BitWriter& w, const int zigzag[64], int& predictor);

class Stream {
public:
    Stream& Raw(const Bytes& b) {
        bytes_.insert(bytes_.end(), b.begin(), b.end());
        return *this;
    }
    Stream& Byte(uint8_t b) { return Raw({b}); }
    Stream& Word(uint16_t w) { return Raw({static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)}); }
    Stream& Soi() { return Word(0xFFD8); }
    Stream& Eoi() { return Word(0xFFD9); }
    Stream& Marker(uint8_t code) { return Byte(0xFF).Byte(code); }
    Stream& Segment(uint8_t code, const Bytes& payload) {  // marker, length (payload + 2), payload
        return Marker(code).Word(static_cast<uint16_t>(payload.size() + 2)).Raw(payload);
    }
    Stream& Dqt(uint8_t id, const std::vector<uint16_t>& zigzag, bool wide = false);
    Stream& Dqt(uint8_t id, uint8_t value) { return Dqt(id, std::vector<uint16_t>(64, value)); }
    Stream& Sof(uint8_t marker, uint16_t width, uint16_t height, const std::vector<FrameComponent>& c);
    Stream& Dht(uint8_t classId, const uint8_t counts[16], const Bytes& symbols);
    Stream& FlatDcTable(uint8_t id);  // DC sizes 0..16, 5-bit codes
    Stream& FlatAcTable(uint8_t id);  // all AC symbols, 8-bit codes
    Stream& Sos(const std::vector<ScanComponent>& c, uint8_t ss = 0, uint8_t se = 63, uint8_t a = 0);
    Stream& Dri(uint16_t interval) { return Segment(0xDD, {static_cast<uint8_t>(interval >> 8), static_cast<uint8_t>(interval)}); }
    Stream& Entropy(BitWriter& w) { return Raw(w.Finish()); }
    // Baseline headers of a grey frame with flat tables, quant table 0 all ones.
    Stream& GreyHeaders(uint16_t width, uint16_t height);

    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// Results of ReadHeader, StartDecompress, the last ReadScanline and Error; every delivered row.
struct Decoded {
    int header = 0, start = 0, last = 0, error = 0;
    uint32_t width = 0, height = 0;
    int rows = 0;
    int32_t length = 0;
    Bytes pixels;
};

// Decodes the stream through a memory source (in pieces of `chunk` bytes when non-zero), with `d` or a
// decoder of its own.
Decoded DecodeAll(const Bytes& data, size_t chunk = 0, uint8_t accelerate = 1, JpegDecoder* d = nullptr);

// Samples of one block decoded on the fast path from zigzag coefficients and DQT values (zigzag).
Bytes ExpectedBlock(const int zigzag[64], const std::vector<uint16_t>& quant);

// A frame with random coefficients in one of the five layouts, encoded with the flat tables, and the rows
// the fast path must produce for it, computed block by block with the scalar transform and the
// conversion's fixed-point definition.
struct Scene {
    Bytes jpeg;
    Bytes expected;  // width x height x (1 or 4) bytes, rows top to bottom
    int bytesPerPixel = 0;
};

// About one AC coefficient in `density` is non-zero, up to `maxMagnitude`; DC in -80..80; restart markers
// every `restartInterval` MCUs (0: none); 16-bit DQT entries when `wideQuant`.
struct SceneOptions {
    int layout = 2, width = 32, height = 16, restartInterval = 0, density = 8, maxMagnitude = 60;
    uint32_t seed = 1;
    bool wideQuant = false;
};

Scene MakeScene(const SceneOptions& o);

// One pixel by the colour conversion's fixed-point definition (JFIF, 16-bit fractions): B, G, R, 0xFF.
void ReferenceBgrx(int y, int cb, int cr, uint8_t out[4]);

}  // namespace jpegtest
