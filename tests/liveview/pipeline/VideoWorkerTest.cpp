// The frame worker on a scripted stream (lags, frames that never fit, exact waits), its row writer
// and its watchdog. Orientation, stamps, the hook and live size cycles run against camsim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "liveview/pipeline/DibRowWriter.h"
#include "liveview/pipeline/FrameMode.h"
#include "liveview/pipeline/VideoWorker.h"
#include "liveview/pipeline/Watchdog.h"
#include "tests/support/ByteFeed.h"
#include "tools/camsim/JpegEncoder.h"
#include "transport/StreamSessionCore.h"

namespace qern {
namespace {

using qern::test::Part;

// Left half red at a level that tells the frame (60 + 30 x (index mod 6)), right half white.
std::vector<uint8_t> Jpeg(int width, int height, int index, camsim::Subsampling sub = camsim::Subsampling::S444) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3, 255);
    for (size_t i = 0; i < rgb.size(); i += 3)
        if (int(i / 3 % size_t(width)) < width / 2)
            rgb[i] = uint8_t(60 + 30 * (index % 6)), rgb[i + 1] = rgb[i + 2] = 0;
    camsim::JpegSettings settings;
    settings.subsampling = sub;
    settings.quality = 95;
    return camsim::JpegEncoder(settings).Encode(rgb.data(), width, height);
}

std::string Frames(int width, int height, int count, int firstIndex = 0) {
    std::string s;
    for (int i = 0; i < count; ++i) s += Part(Jpeg(width, height, firstIndex + i));
    return s;
}

// A picture whose pixel (x, y) is (x, y, 7, 0xFF) as blue, green, red, x bytes.
std::vector<uint8_t> Row(int width, int y) {
    std::vector<uint8_t> row(size_t(width) * 4, 7);
    for (size_t x = 0; x < size_t(width); ++x)
        row[x * 4] = uint8_t(x), row[x * 4 + 1] = uint8_t(y), row[x * 4 + 3] = 0xFF;
    return row;
}

struct Buffer {
    Buffer(int w, int h) : bytes(size_t(w) * h * 4 + 64, 0xCC) {}
    uint8_t* pixels() { return bytes.data() + 32; }  // guard bytes on both sides
    const uint8_t* at(int64_t offset) const { return bytes.data() + 32 + offset; }
    bool GuardsIntact() const {
        return std::count(bytes.begin(), bytes.begin() + 32, 0xCC) + std::count(bytes.end() - 32, bytes.end(), 0xCC) ==
               64;
    }
    std::vector<uint8_t> bytes;
};

// The worker's host and its stream; unless `cut` the stream ends with a boundary line, so its last
// frame is not short of its budget.
struct Rig : VideoWorkerHost {
    explicit Rig(std::string bytes, int32_t piece = 4096, bool cut = false)
        : stream(std::move(bytes) + (cut ? "" : "--camsimframe\r\n" + std::string(40, ' ')), {piece}) {
        session.SetVideoStream(&stream);
        for (int m = 0; m < kModeCount; ++m)
            for (int i = 0; i < 3; ++i) buffers[m].emplace_back(ModeSize(m).width, ModeSize(m).height);
    }
    VideoWorker::RunEnd Run() { return VideoWorker(state, session, *this).ProceedingVideoStream(); }

    bool HasCameraAddress() override { return ++addressChecks > addressAfter; }
    bool PrepareSession() override { return true; }
    bool OpenVideo() override { return ++opens; }
    void CloseVideo() override { ++closes; }
    bool AudioStarted() override { return audioStarted; }
    void Pause(uint32_t ms) override {
        pausedMs += ms;
        if (pausedMs == stopAfterMs) state.m_bStreaming = false;
    }
    uint8_t* FrameBits(int32_t mode, int32_t index) override {
        return missingBuffer ? nullptr : buffers[mode][index].pixels();
    }
    void EraseView() override { erases.push_back(session.ring.Threshold()); }
    void ShowFrame() override {
        shownIndex.push_back(state.Shown(state.m_mode));
        shown.push_back(FrameAt(state.m_mode, shownIndex.back()));
    }
    void OnFrameSizeChanged() override { ++sizeChanges; }
    void ProcessImage(uint8_t*, size_t) override { ++hookCalls; }

