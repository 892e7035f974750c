#pragma once

#include <cstdint>
#include <vector>

#include "jpeg/JpegDecoder.h"

namespace qern {

// Hand-made JPEG streams. Flat Huffman tables: every DC size a 5-bit code equal to the size, every AC
// symbol an 8-bit code equal to its index in FlatAcSymbols().
namespace jpegtest {

using Bytes = std::vector<uint8_t>;

struct FrameComponent {
    uint8_t id, hv, tq;
};
struct ScanComponent {
    uint8_t id, tables;  // DC id << 4 | AC id
};

const Bytes& FlatAcSymbols();   // EOB, the 160 run/size pairs, ZRL, ascending
extern const Bytes kFlatBlock;  // one block with DC difference 0 and no AC, padded

class BitWriter {
public:
    void Put(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) m_bits.push_back(static_cast<uint8_t>((value >> i) & 1));
    }
    Bytes Finish();  // pads with 1-bits, stuffs FF as FF 00

private:
    Bytes m_bits;
};

void PutDc(BitWriter& w, int diff);
void PutAc(BitWriter& w, int run, int value);  // value 0: EOB (run 0) or ZRL (run 15)
void PutBlock(BitWriter& w, const int zigzag[64], int& predictor);

class Stream {
public:
    Stream& Raw(const Bytes& b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
        return *this;
    }
    Stream& Byte(uint8_t b) { return Raw({b}); }
    Stream& Word(uint16_t w) { return Raw({static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)}); }
    Stream& Soi() { return Word(0xFFD8); }
    Stream& Eoi() { return Word(0xFFD9); }
    Stream& Marker(uint8_t code) { return Byte(0xFF).Byte(code); }
    Stream& Segment(uint8_t code, const Bytes& payload) {
        return Marker(code).Word(static_cast<uint16_t>(payload.size() + 2)).Raw(payload);
    }
    Stream& Dqt(uint8_t id, const std::vector<uint16_t>& zigzag, bool wide = false);
    Stream& Dqt(uint8_t id, uint8_t value) { return Dqt(id, std::vector<uint16_t>(64, value)); }
    Stream& Sof(uint8_t marker, uint16_t width, uint16_t height, const std::vector<FrameComponent>& c);
    Stream& Dht(uint8_t classId, Bytes counts, const Bytes& symbols);  // counts: 16, zeros may be left off
    // The flat tables under a class/id byte (DC 0, AC 0 by default).
    Stream& FlatDcTable(uint8_t classId = 0x00) {
        return Dht(classId, {0, 0, 0, 0, 17}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    }
    Stream& FlatAcTable(uint8_t classId = 0x10) {
        return Dht(classId, {0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(FlatAcSymbols().size())}, FlatAcSymbols());
    }
    Stream& Sos(const std::vector<ScanComponent>& c, uint8_t ss = 0, uint8_t se = 63, uint8_t a = 0);
    Stream& Dri(uint16_t interval) { return Marker(0xDD).Word(4).Word(interval); }
    // Baseline grey frame, quant table 0 all ones, flat tables.
    Stream& GreyHeaders(uint16_t w, uint16_t h) {
        return Soi().Dqt(0, 1).Sof(0xC0, w, h, {{1, 0x11, 0}}).FlatDcTable().FlatAcTable();
    }
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
};

// code: ReadHeader's failure, else the failure after it, 0 when every row came; pixels: every row.
struct Decoded {
    int header = 0, start = 0, last = 0, error = 0, code = 0, rows = 0;
    uint32_t width = 0, height = 0;
    int32_t length = 0;
    Bytes pixels;
};

// Through a memory source in pieces of `chunk` bytes (0: whole), with `d` or a decoder of its own.
Decoded DecodeAll(const Bytes& data, size_t chunk = 0, uint8_t accelerate = 1, JpegDecoder* d = nullptr);

// Fast-path samples of one block from zigzag coefficients and DQT values.
Bytes ExpectedBlock(const int zigzag[64], const std::vector<uint16_t>& quant);

// A random frame in one of the five layouts and the rows the fast path must give for it (by ExpectedBlock).
struct Scene {
    Bytes jpeg, expected;
    int bytesPerPixel = 0;
};

// One AC coefficient in `density` non-zero, up to `maxMagnitude`; 16-bit DQT entries when `wideQuant`.
struct SceneOptions {
    int layout = 2, width = 32, height = 16, restartInterval = 0, density = 8, maxMagnitude = 60;
    uint32_t seed = 1;
    bool wideQuant = false;
};

Scene MakeScene(const SceneOptions& o);

// One pixel by the conversion's fixed-point definition (JFIF, 16-bit fractions): B, G, R, 0xFF.
void ReferenceBgrx(int y, int cb, int cr, uint8_t out[4]);

}  // namespace jpegtest

}  // namespace qern
