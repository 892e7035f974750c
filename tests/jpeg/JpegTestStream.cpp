#include "JpegTestStream.h"

#include <algorithm>
#include <memory>

#include "jpeg/JpegIdct.h"
#include "jpeg/JpegZigzag.h"
#include "jpeg/MemoryJpegSource.h"

namespace jpegtest {

const std::vector<uint8_t>& FlatAcSymbols() {
    static const std::vector<uint8_t> symbols = [] {
        std::vector<uint8_t> s;
        s.push_back(0x00);
        for (int run = 0; run < 16; ++run) {
            for (int size = 1; size <= 10; ++size) s.push_back(static_cast<uint8_t>(run << 4 | size));
        }
        s.push_back(0xF0);
        std::sort(s.begin(), s.end());
        return s;
    }();
    return symbols;
}

void BitWriter::Put(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) bits_.push_back(static_cast<uint8_t>((value >> i) & 1));
}

Bytes BitWriter::Finish() {
    while (bits_.size() % 8 != 0) bits_.push_back(1);
    Bytes out;
    for (size_t i = 0; i < bits_.size(); i += 8) {
        uint8_t b = 0;
        for (size_t j = 0; j < 8; ++j) b = static_cast<uint8_t>(b << 1 | bits_[i + j]);
        out.push_back(b);
        if (b == 0xFF) out.push_back(0x00);
    }
    bits_.clear();
    return out;
}

namespace {

int SizeOf(int value) {
    int v = value < 0 ? -value : value;
    int s = 0;
    while (v != 0) {
        ++s;
        v >>= 1;
    }
    return s;
}

void PutAmplitude(BitWriter& w, int value, int size) {
    if (size == 0) return;
    const uint32_t bits = value >= 0 ? static_cast<uint32_t>(value) : static_cast<uint32_t>(value + (1 << size) - 1);
    w.Put(bits, size);
}

int AcCode(uint8_t symbol) {
    const auto& s = FlatAcSymbols();
    return static_cast<int>(std::find(s.begin(), s.end(), symbol) - s.begin());
}

}  // namespace

void PutDc(BitWriter& w, int diff) {
    const int size = SizeOf(diff);
    w.Put(static_cast<uint32_t>(size), 5);
    PutAmplitude(w, diff, size);
}

void PutAc(BitWriter& w, int run, int value) {
    const int size = SizeOf(value);
    w.Put(static_cast<uint32_t>(AcCode(static_cast<uint8_t>(run << 4 | size))), 8);
    PutAmplitude(w, value, size);
}

void PutEob(BitWriter& w) { w.Put(static_cast<uint32_t>(AcCode(0x00)), 8); }
void PutZrl(BitWriter& w) { w.Put(static_cast<uint32_t>(AcCode(0xF0)), 8); }

void PutBlock(BitWriter& w, const int zigzag[64], int& predictor) {
    PutDc(w, zigzag[0] - predictor);
    predictor = zigzag[0];
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        if (zigzag[k] == 0) {
            ++run;
            continue;
        }
        while (run > 15) {
            PutZrl(w);
            run -= 16;
        }
        PutAc(w, run, zigzag[k]);
        run = 0;
    }
    if (run != 0) PutEob(w);
}

Stream& Stream::Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
}

Stream& Stream::Byte(uint8_t b) {
    bytes_.push_back(b);
    return *this;
}

Stream& Stream::Word(uint16_t w) { return Byte(static_cast<uint8_t>(w >> 8)).Byte(static_cast<uint8_t>(w)); }

Stream& Stream::Segment(uint8_t code, const Bytes& payload) {
    Marker(code).Word(static_cast<uint16_t>(payload.size() + 2));
    return Raw(payload);
}

Stream& Stream::Dqt(uint8_t id, uint8_t value) {
    Bytes p{id};
    p.insert(p.end(), 64, value);
    return Segment(0xDB, p);
}

Stream& Stream::DqtTable(uint8_t id, const uint16_t zigzag[64], bool wide) {
    Bytes p{static_cast<uint8_t>((wide ? 0x10 : 0x00) | id)};
    for (int i = 0; i < 64; ++i) {
        if (wide) p.push_back(static_cast<uint8_t>(zigzag[i] >> 8));
        p.push_back(static_cast<uint8_t>(zigzag[i]));
    }
    return Segment(0xDB, p);
}

Stream& Stream::Sof(uint8_t marker, uint16_t width, uint16_t height, const std::vector<FrameComponent>& c) {
    Bytes p{8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height), static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(width), static_cast<uint8_t>(c.size())};
    for (const auto& k : c) {
        p.push_back(k.id);
        p.push_back(k.hv);
        p.push_back(k.tq);
    }
    return Segment(marker, p);
}

