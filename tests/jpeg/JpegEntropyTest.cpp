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
        const Bytes frame = Stream().GreyHeaders(32, 8).Sos({{1, 0x00}}).Raw(data).Eoi().bytes();
        const Decoded d = DecodeAll(frame);
        ASSERT_EQ(d.last, 1);
        EXPECT_EQ(d.pixels, RowsOf(blocks));
        return;
    }
    FAIL() << "no stuffed byte produced";
}

TEST(JpegEntropy, DataCutShortByEoiDecodesTheRestFromOneBits) {
    // Four blocks; only the first two are coded. The rest read 1-bits: 11111 is no DC code (symbol 0 with
    // its 5-bit length: no change), 11111111 no AC code (symbol 0: end of block). The EOI stays unread for
    // the end-of-image marker loop: the TEM behind it would fail the frame if the reader had consumed it.
    BitWriter w;
    int pred = 0;
    int zz[64] = {};
    zz[0] = 30;
    zz[2] = -7;
    PutBlock(w, zz, pred);
    const Bytes first = BlockSamples(zz);
    int zz2[64] = {};
    zz2[0] = -12;
    PutBlock(w, zz2, pred);
    const Bytes frame = Stream().GreyHeaders(32, 8).Sos({{1, 0x00}}).Entropy(w).Eoi().Marker(0x01).bytes();
    const Decoded d = DecodeAll(frame);
    ASSERT_EQ(d.last, 1) << d.error;
    EXPECT_EQ(d.pixels, RowsOf({first, DcOnly(-12), DcOnly(-12), DcOnly(-12)}));
}

TEST(JpegEntropy, SourceEndingInsideTheDataDecodesTheRestWithoutFailing) {
    BitWriter w;
    int pred = 0;
    int zz[64] = {};
    zz[0] = 44;
    PutBlock(w, zz, pred);
    const Bytes frame = Stream().GreyHeaders(24, 16).Sos({{1, 0x00}}).Entropy(w).bytes();  // no EOI
    for (size_t chunk : {0, 1, 3}) {
        const Decoded d = DecodeAll(frame, chunk);
        ASSERT_EQ(d.last, 1) << d.error;
        ASSERT_EQ(d.rows, 16);
        const Bytes flat = DcOnly(44);
        Bytes expected = RowsOf({flat, flat, flat});
        expected.insert(expected.end(), expected.begin(), expected.end());
        EXPECT_EQ(d.pixels, expected);
    }
}

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

}  // namespace

TEST(JpegEntropy, RestartMarkersMustComeInTurn) {
    std::vector<Bytes> blocks;
    for (int i = 0; i < 20; ++i) blocks.push_back(DcOnly(10 * i));
    const Decoded ok = DecodeAll(RestartFrame(20, {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0}));
    ASSERT_EQ(ok.last, 1) << ok.error;
    EXPECT_EQ(ok.pixels, RowsOf(blocks));

    for (const auto& markers : {std::vector<int>{0xD0, 0xD2}, std::vector<int>{0xD1}, std::vector<int>{0xD0, -1},
                                std::vector<int>{0xD9}}) {
        const Decoded bad = DecodeAll(RestartFrame(20, markers));
        EXPECT_EQ(bad.last, kJpegBadEntropyData);
        EXPECT_EQ(bad.error, kJpegBadRestart);
    }
}

TEST(JpegEntropy, RestartSearchGivesUpAfter1535Bytes) {
    auto frame = [](size_t garbage) {
        Stream s;
        s.GreyHeaders(16, 8).Dri(1).Sos({{1, 0x00}});
        BitWriter w;
        int pred = 0;
        const int zz[64] = {};
        PutBlock(w, zz, pred);
        s.Entropy(w).Raw(Bytes(garbage, 0x00)).Marker(0xD0);
        PutBlock(w, zz, pred);
        return s.Entropy(w).Eoi().bytes();
    };
    EXPECT_EQ(DecodeAll(frame(100)).last, 1);
    EXPECT_EQ(DecodeAll(frame(1500)).last, 1);
    EXPECT_EQ(DecodeAll(frame(1600)).error, kJpegBadRestart);
}

