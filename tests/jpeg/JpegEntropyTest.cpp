#include <gtest/gtest.h>

#include <algorithm>

#include "JpegTestStream.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"

using namespace jpegtest;

namespace {

const std::vector<uint16_t> kOnes(64, 1);
const Bytes kTwoFlatBlocks = {0x00, 0x00, 0x00, 0x3F};

Bytes DcOnly(int dc) {
    const int zz[64] = {dc};
    return ExpectedBlock(zz, kOnes);
}

// The pixels of a grey frame of `perRow` blocks across, from the samples of its blocks in order.
Bytes RowsOf(const std::vector<Bytes>& blocks, size_t perRow) {
    Bytes rows;
    for (size_t first = 0; first < blocks.size(); first += perRow) {
        for (int y = 0; y < 8; ++y) {
            for (size_t b = first; b < first + perRow; ++b) rows.insert(rows.end(), &blocks[b][y * 8], &blocks[b][y * 8 + 8]);
        }
    }
    return rows;
}

Bytes Grey(uint16_t width, uint16_t height, BitWriter& w) {
    return Stream().GreyHeaders(width, height).Sos({{1, 0x00}}).Entropy(w).Eoi().bytes();
}

// A grey frame of 20 flat blocks, restart interval 2, restart markers in turn but for the `i`th, which is
// `code` (none when negative).
Bytes RestartFrame(size_t i, int code) {
    std::vector<int> markers = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0};
    markers[i] = code;
    Stream s;
    s.GreyHeaders(160, 8).Dri(2).Sos({{1, 0x00}}).Raw(kTwoFlatBlocks);
    for (int m : markers) {
        if (m >= 0) s.Marker(static_cast<uint8_t>(m));
        s.Raw(kTwoFlatBlocks);
    }
    return s.Eoi().bytes();
}

// Two flat blocks with interval 1, the restart marker hidden behind `garbage` zero bytes.
Bytes RestartAfterGarbage(size_t garbage) {
    return Stream().GreyHeaders(16, 8).Dri(1).Sos({{1, 0x00}}).Raw(kFlatBlock).Raw(Bytes(garbage, 0x00)).Marker(0xD0)
        .Raw(kFlatBlock).Eoi().bytes();
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

TEST(JpegEntropy, StreamsThatDecode) {
    // Cut short by EOI: the rest reads 1-bits, 11111 no DC code (symbol 0: no change), 11111111 no AC code
    // (symbol 0: end of block). The TEM behind the EOI would fail the frame if the EOI were consumed.
    BitWriter cut, ended, wide, nine;
    int pred = 0;
    const int first[64] = {30, 0, -7};
    PutBlock(cut, first, pred);
    PutDc(cut, -42);
    PutEob(cut);
    // The source ends inside the data, with no EOI: the rest decodes the same way.
    PutDc(ended, 44);
    PutEob(ended);
    // Size 16 with amplitude 0 is -65535: the predictor's low 16 bits (1) are the coefficient.
    PutDc(wide, 0);
    PutEob(wide);
    wide.Put(16, 5);
    wide.Put(0, 16);
    PutEob(wide);
    // A zero run that starts at index 48 ends the block without an EOB.
    int ones[64] = {};
    std::fill(ones + 1, ones + 48, 1);
    PutDc(nine, 9);
    PutEob(nine);

    const struct {
        const char* what;
        Bytes frame;
        Bytes rows;
    } cases[] = {
        {"cut by EOI", Stream().GreyHeaders(32, 8).Sos({{1, 0x00}}).Entropy(cut).Eoi().Marker(0x01).bytes(),
         RowsOf({ExpectedBlock(first, kOnes), DcOnly(-12), DcOnly(-12), DcOnly(-12)}, 4)},
        {"source ends", Stream().GreyHeaders(24, 16).Sos({{1, 0x00}}).Entropy(ended).bytes(),
         RowsOf(std::vector<Bytes>(6, DcOnly(44)), 3)},
        {"16-bit DC", Grey(16, 8, wide), RowsOf({DcOnly(0), DcOnly(1)}, 2)},
        {"ZRL at 48", ZrlAfter(47), ExpectedBlock(ones, kOnes)},
        // A non-interleaved second scan of a sequential frame is ignored.
        {"second scan", Stream().GreyHeaders(8, 8).Sos({{1, 0x00}}).Entropy(nine).Sos({{1, 0x00}}).Raw(Bytes(20, 0x55)).Eoi().bytes(),
         DcOnly(9)},
        {"restart after 1500 bytes", RestartAfterGarbage(1500), RowsOf({DcOnly(0), DcOnly(0)}, 2)},
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
    BitWriter run, dc17;
    PutDc(run, 0);
    for (int i = 0; i < 60; ++i) PutAc(run, 0, 1);
    PutAc(run, 5, 1);  // index 61 + 5 > 63
    // A DC table that holds the size 17.
    const uint8_t counts[16] = {0, 0, 0, 0, 18};
    dc17.Put(17, 5);
    dc17.Put(0x1FFFF, 17);
    const struct {
        const char* what;
        Bytes frame;
        int error;
        int rows = 0;
    } cases[] = {
        {"ZRL from 49", ZrlAfter(48), kJpegBadEntropyData},
        {"run past 63", Grey(8, 8, run), kJpegBadEntropyData},
        {"DC size 17",
         Stream().Soi().Dqt(0, 1).Sof(0xC0, 8, 8, {{1, 0x11, 0}}).Dht(0x00, counts, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17})
             .FlatAcTable(0).Sos({{1, 0x00}}).Entropy(dc17).Eoi().bytes(),
         kJpegBadEntropyData},
        // A wrong restart number must fail even though every later one is right.
        {"RST2 for RST1", RestartFrame(1, 0xD2), kJpegBadRestart},
        {"RST1 first", RestartFrame(0, 0xD1), kJpegBadRestart},
        {"RST8 for RST0", RestartFrame(8, 0xD8), kJpegBadRestart},
        {"restart missing", RestartFrame(1, -1), kJpegBadRestart},
        {"EOI for a restart", RestartFrame(0, 0xD9), kJpegBadRestart},
        {"restart after 1600 bytes", RestartAfterGarbage(1600), kJpegBadRestart},
        // Two MCU rows, then a TEM marker that fails the marker loop at the end of the image: the last row fails.
        {"TEM after the data", Stream().GreyHeaders(8, 16).Sos({{1, 0x00}}).Raw(kTwoFlatBlocks).Marker(0x01).Eoi().bytes(),
         kJpegMarkerOutOfPlace, 8},
    };
    for (const auto& c : cases) {
        const Decoded d = DecodeAll(c.frame);
        EXPECT_EQ(d.last, kJpegBadEntropyData) << c.what;
        EXPECT_EQ(d.error, c.error) << c.what;
        EXPECT_EQ(d.rows, c.rows) << c.what;
    }
}
