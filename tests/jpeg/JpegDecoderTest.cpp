#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "JpegTestStream.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegFailure.h"
#include "jpeg/MemoryJpegSource.h"

using namespace jpegtest;

namespace {

// A frame of `width` x `height` whose blocks are all DC 0, no AC: every sample 128.
Bytes FlatFrame(uint16_t width, uint16_t height, int layout) {
    SceneOptions o;
    o.layout = layout;
    o.width = width;
    o.height = height;
    o.density = 1000000;  // no AC
    o.maxDc = 0;
    Scene s = MakeScene(o);
    return s.jpeg;
}

class FailingSource : public JpegSource {
public:
    int32_t Read(uint8_t*, int32_t, bool* end) override {
        *end = false;
        return -1;
    }
    void Close() override { ++closed; }
    int closed = 0;
};

// Never says it has ended and delivers nothing: the decoder must not poll it for ever.
class SilentSource : public JpegSource {
public:
    int32_t Read(uint8_t*, int32_t, bool* end) override {
        *end = false;
        ++reads;
        return 0;
    }
    int reads = 0;
};

}  // namespace

TEST(JpegDecoder, EveryLayoutDecodesBitExactly) {
    struct Case {
        int layout, width, height;
    };
    for (const Case& c : {Case{0, 100, 20}, Case{1, 17, 13}, Case{2, 33, 17}, Case{3, 23, 31}, Case{4, 41, 35},
                          Case{2, 1, 1}, Case{4, 1, 1}, Case{4, 175, 143}, Case{2, 64, 8}}) {
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            SceneOptions o;
            o.layout = c.layout;
            o.width = c.width;
            o.height = c.height;
            o.seed = seed;
            o.wideQuant = seed == 3;
            // Sparse blocks (DC only, low frequencies only) take the shortened transforms.
            if (seed == 4) o.density = 150;
            const Scene s = MakeScene(o);
            const Decoded d = DecodeAll(s.jpeg);
            ASSERT_EQ(d.header, c.layout == 0 ? 1 : 3);
            ASSERT_EQ(d.start, 0);
            ASSERT_EQ(d.last, 1) << "error " << d.error;
            ASSERT_EQ(d.rows, c.height);
            ASSERT_EQ(d.length, c.width * s.bytesPerPixel);
            ASSERT_EQ(d.pixels, s.expected) << "layout " << c.layout << " " << c.width << "x" << c.height << " seed " << seed;
        }
    }
}

TEST(JpegDecoder, RestartIntervalsDecodeBitExactly) {
    for (int interval : {1, 2, 3, 7, 9}) {
        SceneOptions o;
        o.layout = 4;
        o.width = 160;
        o.height = 48;
        o.restartInterval = interval;
        o.seed = static_cast<uint32_t>(interval);
        const Scene s = MakeScene(o);
        const Decoded d = DecodeAll(s.jpeg);
        ASSERT_EQ(d.last, 1) << "interval " << interval << " error " << d.error;
        ASSERT_EQ(d.pixels, s.expected) << "interval " << interval;
    }
}

TEST(JpegDecoder, AnyChunkingOfTheSourceGivesTheSameRows) {
    SceneOptions o;
    o.layout = 2;
    o.width = 96;
    o.height = 40;
    o.density = 3;
    o.maxMagnitude = 500;  // plenty of FF bytes to unstuff across chunk edges
    o.restartInterval = 5;
    const Scene s = MakeScene(o);
    auto d = std::make_unique<JpegDecoder>();
    for (size_t chunk = 1; chunk <= 70; ++chunk) {
        const Decoded r = DecodeAll(*d, s.jpeg, chunk);
        ASSERT_EQ(r.last, 1) << "chunk " << chunk;
        ASSERT_EQ(r.pixels, s.expected) << "chunk " << chunk;
    }
}

TEST(JpegDecoder, FrameGeometryAndRowLengths) {
    struct Case {
        uint16_t width, height;
        int layout;
        int32_t rowLength;
    };
    for (const Case& c : {Case{640, 480, 2, 2560}, Case{176, 144, 2, 704}, Case{176, 144, 4, 704},
                          Case{100, 9, 0, 100}, Case{320, 143, 4, 1280}}) {  // 143: the last MCU row stops at the height
        const Decoded d = DecodeAll(FlatFrame(c.width, c.height, c.layout));
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
        EXPECT_EQ(d.rows, c.height);
        EXPECT_EQ(d.length, c.rowLength);
        EXPECT_EQ(d.last, 1);
        for (size_t i = 0; i < d.pixels.size(); ++i) {
            ASSERT_EQ(d.pixels[i], (c.layout != 0 && i % 4 == 3) ? 0xFF : 128) << i;
        }
    }
}