Stream& Stream::Dht(uint8_t classId, const uint8_t counts[16], const Bytes& symbols) {
    Bytes p{classId};
    p.insert(p.end(), counts, counts + 16);
    p.insert(p.end(), symbols.begin(), symbols.end());
    return Segment(0xC4, p);
}

Stream& Stream::FlatDcTable(uint8_t id) {
    uint8_t counts[16] = {};
    counts[4] = 17;
    Bytes symbols;
    for (int s = 0; s <= 16; ++s) symbols.push_back(static_cast<uint8_t>(s));
    return Dht(id, counts, symbols);
}

Stream& Stream::FlatAcTable(uint8_t id) {
    uint8_t counts[16] = {};
    counts[7] = static_cast<uint8_t>(FlatAcSymbols().size());
    return Dht(static_cast<uint8_t>(0x10 | id), counts, FlatAcSymbols());
}

Stream& Stream::Sos(const std::vector<ScanComponent>& c, uint8_t ss, uint8_t se, uint8_t a) {
    Bytes p{static_cast<uint8_t>(c.size())};
    for (const auto& k : c) {
        p.push_back(k.id);
        p.push_back(k.tables);
    }
    p.push_back(ss);
    p.push_back(se);
    p.push_back(a);
    return Segment(0xDA, p);
}

Stream& Stream::Dri(uint16_t interval) { return Segment(0xDD, {static_cast<uint8_t>(interval >> 8), static_cast<uint8_t>(interval)}); }

Stream& Stream::GreyHeaders(uint16_t width, uint16_t height, uint8_t q) {
    return Soi().Dqt(0, q).Sof(0xC0, width, height, {{1, 0x11, 0}}).FlatDcTable(0).FlatAcTable(0);
}

Stream& Stream::ColourHeaders(uint16_t width, uint16_t height, uint8_t lumaHv, uint8_t q) {
    return Soi()
        .Dqt(0, q)
        .Dqt(1, q)
        .Sof(0xC0, width, height, {{1, lumaHv, 0}, {2, 0x11, 1}, {3, 0x11, 1}})
        .FlatDcTable(0)
        .FlatAcTable(0);
}

Decoded DecodeAll(JpegDecoder& d, const Bytes& data, size_t chunk, uint8_t accelerate) {
    Decoded r;
    MemoryJpegSource source(data.data(), data.size(), chunk);
    r.header = d.ReadHeader(&source, accelerate);
    r.start = d.StartDecompress();
    r.width = d.ImageWidth();
    r.height = d.ImageHeight();
    const uint8_t* row = nullptr;
    int32_t length = 0;
    while ((r.last = d.ReadScanline(&row, &length)) == 0) {
        ++r.rows;
        r.length = length;
        r.pixels.insert(r.pixels.end(), row, row + length);
    }
    r.error = d.Error();
    d.Release();
    return r;
}

Decoded DecodeAll(const Bytes& data, size_t chunk, uint8_t accelerate) {
    auto d = std::make_unique<JpegDecoder>();
    return DecodeAll(*d, data, chunk, accelerate);
}

void ExpectedBlock(const int16_t natural[64], const uint16_t quantZigzag[64], uint8_t out[64]) {
    int16_t table[64];
    for (int i = 0; i < 64; ++i) {
        const int n = kJpegZigzagToNatural[i];
        table[n] = jpegidct::FastQuant(n, quantZigzag[i]);
    }
    jpegidct::FastIdctScalar(natural, table, out, 8);
}

}  // namespace jpegtest

#include <random>

#include "jpeg/JpegColor.h"

