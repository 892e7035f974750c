#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "JpegTestStream.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/MemoryJpegSource.h"

using namespace jpegtest;

namespace {

// Entropy data of one grey block with DC 0 and no AC.
Bytes OneFlatBlock() {
    BitWriter w;
    int pred = 0;
    const int zz[64] = {};
    PutBlock(w, zz, pred);
    return w.Finish();
}

Bytes GreyFrame(Stream headers) {
    return headers.Sos({{1, 0x00}}).Raw(OneFlatBlock()).Eoi().bytes();
}

Bytes MinimalGrey() { return GreyFrame(Stream().GreyHeaders(8, 8)); }

// Result of ReadHeader, or StartDecompress's failure code when the header was read.
int Outcome(const Bytes& data) {
    auto d = std::make_unique<JpegDecoder>();
    MemoryJpegSource source(data.data(), data.size());
    const int h = d->ReadHeader(&source, 1);
    if (h < 0) return h;
    if (d->StartDecompress() != 0) return d->Error();
    const uint8_t* row;
    int32_t length;
    int rc;
    while ((rc = d->ReadScanline(&row, &length)) == 0) {
    }
    d->Release();
    return rc == 1 ? 0 : d->Error();
}

Bytes Concat(const Bytes& a, const Bytes& b) {
    Bytes r = a;
    r.insert(r.end(), b.begin(), b.end());
    return r;
}

}  // namespace

TEST(JpegMarkers, SoiFoundBySlidingWithinTheFirst512Bytes) {
    const Bytes frame = MinimalGrey();  // FF D8 FF DB ...
    EXPECT_EQ(Outcome(Concat(Bytes(511, 0x11), frame)), 0);          // pair starts at offset 511
    EXPECT_EQ(Outcome(Concat(Bytes(512, 0x11), frame)), kJpegNoImage);  // offset 512
    EXPECT_EQ(Outcome(Concat(Bytes{0xFF, 0xFF, 0x00}, frame)), 0);
    // A slid-to SOI must be followed by 0xFF; one at offset 0 need not be.
    Bytes late = Concat(Bytes(7, 0x20), frame);
    late.insert(late.begin() + 9, 0x00);
    EXPECT_EQ(Outcome(late), kJpegNoImage);
    Bytes early = frame;
    early.insert(early.begin() + 2, {0x00, 0x12});
    EXPECT_EQ(Outcome(early), 0);
    EXPECT_EQ(Outcome(Bytes{}), kJpegNoImage);
    EXPECT_EQ(Outcome(Bytes(5000, 0xFF)), kJpegNoImage);
}

TEST(JpegMarkers, FillBytesAndStuffedZerosBetweenSegmentsAreSkipped) {
    Stream s;
    s.Soi().Raw({0xFF, 0xFF, 0xFF}).Dqt(0, 1).Raw({0xFF, 0x00, 0x12, 0x34}).Sof(0xC0, 8, 8, {{1, 0x11, 0}});
    s.Raw({0xFF, 0xFF}).FlatDcTable(0).FlatAcTable(0);
    EXPECT_EQ(Outcome(GreyFrame(s)), 0);
}

TEST(JpegMarkers, SkippedSegmentsNeedALengthOfTwoOrMore) {
    for (uint8_t code : {0xE0, 0xEF, 0xFE, 0xDC, 0xF0, 0x02}) {
        Stream ok;
        ok.Soi().Segment(code, {}).Segment(code, Bytes(300, 0xFF)).Dqt(0, 1).Sof(0xC0, 8, 8, {{1, 0x11, 0}});
        ok.FlatDcTable(0).FlatAcTable(0);
        EXPECT_EQ(Outcome(GreyFrame(ok)), 0) << std::hex << int(code);
        for (uint16_t length : {0, 1}) {
            Stream bad;
            bad.Soi().Marker(code).Word(length).Raw(Bytes(10, 0));
            EXPECT_EQ(Outcome(bad.bytes()), kJpegBadSegmentLength) << std::hex << int(code);
        }
    }
}