    const uint8_t* Pixel(int32_t mode, int32_t index, int x, int y) const {
        const FrameSize size = ModeSize(mode);
        return buffers[mode][index].at(DibRowWriter::PixelOffset(size.width, size.height, x, y));
    }
    int FrameAt(int32_t mode, int32_t index) const {
        const uint8_t* p = Pixel(mode, index, ModeSize(mode).width / 4, ModeSize(mode).height / 4);
        for (int k = 0; k < 6 && p[0] != 0xCC; ++k)
            if (std::abs(p[2] - (60 + 30 * k)) < 12) return k;
        return -1;
    }
    bool GuardsIntact() const {
        for (const auto& sized : buffers)
            for (const Buffer& b : sized)
                if (!b.GuardsIntact()) return false;
        return true;
    }

    LiveViewState state;
    StreamSessionCore session;
    qern::test::PieceStream stream;
    std::vector<Buffer> buffers[kModeCount];
    std::vector<int> shown;  // the frame each paint showed, -1 for a grey start buffer
    std::vector<int32_t> shownIndex;
    std::vector<int32_t> erases;  // the threshold each erase found: a new size's cap
    int addressChecks = 0, addressAfter = 0;
    bool audioStarted = true, missingBuffer = false;
    int opens = 0, closes = 0, sizeChanges = 0, hookCalls = 0;
    uint32_t pausedMs = 0, stopAfterMs = 0;
};

// Each size has its own lag: 640 shows the frame just decoded, 320 the one before (frame 2 into
// buffer 2 while the grey buffer 1 shows), 176 decodes into the shown buffer and shows two later.
// Byte by byte every frame is short when its header is parsed and the session completes it.
TEST(VideoWorker, EachSizeShowsItsFramesWithItsLag) {
    const struct {
        int width, height, count, piece;
        int32_t mode;
        std::vector<int> shownFrames;
        std::vector<int> bufferFrames;  // frame left in buffers 0, 1, 2 at the end
    } cases[] = {
        {640, 480, 4, 4096, kMode640, {1, 2, 3}, {3, 1, 2}},
        {320, 240, 4, 4096, kMode320, {-1, 1, 2}, {2, 3, 1}},
        {176, 144, 5, 4096, kMode176, {-1, -1, 1, 2}, {4, 2, 3}},
        {176, 144, 5, 1, kMode176, {-1, -1, 1, 2}, {4, 2, 3}},
    };
    for (const auto& c : cases) {
        Rig rig(Frames(c.width, c.height, c.count), c.piece);
        EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::StreamEnded);
        EXPECT_EQ(rig.state.m_mode.load(), c.mode);
        EXPECT_EQ(rig.erases.size(), 1u);
        std::vector<int> buffers;
        for (int32_t b = 0; b < 3; ++b) buffers.push_back(rig.FrameAt(c.mode, b));
        EXPECT_EQ(rig.shown, c.shownFrames) << c.width << "/" << c.piece;
        EXPECT_EQ(buffers, c.bufferFrames) << c.width << "/" << c.piece;
        // The parts declare their lengths: the session completes them, a header's worth will do.
        EXPECT_EQ(rig.session.ring.Threshold(), FillLimits::kHeaderBytes);
        EXPECT_TRUE(rig.GuardsIntact());
        EXPECT_EQ(rig.state.stats.framesDecoded.load(), uint32_t(c.count - 1));
    }
}

