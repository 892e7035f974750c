#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "JpegTestStream.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/JpegZigzag.h"
#include "jpeg/MemoryJpegSource.h"

using namespace jpegtest;

namespace {

// Samples the fast path gives a grey block with these zigzag coefficients and the all-ones table.
Bytes BlockSamples(const int zz[64]) {
    int16_t natural[64];
    for (int k = 0; k < 64; ++k) natural[kJpegZigzagToNatural[k]] = static_cast<int16_t>(zz[k]);
    uint16_t ones[64];
    std::fill(ones, ones + 64, 1);
    uint8_t out[64];
    ExpectedBlock(natural, ones, out);
    return Bytes(out, out + 64);
}

// The pixels of a grey 8*n x 8 frame laid out as rows, from the samples of its n blocks.
Bytes RowsOf(const std::vector<Bytes>& blocks) {
    Bytes rows;
    for (int y = 0; y < 8; ++y) {
        for (const Bytes& b : blocks) rows.insert(rows.end(), b.begin() + y * 8, b.begin() + y * 8 + 8);
    }
    return rows;
}

Bytes DcOnly(int dc) {
    int zz[64] = {};
    zz[0] = dc;
    return BlockSamples(zz);
}

}  // namespace

namespace {

// A grey frame of n blocks in one row, restart interval 2, block i has DC 10*i; `markers` are the codes
// written after blocks 2, 4, ... (an empty code means no marker).
Bytes RestartFrame(int n, const std::vector<int>& markers) {
    Stream s;
    s.GreyHeaders(static_cast<uint16_t>(8 * n), 8).Dri(2).Sos({{1, 0x00}});
    BitWriter w;
    int pred = 0;
    size_t m = 0;
    for (int i = 0; i < n; ++i) {
        if (i != 0 && i % 2 == 0) {
            s.Entropy(w);
            if (m < markers.size() && markers[m] >= 0) s.Marker(static_cast<uint8_t>(markers[m]));
            ++m;
            pred = 0;
        }
        int zz[64] = {};
        zz[0] = 10 * i;
        PutBlock(w, zz, pred);
    }
    return s.Entropy(w).Eoi().bytes();
}

// A grey frame of the given size around entropy data.
Bytes Grey(uint16_t width, uint16_t height, BitWriter& w) {
    return Stream().GreyHeaders(width, height).Sos({{1, 0x00}}).Entropy(w).Eoi().bytes();
}

// Blocks in a row 1 and 2: the ones before a restart marker hidden behind `garbage` zero bytes.
Bytes RestartAfterGarbage(size_t garbage) {
    Stream s;
    s.GreyHeaders(16, 8).Dri(1).Sos({{1, 0x00}});
    BitWriter w;
    int pred = 0;
    const int zz[64] = {};
    PutBlock(w, zz, pred);
    s.Entropy(w).Raw(Bytes(garbage, 0x00)).Marker(0xD0);
    PutBlock(w, zz, pred);
    return s.Entropy(w).Eoi().bytes();
}

// A zero run after `values` AC values of 1.
Bytes ZrlAfter(int values) {
    BitWriter w;
    PutDc(w, 0);
    for (int i = 0; i < values; ++i) PutAc(w, 0, 1);
    PutZrl(w);
    return Grey(8, 8, w);
}

}  // namespace

TEST(JpegEntropy, StuffedFfInsideTheDataIsOneDataByte) {
    // Search DC values until the entropy data carries a stuffed FF 00, then decode it bit-exactly.
    std::mt19937 rng(5);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        BitWriter w;
        int pred = 0;
        std::vector<Bytes> blocks;
        for (int b = 0; b < 4; ++b) {
            int zz[64] = {};
            zz[0] = static_cast<int>(rng() % 2001) - 1000;
            zz[1] = static_cast<int>(rng() % 255) - 127;
            PutBlock(w, zz, pred);
            blocks.push_back(BlockSamples(zz));
        }
        const Bytes data = w.Finish();
        const uint8_t stuffed[2] = {0xFF, 0x00};
        if (std::search(data.begin(), data.end(), stuffed, stuffed + 2) == data.end()) continue;
        const Decoded d = DecodeAll(Stream().GreyHeaders(32, 8).Sos({{1, 0x00}}).Raw(data).Eoi().bytes());
        ASSERT_EQ(d.last, 1);
        EXPECT_EQ(d.pixels, RowsOf(blocks));
        return;
    }
    FAIL() << "no stuffed byte produced";
}

