#include <gtest/gtest.h>

#include <array>

#include "JpegTestStream.h"
#include "jpeg/JpegFailure.h"

namespace qern {

using namespace jpegtest;

namespace {

Bytes GreyFrame(Stream headers) { return headers.Sos({{1, 0x00}}).Raw(kFlatBlock).Eoi().bytes(); }

Stream Tables(Stream s) { return s.FlatDcTable().FlatAcTable(); }
// `between` comes right after the SOI.
Stream GreySof(uint8_t hv = 0x11, uint8_t tq = 0, const Bytes& between = {}) {
    return Stream().Soi().Raw(between).Dqt(0, 1).Sof(0xC0, 8, 8, {{1, hv, tq}});
}

// A frame header of n components with these fields, the length off by `extraLength`.
Bytes Sof(uint8_t precision, uint16_t h, uint16_t w, uint8_t n, int extraLength = 0) {
    Stream s;
    s.Soi().Marker(0xC0).Word(static_cast<uint16_t>(8 + 3 * n + extraLength)).Byte(precision).Word(h).Word(w).Byte(n);
    for (int i = 0; i < n; ++i) s.Byte(static_cast<uint8_t>(i + 1)).Byte(0x11).Byte(0);
    return s.bytes();
}

// A progressive three-component frame with scans given as (Ss, Se, Ah << 4 | Al, component count).
Bytes Progressive(const std::vector<std::array<uint8_t, 4>>& scans) {
    Stream s = Tables(Stream().Soi().Dqt(0, 1).Sof(0xC2, 16, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}}));
    const std::vector<ScanComponent> all = {{1, 0}, {2, 0}, {3, 0}};
    for (const auto& scan : scans)
        s.Sos({all.begin(), all.begin() + scan[3]}, scan[0], scan[1], scan[2]).Raw(Bytes(4, 0));
    return s.Eoi().bytes();
}

Bytes Sampling(uint8_t y, uint8_t cb, uint8_t cr) {
    Stream s = Tables(Stream().Soi().Dqt(0, 1).Sof(0xC0, 16, 16, {{1, y, 0}, {2, cb, 0}, {3, cr, 0}}));
    return s.Sos({{1, 0}, {2, 0}, {3, 0}}).Eoi().bytes();
}

}  // namespace