TEST(VideoWorker, FramesThatDoNotFitTheBufferAreDroppedUnwritten) {
    // In 640 mode: 640x360 (width matches) is decoded; 800x480 (height matches, wider) and
    // 640x600 (taller) never touch the buffers; 200x100 matches nothing and is dropped too. A
    // greyscale frame follows, then 320 x 240 frames switch the size.
    Rig rig(Frames(640, 480, 2) + Frames(800, 480, 1, 2) + Frames(640, 600, 1, 3) + Frames(200, 100, 1, 4) +
            Frames(640, 360, 1, 5) + Part(Jpeg(640, 480, 0, camsim::Subsampling::Gray)) + Frames(320, 240, 2));
    rig.Run();
    EXPECT_EQ(rig.state.stats.framesDropped.load(), 3u);
    EXPECT_EQ(rig.hookCalls, 4);
    EXPECT_EQ(rig.erases, (std::vector<int32_t>{50000, 18000}));
    EXPECT_EQ(rig.sizeChanges, 1);
    EXPECT_EQ(rig.state.m_mode.load(), kMode320);
    // Then the grey frame, and 320's lag shows its grey start buffer.
    ASSERT_EQ(rig.shown, (std::vector<int>{1, 5, -1, -1}));
    // The 640x360 frame fills the upper 360 rows of its buffer, which keeps its grey below.
    EXPECT_EQ(rig.Pixel(kMode640, rig.shownIndex[1], 10, 470)[0], 0xCC);
    const uint8_t* dark = rig.Pixel(kMode640, rig.shownIndex[2], 100, 100);
    const uint8_t* white = rig.Pixel(kMode640, rig.shownIndex[2], 500, 400);
    EXPECT_TRUE(dark[0] < 60 && dark[0] == dark[1] && dark[1] == dark[2] && dark[3] == 0xFF);  // the red's luma
    EXPECT_TRUE(white[0] > 240 && white[0] == white[1] && white[1] == white[2]);
    EXPECT_TRUE(rig.GuardsIntact());
}

TEST(VideoWorker, AFrameStillShortIsDecodedButNotPaintedAndRaisesTheThreshold) {
    const size_t missing = 600;
    std::string last = Part(Jpeg(176, 144, 4));
    last.resize(last.size() - 2 - missing);
    Rig rig(Frames(176, 144, 4) + last, 4096, true);
    EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::StreamEnded);
    EXPECT_EQ(rig.shown.size(), 3u);                      // frames 1..3 painted, the cut one not
    EXPECT_EQ(rig.state.stats.framesDecoded.load(), 4u);  // but decoded into its buffer
    EXPECT_EQ(rig.state.Shown(kMode176).load(), 4 % 3);   // and made the shown one
    EXPECT_GT(rig.session.ring.Threshold(), FillLimits::kHeaderBytes + int32_t(missing) - 1);
    EXPECT_TRUE(rig.GuardsIntact());
}

TEST(VideoWorker, WaitsForAddressAndSoundAreBoundedAndAStopEndsThem) {
    const struct {
        int addressAfter;
        bool audio;
        uint32_t stopAfterMs;
        VideoWorker::RunEnd end;
        uint32_t pausedMs;
        size_t shown;
    } cases[] = {
        {1000, true, 0, VideoWorker::RunEnd::NoAddress, 15 * 500, 0},
        {3, false, 0, VideoWorker::RunEnd::StreamEnded, 3 * 500 + 9 * 300, 1},  // 2.7 s for the sound at most
        {1000, false, 500, VideoWorker::RunEnd::Stopped, 500, 0},               // a stop waiting for the address
        {0, false, 900, VideoWorker::RunEnd::Stopped, 900, 0},                  // and for the sound
    };
    for (const auto& c : cases) {
        Rig rig(Frames(640, 480, 2));
        rig.addressAfter = c.addressAfter;
        rig.audioStarted = c.audio;
        rig.stopAfterMs = c.stopAfterMs;
        EXPECT_EQ(rig.Run(), c.end) << c.pausedMs;
        EXPECT_EQ(rig.pausedMs, c.pausedMs);
        EXPECT_EQ(rig.shown.size(), c.shown);
        EXPECT_EQ(rig.opens, c.addressAfter < 1000 ? 1 : 0) << c.pausedMs;
        EXPECT_EQ(rig.closes, rig.opens);  // an old stream is closed before the new one opens
        // Without an address streaming stays set: the watchdog's stall count starts a new worker.
        EXPECT_EQ(rig.state.m_bStreaming.load(), c.end == VideoWorker::RunEnd::NoAddress);
    }
}