TEST(JpegEntropy, StreamsThatDecode) {
    // Cut short by EOI: the rest reads 1-bits, 11111 no DC code (symbol 0: no change), 11111111 no AC code
    // (symbol 0: end of block). The EOI stays for the end-of-image loop: the TEM behind it would fail the frame.
    BitWriter cut;
    int pred = 0;
    int zz[64] = {};
    zz[0] = 30;
    zz[2] = -7;
    PutBlock(cut, zz, pred);
    const Bytes first = BlockSamples(zz);
    int zz2[64] = {};
    zz2[0] = -12;
    PutBlock(cut, zz2, pred);
    // The source ends inside the data, with no EOI: the rest decodes the same way.
    BitWriter ended;
    pred = 0;
    zz2[0] = 44;
    PutBlock(ended, zz2, pred);
    const Bytes flat = DcOnly(44);
    Bytes endedRows = RowsOf({flat, flat, flat});
    endedRows.insert(endedRows.end(), endedRows.begin(), endedRows.end());
    // A block slot reused after one that filled all 63 AC positions starts clean.
    BitWriter reuse;
    pred = 0;
    int full[64];
    std::fill(full, full + 64, 1);
    full[0] = 3;
    PutBlock(reuse, full, pred);
    int few[64] = {};
    few[0] = 3;
    for (int k = 1; k <= 5; ++k) few[k] = -2;
    PutBlock(reuse, few, pred);
    Bytes reuseRows = RowsOf({BlockSamples(full)});
    const Bytes second = RowsOf({BlockSamples(few)});
    reuseRows.insert(reuseRows.end(), second.begin(), second.end());
    // Size 16 with amplitude 0 is -65535: the predictor's low 16 bits (1) are the coefficient.
    BitWriter wide;
    PutDc(wide, 0);
    PutEob(wide);
    wide.Put(16, 5);
    wide.Put(0, 16);
    PutEob(wide);
    // A zero run that starts at index 48 ends the block without an EOB.
    int ones[64] = {};
    for (int k = 1; k <= 47; ++k) ones[k] = 1;
    // A non-interleaved second scan of a sequential frame is ignored.
    BitWriter nine;
    pred = 0;
    zz2[0] = 9;
    PutBlock(nine, zz2, pred);
    std::vector<Bytes> restartBlocks;
    for (int i = 0; i < 20; ++i) restartBlocks.push_back(DcOnly(10 * i));
    const Bytes zeroRows = RowsOf({DcOnly(0), DcOnly(0)});

    const struct {
        const char* what;
        Bytes frame;
        Bytes rows;
    } cases[] = {
        {"cut by EOI", Stream().GreyHeaders(32, 8).Sos({{1, 0x00}}).Entropy(cut).Eoi().Marker(0x01).bytes(),
         RowsOf({first, DcOnly(-12), DcOnly(-12), DcOnly(-12)})},
        {"source ends", Stream().GreyHeaders(24, 16).Sos({{1, 0x00}}).Entropy(ended).bytes(), endedRows},
        {"slot reused", Grey(8, 16, reuse), reuseRows},
        {"16-bit DC", Grey(16, 8, wide), RowsOf({DcOnly(0), DcOnly(1)})},
        {"ZRL at 48", ZrlAfter(47), RowsOf({BlockSamples(ones)})},
        {"second scan", Stream().GreyHeaders(8, 8).Sos({{1, 0x00}}).Entropy(nine).Sos({{1, 0x00}}).Raw(Bytes(20, 0x55)).Eoi().bytes(),
         RowsOf({DcOnly(9)})},
        {"restarts in turn", RestartFrame(20, {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0}), RowsOf(restartBlocks)},
        {"restart after 100 bytes", RestartAfterGarbage(100), zeroRows},
        {"restart after 1500 bytes", RestartAfterGarbage(1500), zeroRows},
    };
    for (const auto& c : cases) {
        for (size_t chunk : {0, 1, 3}) {
            const Decoded d = DecodeAll(c.frame, chunk);
            ASSERT_EQ(d.last, 1) << c.what << " error " << d.error;
            EXPECT_EQ(d.pixels, c.rows) << c.what << " chunk " << chunk;
        }
    }
}

