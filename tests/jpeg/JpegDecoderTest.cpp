#include <gtest/gtest.h>

#include <memory>

#include "JpegTestStream.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/MemoryJpegSource.h"

using namespace jpegtest;

namespace {

// Answers every read with `result` and never says it has ended.
class StubSource : public JpegSource {
public:
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
    struct Case {
        int layout, width, height, restart;
    };
    // One decoder for every frame: sizes and layouts change from frame to frame.
    auto d = std::make_unique<JpegDecoder>();
    for (const Case& c : {Case{0, 100, 20, 0}, Case{1, 17, 13, 0}, Case{2, 33, 17, 0}, Case{3, 23, 31, 0},
                          Case{4, 41, 35, 0}, Case{2, 1, 1, 0}, Case{4, 1, 1, 0}, Case{4, 175, 143, 0},
                          Case{2, 64, 8, 0}, Case{0, 100, 9, 0}, Case{2, 640, 480, 0}, Case{4, 160, 48, 1},
                          Case{4, 160, 48, 3}, Case{4, 160, 48, 7}, Case{1, 40, 24, 2}, Case{3, 40, 48, 9}}) {
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            SceneOptions o;
            o.layout = c.layout;
            o.width = c.width;
            o.height = c.height;
            o.restartInterval = c.restart;
            o.seed = seed;
            o.wideQuant = seed == 3;
            // Sparse blocks (DC only, low frequencies only) take the shortened transforms; dense large
            // ones give plenty of stuffed FF bytes to cut across piece edges.
            o.density = seed == 4 ? 150 : seed == 2 ? 3 : 8;
            o.maxMagnitude = seed == 2 ? 500 : 60;
            const Scene s = MakeScene(o);
            SCOPED_TRACE(testing::Message() << c.layout << " " << c.width << "x" << c.height << " restart " << c.restart
                                            << " seed " << seed);
            const Decoded r = DecodeAll(s.jpeg, c.width < 600 ? 1 + (seed * 17 + c.width) % 70 : 0, 1, d.get());
            ASSERT_EQ(r.header, c.layout == 0 ? 1 : 3);
            ASSERT_EQ(r.start, 0);
            ASSERT_EQ(r.last, 1) << "error " << r.error;
            ASSERT_EQ(r.width, static_cast<uint32_t>(c.width));
            ASSERT_EQ(r.height, static_cast<uint32_t>(c.height));
            ASSERT_EQ(r.rows, c.height);
            ASSERT_EQ(r.length, c.width * s.bytesPerPixel);
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
        const uint8_t* row = nullptr;
        int32_t length = 0;
        EXPECT_EQ(d->ReadScanline(&row, &length), -1);
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

    SceneOptions o;
    o.width = o.height = 16;
    const Bytes frame = MakeScene(o).jpeg;
    MemoryJpegSource first(frame.data(), frame.size());
    ASSERT_EQ(d->ReadHeader(&first, 1), 3);
    ASSERT_EQ(d->StartDecompress(), 0);
    // A new header without Release frees the first frame's blocks (LeakSanitizer) and closes its source once.
    MemoryJpegSource source(frame.data(), frame.size());
    ASSERT_EQ(d->ReadHeader(&source, 1), 3);
    EXPECT_EQ(first.CloseCount(), 1);
    EXPECT_EQ(d->ReadScanline(&row, &length), -1);  // not started yet
    ASSERT_EQ(d->StartDecompress(), 0);
    EXPECT_EQ(d->StartDecompress(), 0);             // already started: nothing happens
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