TEST(VideoWorker, MissingBuffersAndGarbageAreSurvived) {
    Rig unallocated(Frames(640, 480, 3));
    unallocated.missingBuffer = true;
    unallocated.Run();
    EXPECT_TRUE(unallocated.shown.empty());
    EXPECT_EQ(unallocated.state.stats.framesDropped.load(), 2u);
    EXPECT_EQ(unallocated.hookCalls, 0);

    std::vector<uint8_t> broken = Jpeg(640, 480, 2);
    broken.resize(broken.size() / 3);  // cut short, declared with its own (short) length
    Rig garbage(Frames(640, 480, 2) + std::string(9000, 'x') + Part(broken) + Part(std::vector<uint8_t>(500, 0x11)) +
                Frames(640, 480, 1, 3));
    EXPECT_EQ(garbage.Run(), VideoWorker::RunEnd::StreamEnded);
    ASSERT_GE(garbage.shown.size(), 2u);
    EXPECT_EQ(garbage.shown.back(), 3);
    EXPECT_TRUE(garbage.GuardsIntact());
}

TEST(FrameMode, UnknownWidthsAndModesHaveNoSize) {
    EXPECT_EQ(ModeFromWidth(641), kModeUnknown);
    for (int32_t mode : {int32_t(kModeUnknown), -1, 1000}) EXPECT_EQ(ModeSize(mode).width + ModeSize(mode).height, 0);
}

