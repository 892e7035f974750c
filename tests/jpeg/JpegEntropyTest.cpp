#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

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

// A grey frame 8 wide: the flat tables (then `dht`), one scan of `data`, then `tail`.
Bytes Grey(uint16_t height, const Bytes& data, const Bytes& tail = {0xFF, 0xD9}, const Bytes& dht = {}) {
    return Stream().GreyHeaders(8, height).Raw(dht).Sos({{1, 0x00}}).Raw(data).Raw(tail).bytes();
}

// A grey frame of 20 flat blocks (80 x 16), restart interval 2, restart markers in turn but for the `i`th, which
// is `code` (none when negative) behind `garbage` zero bytes.
Bytes RestartFrame(size_t i, int code, size_t garbage = 0) {
    std::vector<int> markers = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0};
    markers[i] = code;
    Stream s;
    s.GreyHeaders(80, 16).Dri(2).Sos({{1, 0x00}}).Raw(kTwoFlatBlocks);
    for (size_t k = 0; k < markers.size(); ++k) {
        s.Raw(Bytes(k == i ? garbage : 0, 0x00));
        if (markers[k] >= 0) s.Marker(static_cast<uint8_t>(markers[k]));
        s.Raw(kTwoFlatBlocks);
    }
    return s.Eoi().bytes();
}

// The entropy bits of blocks given by their first zigzag coefficients.
Bytes Blocks(const std::vector<std::vector<int>>& blocks) {
    BitWriter w;
    int pred = 0;
    for (const auto& b : blocks) {
        int zz[64] = {};
        std::copy(b.begin(), b.end(), zz);
        PutBlock(w, zz, pred);
    }
    return w.Finish();
}

// `values` AC values of 1, then the AC code run/value (default ZRL).
Bytes AfterOnes(int values, int run = 15, int value = 0) {
    BitWriter w;
    PutDc(w, 0);
    for (int i = 0; i < values; ++i) PutAc(w, 0, 1);
    PutAc(w, run, value);
    return Grey(8, w.Finish());
}

}  // namespace

TEST(JpegEntropy, StreamsThatDecode) {
    // Cut short by EOI: the rest reads 1-bits, 11111 no DC code (symbol 0: no change), 11111111 no AC code
    // (symbol 0: end of block). The TEM behind the EOI would fail the frame if the EOI were consumed.
    const int first[64] = {30, 0, -7};
    // A zero run that starts at index 48 ends the block without an EOB.
    int ones[64] = {};
    std::fill(ones + 1, ones + 48, 1);
    const struct {
        const char* what;
        Bytes frame;
        Bytes rows;
    } cases[] = {
        {"cut by EOI", Grey(32, Blocks({{30, 0, -7}, {-12}}), {0xFF, 0xD9, 0xFF, 0x01}),
         Column(ExpectedBlock(first, kOnes), -12, 3)},
        // The source ends inside the data, with no EOI: the rest decodes the same way.
        {"source ends", Grey(48, Blocks({{44}}), {}), Column({}, 44, 6)},
        // Size 16 with amplitude 0 is -65535: the predictor's low 16 bits (1) are the coefficient.
        {"16-bit DC", Grey(16, Blocks({{0}, {-65535}})), Column(Column({}, 0, 1), 1, 1)},
        {"ZRL at 48", AfterOnes(47), ExpectedBlock(ones, kOnes)},
        // A non-interleaved second scan of a sequential frame is ignored.
        {"second scan", Grey(8, Blocks({{9}}), Stream().Sos({{1, 0x00}}).Raw(Bytes(20, 0x55)).Eoi().bytes()),
         Column({}, 9, 1)},
        {"restart after 1500 bytes", RestartFrame(4, 0xD4, 1500), Column({}, 0, 20)},
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
    Bytes dc17Symbols(18);
    std::iota(dc17Symbols.begin(), dc17Symbols.end(), 0);
    const struct {
        const char* what;
        Bytes frame;
        int error;
        int rows = 0;
    } cases[] = {
        {"ZRL from 49", AfterOnes(48), kJpegBadEntropyData},
        {"run past 63", AfterOnes(60, 5, 1), kJpegBadEntropyData},  // index 61 + 5
        {"DC size 17 in the table",
         Grey(8, Blocks({{0x1FFFF}}), {0xFF, 0xD9}, Stream().Dht(0x00, {0, 0, 0, 0, 18}, dc17Symbols).bytes()),
         kJpegBadEntropyData},
        // A wrong restart number must fail even though every later one is right.
        {"RST2 for RST1", RestartFrame(1, 0xD2), kJpegBadRestart},
        {"RST1 first", RestartFrame(0, 0xD1), kJpegBadRestart},
        {"RST8 for RST0", RestartFrame(8, 0xD8), kJpegBadRestart, 8},
        {"restart missing", RestartFrame(1, -1), kJpegBadRestart},
        {"EOI for a restart", RestartFrame(0, 0xD9), kJpegBadRestart},
        {"restart after 1600 bytes", RestartFrame(4, 0xD4, 1600), kJpegBadRestart, 8},
        // Two MCU rows, then a TEM marker that fails the marker loop at the end of the image: the last row fails.
        {"TEM after the data", Grey(16, kTwoFlatBlocks, {0xFF, 0x01, 0xFF, 0xD9}), kJpegMarkerOutOfPlace, 8},
    };
    for (const auto& c : cases) {
        const Decoded d = DecodeAll(c.frame);
        EXPECT_EQ(d.last, kJpegBadEntropyData) << c.what;
        EXPECT_EQ(d.error, c.error) << c.what;
        EXPECT_EQ(d.rows, c.rows) << c.what;
    }
}

}  // namespace qern
