#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg/JpegDecoder.h"

// Hand-made JPEG streams for the decoder's tests: segments written byte by byte, entropy data written bit
// by bit with flat Huffman tables (every DC size a 5-bit code equal to the size, every AC symbol an 8-bit
// code equal to its index in FlatAcSymbols()).
namespace jpegtest {

using Bytes = std::vector<uint8_t>;

struct FrameComponent {
    uint8_t id;
    uint8_t hv;
    uint8_t tq;
};
struct ScanComponent {
    uint8_t id;
    uint8_t tables;  // DC id << 4 | AC id
};

const std::vector<uint8_t>& FlatAcSymbols();  // EOB, the 160 run/size pairs, ZRL, ascending

class BitWriter {
public:
    void Put(uint32_t value, int n);
    // Pads with 1-bits to a byte and returns the bytes with every FF stuffed as FF 00.
    Bytes Finish();

private:
    std::vector<uint8_t> bits_;
};

// Encoders with the flat tables. DC difference and AC values in ordinary JPEG size/amplitude form.
void PutDc(BitWriter& w, int diff);
void PutAc(BitWriter& w, int run, int value);
void PutEob(BitWriter& w);
void PutZrl(BitWriter& w);
// A sequential block from zigzag coefficients, updating the predictor.
void PutBlock(BitWriter& w, const int zigzag[64], int& predictor);

class Stream {
public:
    Stream& Raw(const Bytes& b);
    Stream& Byte(uint8_t b);
    Stream& Word(uint16_t w);
    Stream& Soi() { return Word(0xFFD8); }
    Stream& Eoi() { return Word(0xFFD9); }
    Stream& Marker(uint8_t code) { return Byte(0xFF).Byte(code); }
    // Marker, 16-bit length (payload + 2) and payload.
    Stream& Segment(uint8_t code, const Bytes& payload);
    Stream& Dqt(uint8_t id, uint8_t value);           // one 8-bit table with every entry `value`
    Stream& DqtTable(uint8_t id, const uint16_t zigzag[64], bool wide);
    Stream& Sof(uint8_t marker, uint16_t width, uint16_t height, const std::vector<FrameComponent>& c);
    Stream& Dht(uint8_t classId, const uint8_t counts[16], const Bytes& symbols);
    Stream& FlatDcTable(uint8_t id) ;                 // DC sizes 0..16, 5-bit codes
    Stream& FlatAcTable(uint8_t id);                  // all AC symbols, 8-bit codes
    Stream& Sos(const std::vector<ScanComponent>& c, uint8_t ss = 0, uint8_t se = 63, uint8_t a = 0);
    Stream& Dri(uint16_t interval);
    Stream& Entropy(BitWriter& w) { return Raw(w.Finish()); }

    // Baseline headers for a frame with flat tables: quant table 0 (and 1) all `q`.
    Stream& GreyHeaders(uint16_t width, uint16_t height, uint8_t q = 1);
    Stream& ColourHeaders(uint16_t width, uint16_t height, uint8_t lumaHv, uint8_t q = 1);

    const Bytes& bytes() const { return bytes_; }
    Bytes& bytes() { return bytes_; }

private:
    Bytes bytes_;
};

struct Decoded {
    int header = 0;   // ReadHeader's result
    int start = 0;    // StartDecompress's result
    int last = 0;     // ReadScanline's final result
    int error = 0;
    uint32_t width = 0, height = 0;
    int rows = 0;
    int32_t length = 0;
    Bytes pixels;     // all delivered rows
};

// Decodes the stream through a memory source (in pieces of `chunk` bytes when non-zero).
Decoded DecodeAll(JpegDecoder& d, const Bytes& data, size_t chunk = 0, uint8_t accelerate = 1);
Decoded DecodeAll(const Bytes& data, size_t chunk = 0, uint8_t accelerate = 1);

// Samples of one block decoded on the fast path from natural-order coefficients and DQT values (zigzag).
void ExpectedBlock(const int16_t natural[64], const uint16_t quantZigzag[64], uint8_t out[64]);

}  // namespace jpegtest

namespace jpegtest {

// A frame with random coefficients in one of the five layouts, encoded with the flat tables, and the rows
// the fast path must produce for it, computed block by block with the scalar transform and the
// conversion's fixed-point definition.
struct Scene {
    Bytes jpeg;
    Bytes expected;  // width x height x (1 or 4) bytes, rows top to bottom
    int bytesPerPixel = 0;
};

struct SceneOptions {
    int layout = 2;
    int width = 32;
    int height = 16;
    uint32_t seed = 1;
    int restartInterval = 0;  // MCUs between restart markers, 0 = none
    int density = 8;          // about one coefficient in `density` is non-zero
    int maxMagnitude = 60;
    int maxDc = 80;           // DC values in -maxDc..maxDc
    bool wideQuant = false;   // 16-bit DQT entries
};

Scene MakeScene(const SceneOptions& o);

// One pixel by the colour conversion's fixed-point definition (JFIF, 16-bit fractions): B, G, R, 0xFF.
void ReferenceBgrx(int y, int cb, int cr, uint8_t out[4]);

}  // namespace jpegtest