TEST(FillLimits, OneRaiseAfterAShortFrameHeldToItsModeAndItsRange) {
    FillLimits l;
    EXPECT_EQ(l.AddShortfall(kMode320, 3000), 21000);
    EXPECT_EQ(l.AfterFrame(kMode320), 18000);  // clamped back with the next frame
    EXPECT_EQ(l.AddShortfall(kMode640, -7), 50000);
    EXPECT_EQ(l.AddShortfall(kModeUnknown, 500), 0);
    EXPECT_EQ(l.AfterFrame(kModeUnknown), 0);
    l.AddShortfall(kMode176, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(l.Limit(kMode176), std::numeric_limits<int32_t>::max());
}

TEST(DibRowWriter, EachOrientationStartsAtItsCornerAndRowsBeyondTheBufferAreNeverWritten) {
    for (bool ud : {false, true})
        for (bool mirror : {false, true}) {
            Buffer b(8, 4);
            DibRowWriter w(b.pixels(), 8, 4, ud, mirror);
            int taken = 0;
            for (int y = 0; y < 10; ++y) taken += w.PutRow(Row(20, y).data(), 80, 4);  // wider and taller
            EXPECT_EQ(taken, 4);
            EXPECT_EQ(w.RowsWritten(), 4);
            EXPECT_TRUE(b.GuardsIntact()) << ud << mirror;
            // Decoded (0, 0) shows at the screen's corner, decoded (1, 2) next to it.
            const uint8_t* first = b.at(DibRowWriter::PixelOffset(8, 4, mirror ? 7 : 0, ud ? 3 : 0));
            const uint8_t* inner = b.at(DibRowWriter::PixelOffset(8, 4, mirror ? 6 : 1, ud ? 1 : 2));
            EXPECT_TRUE(first[0] == 0 && first[1] == 0 && inner[0] == 1 && inner[1] == 2) << ud << mirror;
        }
}

TEST(DibRowWriter, OddLengthsAndUnknownPixelSizesAreSafeAndGreyBecomesOpaqueGrey) {
    Buffer b(8, 4);
    DibRowWriter w(b.pixels(), 8, 4, false, true);
    std::vector<uint8_t> row = Row(8, 0);
    EXPECT_TRUE(w.PutRow(row.data(), 13, 4));  // three whole pixels
    EXPECT_FALSE(w.PutRow(row.data(), 24, 3));
    EXPECT_TRUE(w.PutRow(row.data(), -5, 4));  // nothing copied, the line is used up
    EXPECT_FALSE(w.PutRow(nullptr, 32, 4));
    const uint8_t grey[4] = {0, 50, 100, 255};
    EXPECT_TRUE(w.PutRow(grey, 4, 1));
    EXPECT_TRUE(b.GuardsIntact());
    EXPECT_EQ(b.at(DibRowWriter::PixelOffset(8, 4, 7, 0))[0], 0);     // mirrored: decoded pixel 0 at the right edge
    EXPECT_EQ(b.at(DibRowWriter::PixelOffset(8, 4, 4, 0))[0], 0xCC);  // pixels 3..7 not delivered
    for (int x = 0; x < 4; ++x) {
        const uint8_t* p = b.at(DibRowWriter::PixelOffset(8, 4, 7 - x, 2));
        EXPECT_TRUE(p[0] == grey[x] && p[1] == grey[x] && p[2] == grey[x] && p[3] == 0xFF) << x;
    }
    EXPECT_EQ(b.at(DibRowWriter::PixelOffset(8, 4, 3, 2))[0], 0xCC);
    DibRowWriter none(nullptr, 8, 4, false, false);
    EXPECT_FALSE(none.PutRow(row.data(), 32, 4));
}

// The tick's exact counts; its reconnect and address paths run against camsim.
struct FakeHost : WatchdogHost {
    explicit FakeHost(LiveViewState& s) : state(s) {}
    void FireViewChange() override { ++repaints; }
    void StartVideoStream() override {
        ++starts;
        if (workerPasses) state.m_wd_timeout = LiveViewState::kWatchdogBaseLimit;
    }
    bool HasCameraAddress() override { return true; }
    bool AdoptPageAddress() override { return false; }
    void KillWatchdogTimer() override {}

    LiveViewState& state;
    bool workerPasses = false;
    int repaints = 0, starts = 0;
};

TEST(Watchdog, RepaintsThenRestartsAfterALimitGrowingToSixtyUnlessTheWorkerPasses) {
    LiveViewState s;
    FakeHost h(s);
    for (int i = 0; i < 100; ++i) {
        s.m_watchdog = 0;  // the worker's pass
        EXPECT_EQ(Watchdog::OnTimer(s, true, h), WatchdogOutcome::Counted);
    }
    EXPECT_EQ(h.repaints + h.starts, 0);
    s.m_watchdog = 0;  // the last pass
    // Stalled: every tick after the first repaints; limits 15, 20, ..., 60.
    std::vector<int> gaps;
    for (int ticks = 1; gaps.size() < 11; ++ticks)
        if (Watchdog::OnTimer(s, true, h) == WatchdogOutcome::Restarted) gaps.push_back(std::exchange(ticks, 0));
    EXPECT_EQ(gaps, (std::vector<int>{16, 21, 26, 31, 36, 41, 46, 51, 56, 61, 61}));
    EXPECT_EQ(h.repaints, std::accumulate(gaps.begin(), gaps.end(), 0) - 11);
    EXPECT_EQ(s.stats.watchdogRestarts.load(), 11u);
    EXPECT_EQ(s.m_watchdog.load(), 0);
    // A new worker that passes its loop before the tick grows the limit brings it back to 20.
    h.workerPasses = true;
    for (int i = 0; i < 61; ++i) Watchdog::OnTimer(s, true, h);
    EXPECT_EQ(h.starts, 12);
    EXPECT_EQ(s.m_wd_timeout.load(), 20);
}

TEST(WatchdogPeriod, OneSecondUnlessTheEnvironmentAsksForAnotherInRange) {
    const struct {
        const char* value;
        uint32_t ms;
    } cases[] = {{nullptr, 1000},        {"", 1000},     {"50", 50},   {"3", 10}, {"-20", 10},
                 {"99999999999", 60000}, {"25ms", 1000}, {"abc", 1000}};
    for (const auto& c : cases) EXPECT_EQ(Watchdog::PeriodMs(c.value), c.ms) << (c.value ? c.value : "null");
}

}  // namespace
}  // namespace qern