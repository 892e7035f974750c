#include "JpegTestStream.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>

#include "jpeg/JpegIdct.h"
#include "jpeg/JpegZigzag.h"
#include "jpeg/MemoryJpegSource.h"

namespace qern {

namespace jpegtest {

const Bytes kFlatBlock = {0x00, 0x07};

const Bytes& FlatAcSymbols() {
    static const Bytes symbols = [] {
        Bytes s{0x00};
        for (int run = 0; run < 16; ++run) {
            for (int size = run == 15 ? 0 : 1; size <= 10; ++size) s.push_back(static_cast<uint8_t>(run << 4 | size));
        }
        return s;
    }();
    return symbols;
}

Bytes BitWriter::Finish() {
    while (m_bits.size() % 8 != 0) m_bits.push_back(1);
    Bytes out;
    for (size_t i = 0; i < m_bits.size(); i += 8) {
        uint8_t b = 0;
        for (size_t j = 0; j < 8; ++j) b = static_cast<uint8_t>(b << 1 | m_bits[i + j]);
        out.push_back(b);
        if (b == 0xFF) out.push_back(0x00);
    }
    m_bits.clear();
    return out;
}

namespace {

int SizeOf(int value) { return value == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(std::abs(value))); }

void PutAmplitude(BitWriter& w, int value, int size) {
    if (size != 0) w.Put(static_cast<uint32_t>(value >= 0 ? value : value + (1 << size) - 1), size);
}

}  // namespace

void PutDc(BitWriter& w, int diff) {
    w.Put(static_cast<uint32_t>(SizeOf(diff)), 5);
    PutAmplitude(w, diff, SizeOf(diff));
}

void PutAc(BitWriter& w, int run, int value) {
    const auto& s = FlatAcSymbols();
    w.Put(static_cast<uint32_t>(std::find(s.begin(), s.end(), run << 4 | SizeOf(value)) - s.begin()), 8);
    PutAmplitude(w, value, SizeOf(value));
}

void PutBlock(BitWriter& w, const int zigzag[64], int& predictor) {
    PutDc(w, zigzag[0] - predictor);
    predictor = zigzag[0];
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        if (zigzag[k] == 0) {
            ++run;
            continue;
        }
        for (; run > 15; run -= 16) PutAc(w, 15, 0);
        PutAc(w, run, zigzag[k]);
        run = 0;
    }
    if (run != 0) PutAc(w, 0, 0);
}

Stream& Stream::Dqt(uint8_t id, const std::vector<uint16_t>& zigzag, bool wide) {
    Marker(0xDB).Word(static_cast<uint16_t>(3 + zigzag.size() * (wide ? 2 : 1))).Byte((wide ? 0x10 : 0x00) | id);
    for (uint16_t q : zigzag) wide ? Word(q) : Byte(static_cast<uint8_t>(q));
    return *this;
}

Stream& Stream::Sof(uint8_t marker, uint16_t width, uint16_t height, const std::vector<FrameComponent>& c) {
    Marker(marker).Word(static_cast<uint16_t>(8 + 3 * c.size())).Byte(8).Word(height).Word(width);
    Byte(static_cast<uint8_t>(c.size()));
    for (const auto& k : c) Raw({k.id, k.hv, k.tq});
    return *this;
}

Stream& Stream::Dht(uint8_t classId, Bytes counts, const Bytes& symbols) {
    counts.resize(16);
    return Marker(0xC4).Word(static_cast<uint16_t>(19 + symbols.size())).Byte(classId).Raw(counts).Raw(symbols);
}

Stream& Stream::Sos(const std::vector<ScanComponent>& c, uint8_t ss, uint8_t se, uint8_t a) {
    Marker(0xDA).Word(static_cast<uint16_t>(6 + 2 * c.size())).Byte(static_cast<uint8_t>(c.size()));
    for (const auto& k : c) Raw({k.id, k.tables});
    return Raw({ss, se, a});
}

Decoded DecodeAll(const Bytes& data, size_t chunk, uint8_t accelerate, JpegDecoder* decoder) {
    const auto own = decoder == nullptr ? std::make_unique<JpegDecoder>() : nullptr;
    JpegDecoder& d = decoder == nullptr ? *own : *decoder;
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
    r.code = r.header < 0 ? r.header : r.last == 1 ? 0 : r.error;
    d.Release();
    return r;
}

Bytes ExpectedBlock(const int zigzag[64], const std::vector<uint16_t>& quant) {
    int16_t natural[64], table[64];
    for (int i = 0; i < 64; ++i) {
        const int n = kJpegZigzagToNatural[i];
        natural[n] = static_cast<int16_t>(zigzag[i]);
        table[n] = jpegidct::FastQuant(n, quant[i]);
    }
    uint8_t out[64];
    jpegidct::FastIdctScalar(natural, table, out, 8);
    return Bytes(out, out + 64);
}