namespace jpegtest {

namespace {

struct LayoutShape {
    int lumaH, lumaV;
};
constexpr LayoutShape kShapes[5] = {{1, 1}, {1, 1}, {2, 1}, {1, 2}, {2, 2}};

int ClampByte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

}  // namespace

Scene MakeScene(const SceneOptions& o) {
    std::mt19937 rng(o.seed);
    const bool grey = o.layout == 0;
    const LayoutShape shape = kShapes[o.layout];
    const int mcuW = 8 * shape.lumaH;
    const int mcuH = 8 * shape.lumaV;
    const int mcusX = (o.width + mcuW - 1) / mcuW;
    const int mcusY = (o.height + mcuH - 1) / mcuH;
    const int comps = grey ? 1 : 3;

    uint16_t quant[2][64];
    for (auto& table : quant) {
        for (auto& q : table) q = static_cast<uint16_t>(o.wideQuant ? 1 + rng() % 2000 : 1 + rng() % 40);
    }

    Stream s;
    s.Soi().DqtTable(0, quant[0], o.wideQuant).DqtTable(1, quant[1], o.wideQuant);
    const uint8_t lumaHv = static_cast<uint8_t>(shape.lumaH << 4 | shape.lumaV);
    if (grey) {
        s.Sof(0xC0, static_cast<uint16_t>(o.width), static_cast<uint16_t>(o.height), {{1, 0x11, 0}});
    } else {
        s.Sof(0xC0, static_cast<uint16_t>(o.width), static_cast<uint16_t>(o.height),
              {{1, lumaHv, 0}, {2, 0x11, 1}, {3, 0x11, 1}});
    }
    s.FlatDcTable(0).FlatAcTable(0);
    if (o.restartInterval != 0) s.Dri(static_cast<uint16_t>(o.restartInterval));
    if (grey) {
        s.Sos({{1, 0x00}});
    } else {
        s.Sos({{1, 0x00}, {2, 0x00}, {3, 0x00}});
    }

    // Samples of every block, per component plane in blocks.
    const int planeW[3] = {mcusX * shape.lumaH * 8, mcusX * 8, mcusX * 8};
    const int planeH[3] = {mcusY * shape.lumaV * 8, mcusY * 8, mcusY * 8};
    std::vector<uint8_t> plane[3];
    for (int c = 0; c < comps; ++c) plane[c].resize(static_cast<size_t>(planeW[c]) * planeH[c]);

    BitWriter w;
    int pred[3] = {};
    int mcuCount = 0;
    int restartNumber = 0;
    for (int my = 0; my < mcusY; ++my) {
        for (int mx = 0; mx < mcusX; ++mx) {
            if (o.restartInterval != 0 && mcuCount != 0 && mcuCount % o.restartInterval == 0) {
                s.Entropy(w).Marker(static_cast<uint8_t>(0xD0 + restartNumber));
                restartNumber = (restartNumber + 1) & 7;
                pred[0] = pred[1] = pred[2] = 0;
            }
            ++mcuCount;
            for (int c = 0; c < comps; ++c) {
                const int bh = c == 0 ? shape.lumaH : 1;
                const int bv = c == 0 ? shape.lumaV : 1;
                for (int by = 0; by < bv; ++by) {
                    for (int bx = 0; bx < bh; ++bx) {
                        int zz[64] = {};
                        zz[0] = static_cast<int>(rng() % (2 * o.maxDc + 1)) - o.maxDc;
                        for (int k = 1; k < 64; ++k) {
                            if (rng() % o.density == 0) {
                                const int m = 1 + static_cast<int>(rng() % o.maxMagnitude);
                                zz[k] = (rng() & 1) ? m : -m;
                            }
                        }
                        PutBlock(w, zz, pred[c]);
                        int16_t natural[64];
                        for (int k = 0; k < 64; ++k) natural[kJpegZigzagToNatural[k]] = static_cast<int16_t>(zz[k]);
                        uint8_t out[64];
                        ExpectedBlock(natural, quant[c == 0 ? 0 : 1], out);
                        const int x0 = (mx * bh + bx) * 8;
                        const int y0 = (my * bv + by) * 8;
                        for (int y = 0; y < 8; ++y) {
                            for (int x = 0; x < 8; ++x) plane[c][static_cast<size_t>(y0 + y) * planeW[c] + x0 + x] = out[y * 8 + x];
                        }
                    }
                }
            }
        }
    }
    s.Entropy(w).Eoi();

    Scene scene;
    scene.jpeg = s.bytes();
    scene.bytesPerPixel = grey ? 1 : 4;
    for (int y = 0; y < o.height; ++y) {
        for (int x = 0; x < o.width; ++x) {
            const int lum = plane[0][static_cast<size_t>(y) * planeW[0] + x];
            if (grey) {
                scene.expected.push_back(static_cast<uint8_t>(lum));
                continue;
            }
            const size_t ci = static_cast<size_t>(y / shape.lumaV) * planeW[1] + x / shape.lumaH;
            uint8_t bgrx[4];
            ReferenceBgrx(lum, plane[1][ci], plane[2][ci], bgrx);
            scene.expected.insert(scene.expected.end(), bgrx, bgrx + 4);
        }
    }
    return scene;
}

void ReferenceBgrx(int y, int cb, int cr, uint8_t out[4]) {
    cb -= 128;
    cr -= 128;
    out[0] = static_cast<uint8_t>(ClampByte(y + ((116130 * cb + 32768) >> 16)));
    out[1] = static_cast<uint8_t>(ClampByte(y + ((-22554 * cb + 32768 - 46802 * cr) >> 16)));
    out[2] = static_cast<uint8_t>(ClampByte(y + ((91882 * cr + 32768) >> 16)));
    out[3] = 0xFF;
}

}  // namespace jpegtest