// Every stream with the code it ends with: 0 when it decodes.
TEST(JpegMarkers, OutcomeOfEveryHeaderCase) {
    const Bytes minimal = GreyFrame(Stream().GreyHeaders(8, 8));  // FF D8 FF DB ...
    Bytes late = Stream().Raw(Bytes(7, 0x20)).Raw(minimal).bytes(), early = minimal;
    late.insert(late.begin() + 9, 0x00);  // a slid-to SOI must be followed by FF, one at offset 0 need not be
    early.insert(early.begin() + 2, {0x00, 0x12});
    // A scan header given byte by byte, then one flat block.
    auto scan = [](const Bytes& sos) {
        return Stream().GreyHeaders(8, 8).Segment(0xDA, sos).Raw(kFlatBlock).Eoi().bytes();
    };
    const Bytes skipped = Stream().Segment(0xE0, {}).Segment(0xFE, Bytes(300, 0xFF)).Segment(0x02, {}).bytes();
    std::vector<std::pair<Bytes, int>> cases = {
        // Where the SOI may be.
        {Stream().Raw(Bytes(511, 0x11)).Raw(minimal).bytes(), 0},
        {Stream().Raw(Bytes(512, 0x11)).Raw(minimal).bytes(), kJpegNoImage},
        {Stream().Raw(Bytes{0xFF, 0xFF, 0x00}).Raw(minimal).bytes(), 0},
        {late, kJpegNoImage},
        {early, 0},
        {Bytes{}, kJpegNoImage},
        // Fill bytes, a stray stuffed zero and garbage between segments.
        {GreyFrame(Tables(GreySof(0x11, 0, {0xFF, 0xFF, 0xFF, 0x00, 0x12, 0x34}))), 0},
        // Segments the decoder refuses.
        {Stream().Soi().Marker(0xDD).Word(5).Raw({0, 1, 0}).bytes(), kJpegBadRestartLength},
        {Stream().Soi().Dqt(0, 1).Sof(0xC9, 8, 8, {{1, 0x11, 0}}).bytes(), kJpegArithmetic},
        {Stream().Soi().Segment(0xCC, {0x00, 0x10}).bytes(), kJpegArithmetic},
        {Stream().Soi().Soi().bytes(), kJpegUnsupportedFrame},
        {Stream().Soi().Eoi().bytes(), kJpegUnsupportedFrame},
        {Stream().Soi().Marker(0x01).bytes(), kJpegMarkerOutOfPlace},
        {Stream().Soi().Marker(0xC8).bytes(), kJpegMarkerOutOfPlace},
        {Stream().Soi().Marker(0xD0).bytes(), kJpegMarkerOutOfPlace},
        {Stream().GreyHeaders(8, 8).Eoi().bytes(), kJpegMarkerOutOfPlace},
        {Stream().GreyHeaders(8, 8).Sof(0xC0, 8, 8, {{1, 0x11, 0}}).bytes(), kJpegMarkerOutOfPlace},
        {Stream().Soi().Dht(0x00, {0, 0, 0, 0, 0, 0, 0, 255, 1}, Bytes(256, 0)).bytes(), kJpegBadHuffmanCounts},
        {Stream().Soi().Dht(0x00, {3}, {0, 1, 2}).bytes(), kJpegBadHuffmanCounts},
        {Stream().Soi().Dht(0x14, {1}, {0}).bytes(), kJpegBadHuffmanSlot},
        {Stream().Soi().Dht(0x08, {1}, {0}).bytes(), kJpegBadHuffmanSlot},
        {Stream().Soi().Marker(0xC4).Word(1).bytes(), kJpegBadHuffmanLength},
        // Length says 2 + 17 but the table holds one symbol more.
        {Stream().Soi().Marker(0xC4).Word(19).Byte(0x00).Byte(1).Raw(Bytes(16, 0)).bytes(), kJpegBadHuffmanLength},
        {Stream().Soi().Marker(0xDB).Word(1).bytes(), kJpegBadQuantLength},
        {Stream().Soi().Dqt(4, 1).bytes(), kJpegBadQuantId},
        {Stream().Soi().Dqt(0, std::vector<uint16_t>(60, 1)).Raw(Bytes(10, 1)).bytes(), kJpegShortQuantTable},
        {Stream().Soi().Dqt(0, std::vector<uint16_t>(32, 0x0101), true).Raw(Bytes(70, 1)).bytes(),
         kJpegShortQuantTable},
        {GreyFrame(GreySof()), kJpegMissingHuffmanTable},
        {GreyFrame(GreySof().FlatDcTable()), kJpegMissingHuffmanTable},
        {GreyFrame(Tables(Stream().Soi().Sof(0xC0, 8, 8, {{1, 0x11, 0}}))), kJpegMissingQuantTable},
        {GreyFrame(Tables(GreySof(0x11, 9))), kJpegMissingQuantTable},  // a selector above 3 names no table
        // Class/id 0x05 (a DC table with id 5) lands where AC table 1 lives.
        {GreySof().FlatDcTable().FlatAcTable(0x05).Sos({{1, 0x01}}).Raw(kFlatBlock).Eoi().bytes(), 0},
        {GreyFrame(Tables(Stream().Soi().Dqt(0, std::vector<uint16_t>(64, 300), true).Sof(0xC0, 8, 8, {{1, 0x11, 0}}))),
         0},
        {GreyFrame(Tables(GreySof(0x11, 0, skipped))), 0},  // skipped segments: any length of two or more
        // Frame header fields; height is checked before width, the largest size passes the header.
        {Sof(12, 8, 8, 1), kJpegBadPrecision},
        {Sof(8, 8193, 8, 1), kJpegBadHeight},
        {Sof(8, 0, 0, 1), kJpegBadHeight},
        {Sof(8, 8, 0, 1), kJpegBadWidth},
        {Sof(8, 8, 8193, 1), kJpegBadWidth},
        {Sof(8, 8, 8, 5), kJpegTooManyComponents},
        {Sof(8, 8, 8, 3, 1), kJpegBadFrameLength},
        {Sof(8, 8192, 8192, 1), kJpegMarkerOutOfPlace},
        // Scan header fields; sequential frames ignore the spectral selection.
        {scan({1, 1, 0x00, 5, 2, 0x31}), 0},
        {scan({0, 0, 63, 0}), kJpegBadScanComponents},
        {scan({5, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 63, 0}), kJpegBadScanComponents},
        {scan({1, 1, 0x00, 0, 63, 0, 0}), kJpegBadScanComponents},        // length not 6 + 2n
        {scan({2, 1, 0x00, 1, 0x00, 0, 63, 0}), kJpegBadScanComponents},  // the same component twice
        {scan({1, 7, 0x00, 0, 63, 0}), kJpegUnknownComponent},
        {scan({1, 1, 0x40, 0, 63, 0}), kJpegMissingHuffmanTable},  // DC id 4
        {scan({1, 1, 0x04, 0, 63, 0}), kJpegMissingHuffmanTable},  // AC id 4
        {scan({1, 1, 0x11, 0, 63, 0}), kJpegMissingHuffmanTable},  // tables 1 never defined
        {GreyFrame(Tables(Stream().Soi().Dqt(0, 1).Sof(0xC0, 16, 8, {{1, 0x21, 0}, {2, 0x11, 0}, {3, 0x11, 0}}))),
         kJpegBadScanComponents},  // a sequential scan without every component
        // Sampling: chroma 1x2 or 2x1, 4:1:1, zero factors, 3x3 (below) are refused; grey ignores its factors.
        {Sampling(0x22, 0x12, 0x11), kJpegBadSampling},  // what ffmpeg writes for 4:2:2
        {Sampling(0x12, 0x12, 0x12), kJpegBadSampling},  // ffmpeg's 4:4:4
        {Sampling(0x22, 0x11, 0x21), kJpegBadSampling},
        {GreyFrame(Tables(GreySof(0x00))), 0},
        {GreyFrame(Tables(GreySof(0x41))), 0},
        // Progressive scans.
        {Progressive({{0, 0, 0x00, 3}}), 0},
        {Progressive({{5, 2, 0x00, 1}}), kJpegBadProgressiveScan},  // start after end
        {Progressive({{1, 64, 0x00, 1}}), kJpegBadProgressiveScan},
        {Progressive({{0, 5, 0x00, 3}}), kJpegBadProgressiveScan},  // DC with AC in one scan
        {Progressive({{1, 5, 0x00, 3}}), kJpegBadProgressiveScan},  // AC of several components
        {Progressive({{0, 0, 0x20, 3}}), kJpegBadApproximation},    // refinement 2 -> 0 skips a bit
        {Progressive({{0, 0, 0x13, 3}}), kJpegBadApproximation},
        {Progressive(std::vector<std::array<uint8_t, 4>>(JpegDecoder::kMaxProgressiveScans + 1, {0, 0, 0x00, 3})),
         kJpegBadProgressiveScan},
    };
    for (uint8_t n : {0, 2, 4}) cases.push_back({Sof(8, 8, 8, n), kJpegBadComponentCount});
    for (uint8_t y : {0x41, 0x00, 0x20, 0x33}) cases.push_back({Sampling(y, 0x11, 0x11), kJpegBadSampling});
    for (uint8_t code : {0xC3, 0xC5, 0xC6, 0xC7, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        cases.push_back({Stream().Soi().Dqt(0, 1).Sof(code, 8, 8, {{1, 0x11, 0}}).bytes(), kJpegUnsupportedFrame});
    for (uint8_t code : {0xE0, 0xEF, 0xFE, 0xDC, 0xF0, 0x02})
        for (uint16_t n : {0, 1}) cases.push_back({Stream().Soi().Marker(code).Word(n).bytes(), kJpegBadSegmentLength});
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(DecodeAll(cases[i].first).code, cases[i].second) << "case " << i;
}

}  // namespace qern