// Segments the decoder refuses, each with its own code.
TEST(JpegMarkers, RefusedSegments) {
    const Stream sof = Stream().Soi().Dqt(0, 1).Sof(0xC0, 8, 8, {{1, 0x11, 0}});
    uint8_t full[16] = {}, one[16] = {1}, overfull[16] = {3};
    full[7] = 255, full[8] = 1;  // 256 symbols
    uint16_t wide[64];
    for (auto& q : wide) q = 300;
    uint8_t acCounts[16] = {};
    acCounts[7] = static_cast<uint8_t>(FlatAcSymbols().size());
    const struct {
        const char* what;
        Bytes bytes;
        int code;
    } cases[] = {
        {"DRI length 5", Stream().Soi().Marker(0xDD).Word(5).Raw({0, 1, 0}).bytes(), kJpegBadRestartLength},
        {"arithmetic SOF9", Stream().Soi().Dqt(0, 1).Sof(0xC9, 8, 8, {{1, 0x11, 0}}).bytes(), kJpegArithmetic},
        {"DAC", Stream().Soi().Segment(0xCC, {0x00, 0x10}).bytes(), kJpegArithmetic},
        {"second SOI", Stream().Soi().Soi().bytes(), kJpegUnsupportedFrame},
        {"EOI before a frame", Stream().Soi().Eoi().bytes(), kJpegUnsupportedFrame},
        {"TEM", Stream().Soi().Marker(0x01).bytes(), kJpegMarkerOutOfPlace},
        {"JPG", Stream().Soi().Marker(0xC8).bytes(), kJpegMarkerOutOfPlace},
        {"RST0", Stream().Soi().Marker(0xD0).bytes(), kJpegMarkerOutOfPlace},
        {"RST7", Stream().Soi().Marker(0xD7).bytes(), kJpegMarkerOutOfPlace},
        {"EOI where SOS is due", Stream().GreyHeaders(8, 8).Eoi().bytes(), kJpegMarkerOutOfPlace},
        {"SOF where SOS is due", Stream().GreyHeaders(8, 8).Sof(0xC0, 8, 8, {{1, 0x11, 0}}).bytes(),
         kJpegMarkerOutOfPlace},
        {"DHT of 256 symbols", Stream().Soi().Dht(0x00, full, Bytes(256, 0)).bytes(), kJpegBadHuffmanCounts},
        {"DHT overfull", Stream().Soi().Dht(0x00, overfull, {0, 1, 2}).bytes(), kJpegBadHuffmanCounts},
        {"DHT slot 0x14", Stream().Soi().Dht(0x14, one, {0}).bytes(), kJpegBadHuffmanSlot},
        {"DHT slot 8", Stream().Soi().Dht(0x08, one, {0}).bytes(), kJpegBadHuffmanSlot},
        {"DHT length 1", Stream().Soi().Marker(0xC4).Word(1).bytes(), kJpegBadHuffmanLength},
        // Length says 2 + 17 but the table holds one symbol more.
        {"DHT past its segment",
         Stream().Soi().Marker(0xC4).Word(19).Byte(0x00).Raw(Bytes{1}).Raw(Bytes(15, 0)).Byte(0x00).bytes(),
         kJpegBadHuffmanLength},
        {"DQT length 1", Stream().Soi().Marker(0xDB).Word(1).bytes(), kJpegBadQuantLength},
        {"DQT id 4", Stream().Soi().Segment(0xDB, Concat({0x04}, Bytes(64, 1))).bytes(), kJpegBadQuantId},
        {"DQT short", Stream().Soi().Segment(0xDB, Concat({0x00}, Bytes(60, 1))).Raw(Bytes(10, 1)).bytes(),
         kJpegShortQuantTable},
        // 16-bit entries need 129 bytes.
        {"DQT 16-bit short", Stream().Soi().Segment(0xDB, Concat({0x10}, Bytes(64, 1))).Raw(Bytes(70, 1)).bytes(),
         kJpegShortQuantTable},
        {"no DHT", GreyFrame(Stream(sof)), kJpegMissingHuffmanTable},
        {"no AC table", GreyFrame(Stream(sof).FlatDcTable(0)), kJpegMissingHuffmanTable},
        {"no DQT", GreyFrame(Stream().Soi().Sof(0xC0, 8, 8, {{1, 0x11, 0}}).FlatDcTable(0).FlatAcTable(0)),
         kJpegMissingQuantTable},
        // A quantisation selector above 3 can never name a table.
        {"DQT selector 9",
         GreyFrame(Stream().Soi().Dqt(0, 1).Sof(0xC0, 8, 8, {{1, 0x11, 9}}).FlatDcTable(0).FlatAcTable(0)),
         kJpegMissingQuantTable},
        // Class/id 0x05 (a DC table with id 5) lands where AC table 1 lives.
        {"AC table as DHT 0x05",
         Stream(sof).FlatDcTable(0).Dht(0x05, acCounts, FlatAcSymbols()).Sos({{1, 0x01}}).Raw(OneFlatBlock()).Eoi().bytes(),
         0},
        {"sequential scan without every component",
         Stream().ColourHeaders(16, 8, 0x21).Sos({{1, 0x00}}).Raw(OneFlatBlock()).Eoi().bytes(), kJpegBadScanComponents},
        {"16-bit DQT decodes",
         GreyFrame(Stream().Soi().DqtTable(0, wide, true).Sof(0xC0, 8, 8, {{1, 0x11, 0}}).FlatDcTable(0).FlatAcTable(0)),
         0},
    };
    for (const auto& c : cases) EXPECT_EQ(Outcome(c.bytes), c.code) << c.what;
    for (uint8_t code : {0xC3, 0xC5, 0xC6, 0xC7, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        EXPECT_EQ(Outcome(Stream().Soi().Dqt(0, 1).Sof(code, 8, 8, {{1, 0x11, 0}}).bytes()), kJpegUnsupportedFrame)
            << std::hex << int(code);
}

TEST(JpegMarkers, FrameHeaderFields) {
    auto frame = [](uint8_t precision, uint16_t h, uint16_t w, uint8_t n, int extraLength) {
        Stream s;
        s.Soi().Marker(0xC0).Word(static_cast<uint16_t>(8 + 3 * n + extraLength));
        s.Byte(precision).Word(h).Word(w).Byte(n);
        for (int i = 0; i < n; ++i) s.Byte(static_cast<uint8_t>(i + 1)).Byte(0x11).Byte(0);
        return s.bytes();
    };
    const struct {
        Bytes bytes;
        int code;
    } cases[] = {
        {frame(12, 8, 8, 1, 0), kJpegBadPrecision},
        {frame(8, 0, 8, 1, 0), kJpegBadHeight},
        {frame(8, 8193, 8, 1, 0), kJpegBadHeight},
        {frame(8, 0, 0, 1, 0), kJpegBadHeight},  // height is checked before width
        {frame(8, 8, 0, 1, 0), kJpegBadWidth},
        {frame(8, 8, 8193, 1, 0), kJpegBadWidth},
        {frame(8, 8, 8, 5, 0), kJpegTooManyComponents},
        {frame(8, 8, 8, 3, 1), kJpegBadFrameLength},
        {frame(8, 8192, 8192, 1, 0), kJpegMarkerOutOfPlace},  // largest size passes the header
    };
    for (const auto& c : cases) EXPECT_EQ(Outcome(c.bytes), c.code) << &c - cases;
    // ReadHeader reports counts 0 to 4; only 1 and 3 decode.
    for (uint8_t n : {0, 1, 2, 3, 4}) {
        const Bytes bytes = frame(8, 8, 8, n, 0);
        auto d = std::make_unique<JpegDecoder>();
        MemoryJpegSource source(bytes.data(), bytes.size());
        EXPECT_EQ(d->ReadHeader(&source, 1), n);
        d->Release();
        EXPECT_EQ(Outcome(bytes), n == 1 || n == 3 ? kJpegMarkerOutOfPlace : kJpegBadComponentCount) << int(n);
    }
}

TEST(JpegMarkers, ScanHeaderFields) {
    auto scan = [](const Bytes& sos) {
        return Outcome(Stream().GreyHeaders(8, 8).Segment(0xDA, sos).Raw(OneFlatBlock()).Eoi().bytes());
    };
    EXPECT_EQ(scan({1, 1, 0x00, 0, 63, 0}), 0);
    EXPECT_EQ(scan({0, 0, 63, 0}), kJpegBadScanComponents);
    EXPECT_EQ(scan({5, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 63, 0}), kJpegBadScanComponents);
    EXPECT_EQ(scan({1, 1, 0x00, 0, 63, 0, 0}), kJpegBadScanComponents);  // length not 6 + 2n
    EXPECT_EQ(scan({1, 7, 0x00, 0, 63, 0}), kJpegUnknownComponent);
    EXPECT_EQ(scan({2, 1, 0x00, 1, 0x00, 0, 63, 0}), kJpegBadScanComponents);  // the same component twice
    EXPECT_EQ(scan({1, 1, 0x40, 0, 63, 0}), kJpegMissingHuffmanTable);         // DC id 4
    EXPECT_EQ(scan({1, 1, 0x04, 0, 63, 0}), kJpegMissingHuffmanTable);         // AC id 4
    EXPECT_EQ(scan({1, 1, 0x11, 0, 63, 0}), kJpegMissingHuffmanTable);         // tables 1 never defined
    // Sequential frames ignore the spectral selection the SOS gives.
    EXPECT_EQ(scan({1, 1, 0x00, 5, 2, 0x31}), 0);
}

TEST(JpegMarkers, SamplingFactorsOutsideTheLayouts) {
    // 4:1:1, chroma 1x2 or 2x1, zero factors, 3x3.
    for (const auto& f : {std::array<uint8_t, 3>{0x41, 0x11, 0x11}, {0x22, 0x12, 0x11}, {0x22, 0x11, 0x21},
                          {0x00, 0x11, 0x11}, {0x20, 0x11, 0x11}, {0x22, 0x00, 0x11}, {0x33, 0x11, 0x11}}) {
        Stream s;
        s.Soi().Dqt(0, 1).Sof(0xC0, 16, 16, {{1, f[0], 0}, {2, f[1], 0}, {3, f[2], 0}}).FlatDcTable(0).FlatAcTable(0);
        EXPECT_EQ(Outcome(s.Sos({{1, 0}, {2, 0}, {3, 0}}).Eoi().bytes()), kJpegBadSampling) << std::hex << int(f[0]);
    }
    // A greyscale frame ignores its factors, zero included.
    for (uint8_t hv : {0x00, 0x22, 0x41, 0xFF}) {
        Stream s;
        s.Soi().Dqt(0, 1).Sof(0xC0, 8, 8, {{1, hv, 0}}).FlatDcTable(0).FlatAcTable(0);
        EXPECT_EQ(Outcome(GreyFrame(s)), 0) << std::hex << int(hv);
    }
}

TEST(JpegMarkers, ProgressiveScanRefusals) {
    // A progressive grey frame whose scans are given as (Ss, Se, Ah << 4 | Al) and component count.
    auto progressive = [](std::vector<std::array<uint8_t, 4>> scans) {
        Stream s;
        s.Soi().Dqt(0, 1).Sof(0xC2, 16, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}}).FlatDcTable(0).FlatAcTable(0);
        for (const auto& scan : scans) {
            std::vector<ScanComponent> c = {{1, 0x00}};
            if (scan[3] == 3) c = {{1, 0x00}, {2, 0x00}, {3, 0x00}};
            s.Sos(c, scan[0], scan[1], scan[2]).Raw(Bytes(4, 0));
        }
        return Outcome(s.Eoi().bytes());
    };
    const struct {
        std::vector<std::array<uint8_t, 4>> scans;
        int code;
    } cases[] = {
        {{{0, 0, 0x00, 3}}, 0},                       // one DC scan of all components decodes
        {{{5, 2, 0x00, 1}}, kJpegBadProgressiveScan},  // start after end
        {{{1, 64, 0x00, 1}}, kJpegBadProgressiveScan}, // end past 63
        {{{0, 5, 0x00, 3}}, kJpegBadProgressiveScan},  // DC with AC in one scan
        {{{1, 5, 0x00, 3}}, kJpegBadProgressiveScan},  // AC of several components
        {{{0, 0, 0x20, 3}}, kJpegBadApproximation},    // refinement 2 -> 0 skips a bit
        {{{0, 0, 0x13, 3}}, kJpegBadApproximation},
        {std::vector<std::array<uint8_t, 4>>(JpegDecoder::kMaxProgressiveScans + 1, {0, 0, 0x00, 3}),
         kJpegBadProgressiveScan},                     // too many scans
    };
    for (const auto& c : cases) EXPECT_EQ(progressive(c.scans), c.code) << c.scans.size() << " scans";
}