TEST(JpegDecoder, SourceFailureOnFirstReadClosesOnce) {
    auto d = std::make_unique<JpegDecoder>();
    FailingSource source;
    EXPECT_EQ(d->ReadHeader(&source, 1), kJpegSourceFailed);
    EXPECT_EQ(d->Error(), kJpegSourceFailed);
    EXPECT_EQ(source.closed, 1);
    EXPECT_EQ(d->StartDecompress(), -1);
    const uint8_t* row = nullptr;
    int32_t length = 0;
    EXPECT_EQ(d->ReadScanline(&row, &length), -1);
    d->Release();
    d->Release();
    EXPECT_EQ(source.closed, 1);
}

TEST(JpegDecoder, SourceThatNeverEndsNorDeliversIsTreatedAsEnded) {
    auto d = std::make_unique<JpegDecoder>();
    SilentSource source;
    EXPECT_EQ(d->ReadHeader(&source, 1), kJpegNoImage);
    EXPECT_EQ(source.reads, 1);
}

TEST(JpegDecoder, CallOrderContract) {
    auto d = std::make_unique<JpegDecoder>();
    const uint8_t* row = nullptr;
    int32_t length = 0;
    EXPECT_EQ(d->StartDecompress(), -1);            // nothing read yet
    EXPECT_EQ(d->ReadScanline(&row, &length), -1);  // not started
    d->Release();                                   // harmless before any frame

    const Bytes frame = FlatFrame(16, 16, 1);
    MemoryJpegSource source(frame.data(), frame.size());
    ASSERT_EQ(d->ReadHeader(&source, 1), 3);
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
}

TEST(JpegDecoder, OneObjectDecodesFramesOfEverySizeInTurn) {
    auto d = std::make_unique<JpegDecoder>();
    for (int round = 0; round < 3; ++round) {
        for (int layout : {2, 4, 0, 1, 3}) {
            SceneOptions o;
            o.layout = layout;
            o.width = 40 + 8 * round + layout;
            o.height = 24 + layout;
            o.seed = static_cast<uint32_t>(round * 10 + layout);
            const Scene s = MakeScene(o);
            const Decoded r = DecodeAll(*d, s.jpeg);
            ASSERT_EQ(r.last, 1);
            ASSERT_EQ(r.pixels, s.expected) << "round " << round << " layout " << layout;
        }
    }
}

TEST(JpegDecoder, ReadHeaderWithoutReleaseDoesNotLeakOrCloseTwice) {
    auto d = std::make_unique<JpegDecoder>();
    const Bytes frame = FlatFrame(16, 16, 2);
    MemoryJpegSource first(frame.data(), frame.size());
    ASSERT_EQ(d->ReadHeader(&first, 1), 3);
    ASSERT_EQ(d->StartDecompress(), 0);
    MemoryJpegSource second(frame.data(), frame.size());
    ASSERT_EQ(d->ReadHeader(&second, 1), 3);  // the first frame's blocks are freed here (LeakSanitizer)
    EXPECT_EQ(first.CloseCount(), 1);
    const Decoded r = DecodeAll(*d, frame);
    EXPECT_EQ(r.last, 1);
}

TEST(JpegDecoder, AccurateTransformStaysCloseToTheFastOne) {
    SceneOptions o;
    o.layout = 4;
    o.width = 64;
    o.height = 48;
    o.density = 6;
    o.maxMagnitude = 5;  // small enough that the fast path's 16-bit steps never wrap
    const Scene s = MakeScene(o);
    const Decoded fast = DecodeAll(s.jpeg, 0, 1);
    const Decoded plain = DecodeAll(s.jpeg, 0, 0);
    ASSERT_EQ(plain.last, 1);
    ASSERT_EQ(plain.pixels.size(), fast.pixels.size());
    int maxDiff = 0;
    int differing = 0;
    for (size_t i = 0; i < fast.pixels.size(); ++i) {
        const int diff = std::abs(fast.pixels[i] - plain.pixels[i]);
        maxDiff = std::max(maxDiff, diff);
        differing += diff != 0;
    }
    // Two approximations of one transform: they differ, but only by rounding.
    EXPECT_GT(differing, 0);
    EXPECT_LE(maxDiff, 6);
}