TEST(JpegEntropy, ZeroRunPastCoefficient63Fails) {
    auto frame = [](int valuesBeforeZrl) {
        BitWriter w;
        PutDc(w, 0);
        for (int i = 0; i < valuesBeforeZrl; ++i) PutAc(w, 0, 1);
        PutZrl(w);
        return Stream().GreyHeaders(8, 8).Sos({{1, 0x00}}).Entropy(w).Eoi().bytes();
    };
    // After 48 values the ZRL starts at index 49: 49 + 15 > 63.
    const Decoded bad = DecodeAll(frame(48));
    EXPECT_EQ(bad.last, kJpegBadEntropyData);
    EXPECT_EQ(bad.error, kJpegBadEntropyData);
    EXPECT_EQ(bad.rows, 0);
    // At index 48 it is accepted and ends the block (no EOB follows).
    const Decoded ok = DecodeAll(frame(47));
    ASSERT_EQ(ok.last, 1) << ok.error;
    int zz[64] = {};
    for (int k = 1; k <= 47; ++k) zz[k] = 1;
    EXPECT_EQ(ok.pixels, RowsOf({BlockSamples(zz)}));
}

TEST(JpegEntropy, RunPastCoefficient63Fails) {
    BitWriter w;
    PutDc(w, 0);
    for (int i = 0; i < 60; ++i) PutAc(w, 0, 1);
    PutAc(w, 5, 1);  // index 61 + 5 > 63
    const Decoded d = DecodeAll(Stream().GreyHeaders(8, 8).Sos({{1, 0x00}}).Entropy(w).Eoi().bytes());
    EXPECT_EQ(d.error, kJpegBadEntropyData);
}

TEST(JpegEntropy, BlockSlotReusedAfterAFullBlockStartsClean) {
    // Two MCU rows of one block: the first fills all 63 AC positions, the second ends after index 5.
    BitWriter w;
    int pred = 0;
    int full[64];
    std::fill(full, full + 64, 1);
    full[0] = 3;
    PutBlock(w, full, pred);
    int few[64] = {};
    few[0] = 3;
    for (int k = 1; k <= 5; ++k) few[k] = -2;
    PutBlock(w, few, pred);
    const Decoded d = DecodeAll(Stream().GreyHeaders(8, 16).Sos({{1, 0x00}}).Entropy(w).Eoi().bytes());
    ASSERT_EQ(d.last, 1);
    Bytes expected = RowsOf({BlockSamples(full)});
    const Bytes second = RowsOf({BlockSamples(few)});
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(d.pixels, expected);
}

TEST(JpegEntropy, DcSizeAbove16IsRefused) {
    // A DC table that holds the size 17.
    uint8_t counts[16] = {};
    counts[4] = 18;
    Bytes symbols;
    for (int s = 0; s <= 17; ++s) symbols.push_back(static_cast<uint8_t>(s));
    Stream s;
    s.Soi().Dqt(0, 1).Sof(0xC0, 8, 8, {{1, 0x11, 0}}).Dht(0x00, counts, symbols).FlatAcTable(0).Sos({{1, 0x00}});
    BitWriter w;
    w.Put(17, 5);
    w.Put(0x1FFFF, 17);
    const Decoded d = DecodeAll(s.Entropy(w).Eoi().bytes());
    EXPECT_EQ(d.last, kJpegBadEntropyData);
    EXPECT_EQ(d.error, kJpegBadEntropyData);
}

TEST(JpegEntropy, SixteenBitDcDifferences) {
    BitWriter w;
    PutDc(w, 0);
    PutEob(w);
    w.Put(16, 5);  // size 16 with amplitude 0: -65535
    w.Put(0, 16);
    PutEob(w);
    const Decoded d = DecodeAll(Stream().GreyHeaders(16, 8).Sos({{1, 0x00}}).Entropy(w).Eoi().bytes());
    ASSERT_EQ(d.last, 1);
    // The predictor is -65535; its low 16 bits (1) are the coefficient.
    EXPECT_EQ(d.pixels, RowsOf({DcOnly(0), DcOnly(1)}));
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

TEST(JpegEntropy, NonInterleavedSecondScanOfASequentialFrameIsIgnored) {
    BitWriter w;
    int pred = 0;
    int zz[64] = {};
    zz[0] = 9;
    PutBlock(w, zz, pred);
    Stream s;
    s.GreyHeaders(8, 8).Sos({{1, 0x00}}).Entropy(w).Sos({{1, 0x00}}).Raw(Bytes(20, 0x55)).Eoi();
    const Decoded d = DecodeAll(s.bytes());
    ASSERT_EQ(d.last, 1);
    EXPECT_EQ(d.pixels, RowsOf({DcOnly(9)}));
}