Scene MakeScene(const SceneOptions& o) {
    std::mt19937 rng(o.seed);
    const bool grey = o.layout == 0;
    const int lumaH = o.layout == 2 || o.layout == 4 ? 2 : 1;
    const int lumaV = o.layout >= 3 ? 2 : 1;
    const int mcusX = (o.width + 8 * lumaH - 1) / (8 * lumaH);
    const int mcusY = (o.height + 8 * lumaV - 1) / (8 * lumaV);
    const int comps = grey ? 1 : 3;

    std::vector<uint16_t> quant[2];
    for (int i = 0; i < 128; ++i) quant[i / 64].push_back(static_cast<uint16_t>(1 + rng() % (o.wideQuant ? 2000 : 40)));
    Stream s;
    s.Soi().Dqt(0, quant[0], o.wideQuant).Dqt(1, quant[1], o.wideQuant);
    const auto w = static_cast<uint16_t>(o.width), h = static_cast<uint16_t>(o.height);
    const std::vector<FrameComponent> all = {
        {1, static_cast<uint8_t>(lumaH << 4 | lumaV), 0}, {2, 0x11, 1}, {3, 0x11, 1}};
    s.Sof(0xC0, w, h, {all.begin(), all.begin() + comps}).FlatDcTable().FlatAcTable();
    if (o.restartInterval != 0) s.Dri(static_cast<uint16_t>(o.restartInterval));
    s.Sos(grey ? std::vector<ScanComponent>{{1, 0x00}} : std::vector<ScanComponent>{{1, 0x00}, {2, 0x00}, {3, 0x00}});

    const int planeW[3] = {mcusX * lumaH * 8, mcusX * 8, mcusX * 8};
    std::vector<uint8_t> plane[3];
    for (int c = 0; c < comps; ++c) plane[c].resize(static_cast<size_t>(planeW[c]) * mcusY * (c == 0 ? lumaV : 1) * 8);

    BitWriter bits;
    int pred[3] = {};
    for (int mcu = 0; mcu < mcusX * mcusY; ++mcu) {
        if (o.restartInterval != 0 && mcu != 0 && mcu % o.restartInterval == 0) {
            s.Raw(bits.Finish()).Marker(static_cast<uint8_t>(0xD0 + (mcu / o.restartInterval - 1) % 8));
            pred[0] = pred[1] = pred[2] = 0;
        }
        for (int c = 0; c < comps; ++c) {
            const int bh = c == 0 ? lumaH : 1, bv = c == 0 ? lumaV : 1;
            for (int b = 0; b < bh * bv; ++b) {
                int zz[64] = {static_cast<int>(rng() % 161) - 80};
                for (int k = 1; k < 64; ++k) {
                    if (rng() % o.density != 0) continue;
                    const int m = 1 + static_cast<int>(rng() % o.maxMagnitude);
                    zz[k] = (rng() & 1) ? m : -m;
                }
                PutBlock(bits, zz, pred[c]);
                const Bytes out = ExpectedBlock(zz, quant[c == 0 ? 0 : 1]);
                const int x0 = ((mcu % mcusX) * bh + b % bh) * 8, y0 = ((mcu / mcusX) * bv + b / bh) * 8;
                for (int i = 0; i < 64; ++i)
                    plane[c][static_cast<size_t>(y0 + i / 8) * planeW[c] + x0 + i % 8] = out[i];
            }
        }
    }
    s.Raw(bits.Finish()).Eoi();

    Scene scene{s.bytes(), {}, grey ? 1 : 4};
    for (int y = 0; y < o.height; ++y) {
        for (int x = 0; x < o.width; ++x) {
            const int lum = plane[0][static_cast<size_t>(y) * planeW[0] + x];
            const size_t ci = static_cast<size_t>(y / lumaV) * planeW[1] + x / lumaH;
            uint8_t bgrx[4] = {static_cast<uint8_t>(lum)};
            if (!grey) ReferenceBgrx(lum, plane[1][ci], plane[2][ci], bgrx);
            scene.expected.insert(scene.expected.end(), bgrx, bgrx + scene.bytesPerPixel);
        }
    }
    return scene;
}

void ReferenceBgrx(int y, int cb, int cr, uint8_t out[4]) {
    auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    cb -= 128;
    cr -= 128;
    out[0] = clamp(y + ((116130 * cb + 32768) >> 16));
    out[1] = clamp(y + ((-22554 * cb + 32768 - 46802 * cr) >> 16));
    out[2] = clamp(y + ((91882 * cr + 32768) >> 16));
    out[3] = 0xFF;
}

}  // namespace jpegtest

}  // namespace qern
