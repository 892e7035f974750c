#include <gtest/gtest.h>

#include <algorithm>

#include "JpegTestStream.h"
#include "jpeg/JpegFailure.h"

namespace qern {

using namespace jpegtest;

namespace {

const std::vector<uint16_t> kOnes(64, 1);
const Bytes kTwoFlatBlocks = {0x00, 0x00, 0x00, 0x3F};

// The pixels of a grey frame one block wide: `top`, then `blocks` blocks with DC `dc` only.
Bytes Column(Bytes top, int dc, size_t blocks) {
    const int zz[64] = {dc};
    top.resize(top.size() + 64 * blocks, ExpectedBlock(zz, kOnes)[0]);
    return top;
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
    return Stream()
        .GreyHeaders(8, 16)
        .Dri(1)
        .Sos({{1, 0x00}})
        .Raw(kFlatBlock)
        .Raw(Bytes(garbage, 0x00))
        .Marker(0xD0)
        .Raw(kFlatBlock)
        .Eoi()
        .bytes();
}

// `values` AC values of 1, then the AC code run/value (default ZRL).
Bytes AfterOnes(int values, int run = 15, int value = 0) {
    BitWriter w;
    PutDc(w, 0);
    for (int i = 0; i < values; ++i) PutAc(w, 0, 1);
    PutAc(w, run, value);
    return Grey(8, 8, w);
}

}  // namespace

TEST(JpegEntropy, StreamsThatDecode) {
    // Cut short by EOI: the rest reads 1-bits, 11111 no DC code (symbol 0: no change), 11111111 no AC code
    // (symbol 0: end of block). The TEM behind the EOI would fail the frame if the EOI were consumed.
    BitWriter cut, ended, wide, nine;
    auto dcOnly = [](BitWriter& w, int diff) {
        PutDc(w, diff);
        PutAc(w, 0, 0);
    };
    int pred = 0;
    const int first[64] = {30, 0, -7};
    PutBlock(cut, first, pred);
    dcOnly(cut, -42);
    dcOnly(ended, 44);  // the source ends inside the data, with no EOI: the rest decodes the same way
    // Size 16 with amplitude 0 is -65535: the predictor's low 16 bits (1) are the coefficient.
    dcOnly(wide, 0);
    wide.Put(16, 5);
    wide.Put(0, 16);
    PutAc(wide, 0, 0);
    // A zero run that starts at index 48 ends the block without an EOB.
    int ones[64] = {};
    std::fill(ones + 1, ones + 48, 1);
    dcOnly(nine, 9);

    const struct {
        const char* what;
        Bytes frame;
        Bytes rows;
    } cases[] = {
        {"cut by EOI", Stream().GreyHeaders(8, 32).Sos({{1, 0x00}}).Entropy(cut).Eoi().Marker(0x01).bytes(),
         Column(ExpectedBlock(first, kOnes), -12, 3)},
        {"source ends", Stream().GreyHeaders(8, 48).Sos({{1, 0x00}}).Entropy(ended).bytes(), Column({}, 44, 6)},
        {"16-bit DC", Grey(8, 16, wide), Column(Column({}, 0, 1), 1, 1)},
        {"ZRL at 48", AfterOnes(47), ExpectedBlock(ones, kOnes)},
        // A non-interleaved second scan of a sequential frame is ignored.
        {"second scan",
         Stream().GreyHeaders(8, 8).Sos({{1, 0x00}}).Entropy(nine).Sos({{1, 0x00}}).Raw(Bytes(20, 0x55)).Eoi().bytes(),
         Column({}, 9, 1)},
        {"restart after 1500 bytes", RestartAfterGarbage(1500), Column({}, 0, 2)},
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
    BitWriter dc17;
    PutDc(dc17, 0x1FFFF);  // size 17, once the DC table holds it
    const struct {
        const char* what;
        Bytes frame;
        int error;
        int rows = 0;
    } cases[] = {
        {"ZRL from 49", AfterOnes(48), kJpegBadEntropyData},
        {"run past 63", AfterOnes(60, 5, 1), kJpegBadEntropyData},  // index 61 + 5
        {"DC size 17",
         Stream()
             .GreyHeaders(8, 8)
             .Dht(0x00, {0, 0, 0, 0, 18}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17})
             .Sos({{1, 0x00}})
             .Entropy(dc17)
             .Eoi()
             .bytes(),
         kJpegBadEntropyData},
        // A wrong restart number must fail even though every later one is right.
        {"RST2 for RST1", RestartFrame(1, 0xD2), kJpegBadRestart},
        {"RST1 first", RestartFrame(0, 0xD1), kJpegBadRestart},
        {"RST8 for RST0", RestartFrame(8, 0xD8), kJpegBadRestart},
        {"restart missing", RestartFrame(1, -1), kJpegBadRestart},
        {"EOI for a restart", RestartFrame(0, 0xD9), kJpegBadRestart},
        {"restart after 1600 bytes", RestartAfterGarbage(1600), kJpegBadRestart, 8},
        // Two MCU rows, then a TEM marker that fails the marker loop at the end of the image: the last row fails.
        {"TEM after the data",
         Stream().GreyHeaders(8, 16).Sos({{1, 0x00}}).Raw(kTwoFlatBlocks).Marker(0x01).Eoi().bytes(),
         kJpegMarkerOutOfPlace, 8},
    };
    for (const auto& c : cases) {
        const Decoded d = DecodeAll(c.frame);
        EXPECT_EQ(d.last, kJpegBadEntropyData) << c.what;
        EXPECT_EQ(d.error, c.error) << c.what;
        EXPECT_EQ(d.rows, c.rows) << c.what;
    }
}

}  // namespace qern
