#include <gtest/gtest.h>

#include <memory>

#include "JpegTestStream.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/MemoryJpegSource.h"

namespace qern {

using namespace jpegtest;

namespace {

// Answers every read with `result` and never says it has ended.
struct StubSource : JpegSource {
    explicit StubSource(int32_t r) : result(r) {}
    int32_t Read(uint8_t*, int32_t, bool* end) override {
        *end = false;
        ++reads;
        return result;
    }
    void Close() override { ++closed; }
    int32_t result;
    int reads = 0, closed = 0;
};

}  // namespace

TEST(JpegDecoder, EveryLayoutDecodesBitExactlyInAnyPieces) {
    // One decoder for every frame: sizes and layouts change from frame to frame.
    auto d = std::make_unique<JpegDecoder>();
    const int kFrames[][4] = {{0, 100, 20, 0}, {1, 17, 13, 0},  {2, 33, 17, 0},   {3, 23, 31, 0},
                              {4, 41, 35, 0},  {2, 1, 1, 0},    {4, 1, 1, 0},     {4, 175, 143, 0},
                              {2, 64, 8, 0},   {0, 100, 9, 0},  {2, 640, 480, 0}, {4, 160, 48, 1},
                              {4, 160, 48, 3}, {4, 160, 48, 7}, {1, 40, 24, 2},   {3, 40, 48, 9}};
    for (const auto& [layout, w, h, restart] : kFrames) {
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            // Sparse blocks take the shortened transforms; dense large ones give many stuffed FF bytes.
            const int density[] = {8, 3, 8, 150};
            const Scene s =
                MakeScene({layout, w, h, restart, density[seed - 1], seed == 2 ? 500 : 60, seed, seed == 3});
            SCOPED_TRACE(testing::Message() << layout << " " << w << "x" << h << " r" << restart << " s" << seed);
            const Decoded r = DecodeAll(s.jpeg, w < 600 ? 1 + (seed * 17 + w) % 70 : 0, 1, d.get());
            ASSERT_EQ(std::vector<int>({r.header, r.start, r.last, int(r.width), int(r.height), r.rows, r.length}),
                      std::vector<int>({layout == 0 ? 1 : 3, 0, 1, w, h, h, w * s.bytesPerPixel}))
                << "error " << r.error;
            ASSERT_EQ(r.pixels, s.expected);
        }
    }
}

TEST(JpegDecoder, SourceThatFailsOrNeverDeliversEndsTheFrameAfterOneRead) {
    for (const int32_t result : {-1, 0}) {
        const int code = result < 0 ? kJpegSourceFailed : kJpegNoImage;
        auto d = std::make_unique<JpegDecoder>();
        StubSource source(result);
        EXPECT_EQ(d->ReadHeader(&source, 1), code);
        EXPECT_EQ(d->Error(), code);
        EXPECT_EQ(source.reads, 1);
        EXPECT_EQ(d->StartDecompress(), -1);
        EXPECT_EQ(d->ReadScanline(nullptr, nullptr), -1);
        d->Release();
        d->Release();
        EXPECT_EQ(source.closed, 1) << result;
    }
}

TEST(JpegDecoder, CallOrderContract) {
    auto d = std::make_unique<JpegDecoder>();
    const uint8_t* row = nullptr;
    int32_t length = 0;
    EXPECT_EQ(d->StartDecompress(), -1);            // nothing read yet
    EXPECT_EQ(d->ReadScanline(&row, &length), -1);  // not started
    d->Release();                                   // harmless before any frame

    const Bytes frame = MakeScene({2, 16, 16}).jpeg;
    MemoryJpegSource first(frame.data(), frame.size());
    ASSERT_EQ(d->ReadHeader(&first, 1), 3);
    ASSERT_EQ(d->StartDecompress(), 0);
    // A new header without Release frees the first frame's blocks (LeakSanitizer) and closes its source once.
    MemoryJpegSource source(frame.data(), frame.size());
    ASSERT_EQ(d->ReadHeader(&source, 1), 3);
    EXPECT_EQ(first.CloseCount(), 1);
    EXPECT_EQ(d->ReadScanline(&row, &length), -1);  // not started yet
    ASSERT_EQ(d->StartDecompress(), 0);
    EXPECT_EQ(d->StartDecompress(), 0);  // already started: nothing happens
    ASSERT_EQ(d->ReadScanline(&row, &length), 0);
    EXPECT_EQ(length, 64);
    EXPECT_EQ(d->ReadScanline(nullptr, nullptr), 0);  // the caller may ignore the outputs
    d->Release();
    EXPECT_EQ(source.CloseCount(), 1);
    EXPECT_EQ(d->ReadScanline(&row, &length), -1);  // released: its buffers are gone
    d->Release();
    EXPECT_EQ(source.CloseCount(), 1);
    EXPECT_EQ(first.CloseCount(), 1);
}

}  // namespace qern