TEST(JpegEntropy, StreamsThatFail) {
    BitWriter run;
    PutDc(run, 0);
    for (int i = 0; i < 60; ++i) PutAc(run, 0, 1);
    PutAc(run, 5, 1);  // index 61 + 5 > 63
    // A DC table that holds the size 17.
    uint8_t counts[16] = {};
    counts[4] = 18;
    Bytes symbols;
    for (int s = 0; s <= 17; ++s) symbols.push_back(static_cast<uint8_t>(s));
    BitWriter dc17;
    dc17.Put(17, 5);
    dc17.Put(0x1FFFF, 17);
    const struct {
        const char* what;
        Bytes frame;
        int error;
    } cases[] = {
        {"ZRL from 49", ZrlAfter(48), kJpegBadEntropyData},
        {"run past 63", Grey(8, 8, run), kJpegBadEntropyData},
        {"DC size 17",
         Stream().Soi().Dqt(0, 1).Sof(0xC0, 8, 8, {{1, 0x11, 0}}).Dht(0x00, counts, symbols).FlatAcTable(0).Sos({{1, 0x00}})
             .Entropy(dc17).Eoi().bytes(),
         kJpegBadEntropyData},
        {"RST2 for RST1", RestartFrame(20, {0xD0, 0xD2}), kJpegBadRestart},
        {"RST1 first", RestartFrame(20, {0xD1}), kJpegBadRestart},
        {"restart missing", RestartFrame(20, {0xD0, -1}), kJpegBadRestart},
        {"EOI for a restart", RestartFrame(20, {0xD9}), kJpegBadRestart},
        {"restart after 1600 bytes", RestartAfterGarbage(1600), kJpegBadRestart},
    };
    for (const auto& c : cases) {
        const Decoded d = DecodeAll(c.frame);
        EXPECT_EQ(d.last, kJpegBadEntropyData) << c.what;
        EXPECT_EQ(d.error, c.error) << c.what;
        EXPECT_EQ(d.rows, 0) << c.what;
    }
}

TEST(JpegEntropy, FailureInTheEndOfImageMarkerLoopFailsTheLastMcuRow) {
    // Two MCU rows; a TEM marker after the data makes the marker loop at the end of the image fail.
    BitWriter w;
    int pred = 0;
    const int zz[64] = {};
    PutBlock(w, zz, pred);
    PutBlock(w, zz, pred);
    const Bytes frame = Stream().GreyHeaders(8, 16).Sos({{1, 0x00}}).Entropy(w).Marker(0x01).Eoi().bytes();
    auto dec = std::make_unique<JpegDecoder>();
    MemoryJpegSource source(frame.data(), frame.size());
    ASSERT_EQ(dec->ReadHeader(&source, 1), 1);
    ASSERT_EQ(dec->StartDecompress(), 0);
    const uint8_t* row = nullptr;
    int32_t length = 0;
    for (int i = 0; i < 8; ++i) ASSERT_EQ(dec->ReadScanline(&row, &length), 0);
    EXPECT_EQ(dec->ReadScanline(&row, &length), kJpegBadEntropyData);
    EXPECT_EQ(dec->Error(), kJpegMarkerOutOfPlace);
    EXPECT_EQ(source.CloseCount(), 1);
    EXPECT_EQ(dec->ReadScanline(&row, &length), -1);
    dec->Release();
    EXPECT_EQ(source.CloseCount(), 1);
}
