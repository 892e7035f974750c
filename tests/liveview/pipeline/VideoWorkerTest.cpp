// The frame worker on a scripted stream: which buffer each frame lands in, what is shown, what never
// fits, exact wait counts. Orientation, stamps, the hook and live size cycles run against camsim.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "liveview/pipeline/DibRowWriter.h"
#include "liveview/pipeline/VideoWorker.h"
#include "tests/support/ByteFeed.h"
#include "tools/camsim/JpegEncoder.h"
#include "transport/StreamSessionCore.h"

namespace liveview {
namespace {

using qern::test::Part;

// Left half red at a level that tells the frame (60 + 30 x (index mod 6)), right half white.
std::vector<uint8_t> Jpeg(int width, int height, int index, camsim::Subsampling sub = camsim::Subsampling::S444) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x) {
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(60 + 30 * (index % 6)), p[1] = p[2] = 0;
        }
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

struct Shown {
    int32_t index;  // shown buffer
    int frame;      // frame its picture tells, -1 for a grey start buffer
};

// The worker's host and its stream; unless `cut` the stream ends with a boundary line, so its last
// frame is not short of its budget.
struct Rig : VideoWorkerHost {
    explicit Rig(std::string bytes, int32_t piece = 4096, bool cut = false)
        : stream(std::move(bytes) + (cut ? "" : "--camsimframe\r\n" + std::string(40, ' ')), {piece}) {
        session.SetVideoStream(&stream);
        for (int m = 0; m < kModeCount; ++m)
            for (auto& b : buffers[m]) b.assign(size_t(ModeSize(m).width) * ModeSize(m).height * 4 + 64, 0xCC);
    }
    VideoWorker::RunEnd Run() { return VideoWorker(state, session, *this).ProceedingVideoStream(); }

    bool HasCameraAddress() override { return ++addressChecks > addressAfter; }
    bool PrepareSession() override { return true; }
    bool OpenVideo() override { return ++opens, openOk; }
    void CloseVideo() override { ++closes; }
    bool AudioStarted() override { return audioStarted; }
    void Pause(uint32_t ms) override {
        pausedMs += ms;
        if (pausedMs == stopAfterMs) state.m_bStreaming = false;
    }
    uint8_t* FrameBits(int32_t mode, int32_t index) override {
        return missingBuffer ? nullptr : buffers[mode][index].data() + 32;
    }
    void EraseView() override { erases.push_back(session.ring.Threshold()); }
    void ShowFrame() override {
        const int32_t index = state.Shown(state.m_mode);
        shown.push_back({index, FrameAt(state.m_mode, index)});
    }
    void OnFrameSizeChanged() override { ++sizeChanges; }
    void ProcessImage(uint8_t*, size_t) override { ++hookCalls; }

    const uint8_t* Pixel(int32_t mode, int32_t index, int x, int y) const {
        const FrameSize size = ModeSize(mode);
        return buffers[mode][index].data() + 32 + DibRowWriter::PixelOffset(size.width, size.height, x, y);
    }
    int FrameAt(int32_t mode, int32_t index) const {
        const uint8_t* p = Pixel(mode, index, ModeSize(mode).width / 4, ModeSize(mode).height / 4);
        for (int k = 0; k < 6 && p[0] != 0xCC; ++k)
            if (std::abs(p[2] - (60 + 30 * k)) < 12) return k;
        return -1;
    }
    bool GuardsIntact() const {
        for (const auto& triple : buffers)
            for (const auto& b : triple)
                for (size_t i = 0; i < 32; ++i)
                    if (b[i] != 0xCC || b[b.size() - 1 - i] != 0xCC) return false;
        return true;
    }

    LiveViewState state;
    StreamSessionCore session;
    qern::test::PieceStream stream;
    std::vector<uint8_t> buffers[kModeCount][3];
    std::vector<Shown> shown;
    std::vector<int32_t> erases;  // the threshold each erase found: a new size's cap
    int addressChecks = 0, addressAfter = 0;
    bool openOk = true, audioStarted = true, missingBuffer = false;
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
        std::vector<int> shownFrames;   // frame each paint showed, -1 for a grey start buffer
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
        EXPECT_FALSE(rig.state.m_bStreaming);  // the end of the stream ends the run
        EXPECT_EQ(rig.state.m_mode.load(), c.mode);
        EXPECT_EQ(rig.erases.size(), 1u);
        std::vector<int> shown, buffers;
        for (const Shown& sh : rig.shown) shown.push_back(sh.frame);
        for (int32_t b = 0; b < 3; ++b) buffers.push_back(rig.FrameAt(c.mode, b));
        EXPECT_EQ(shown, c.shownFrames) << c.width << "/" << c.piece;
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
    // Each new size erases the view with its cap; the recording hears of a change, not of the first size.
    EXPECT_EQ(rig.erases, (std::vector<int32_t>{50000, 18000}));
    EXPECT_EQ(rig.sizeChanges, 1);
    EXPECT_EQ(rig.state.m_mode.load(), kMode320);
    ASSERT_EQ(rig.shown.size(), 4u);
    EXPECT_EQ(rig.shown[0].frame, 1);
    // The 640x360 frame fills the upper 360 rows of its buffer, which keeps its grey below.
    EXPECT_EQ(rig.shown[1].frame, 5);
    EXPECT_EQ(rig.Pixel(kMode640, rig.shown[1].index, 10, 470)[0], 0xCC);
    const uint8_t* dark = rig.Pixel(kMode640, rig.shown[2].index, 100, 100);
    const uint8_t* white = rig.Pixel(kMode640, rig.shown[2].index, 500, 400);
    EXPECT_LT(dark[0], 60);  // the red's luma
    EXPECT_TRUE(dark[0] == dark[1] && dark[1] == dark[2] && dark[3] == 0xFF);
    EXPECT_TRUE(white[0] > 240 && white[0] == white[1] && white[1] == white[2]);
    EXPECT_EQ(rig.shown[3].frame, -1);  // 320's lag: its grey start buffer
    EXPECT_TRUE(rig.GuardsIntact());
}

TEST(VideoWorker, AFrameStillShortIsDecodedButNotPaintedAndRaisesTheThreshold) {
    // The camera closes the stream in the middle of the last frame.
    const size_t missing = 600;
    std::string last = Part(Jpeg(176, 144, 4));
    last.resize(last.size() - 2 - missing);
    Rig rig(Frames(176, 144, 4) + last, 4096, true);
    EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::StreamEnded);
    EXPECT_EQ(rig.shown.size(), 3u);                    // frames 1..3 painted, the cut one not
    EXPECT_EQ(rig.state.stats.framesDecoded.load(), 4u);     // but decoded into its buffer
    EXPECT_EQ(rig.state.Shown(kMode176).load(), 4 % 3);      // and made the shown one
    EXPECT_GT(rig.session.ring.Threshold(), FillLimits::kHeaderBytes + int32_t(missing) - 1);
    EXPECT_TRUE(rig.GuardsIntact());
}

TEST(VideoWorker, WaitsForAddressAndSoundAreBoundedAndAStopEndsThem) {
    Rig none(Frames(640, 480, 2));
    none.addressAfter = 1000;
    EXPECT_EQ(none.Run(), VideoWorker::RunEnd::NoAddress);
    EXPECT_EQ(none.addressChecks, 15);
    EXPECT_EQ(none.pausedMs, 15u * 500u);
    EXPECT_TRUE(none.state.m_bStreaming);  // the watchdog's stall count starts a new worker
    EXPECT_EQ(none.opens, 0);

    Rig late(Frames(640, 480, 2));
    late.addressAfter = 3;
    late.audioStarted = false;
    EXPECT_EQ(late.Run(), VideoWorker::RunEnd::StreamEnded);
    EXPECT_EQ(late.closes, 1);  // an old stream is closed before the new one opens
    EXPECT_EQ(late.pausedMs, 3u * 500u + 9u * 300u);  // 2.7 s for the sound at most, then video
    EXPECT_EQ(late.shown.size(), 1u);

    for (uint32_t stopAt : {500u, 900u}) {  // a stop while waiting for the address, for the sound
        Rig stop(Frames(640, 480, 2));
        stop.addressAfter = stopAt == 500u ? 1000 : 0;
        stop.audioStarted = false;
        stop.stopAfterMs = stopAt;
        EXPECT_EQ(stop.Run(), VideoWorker::RunEnd::Stopped) << stopAt;
        EXPECT_EQ(stop.pausedMs, stopAt);
        EXPECT_TRUE(stop.shown.empty());
    }
}

TEST(VideoWorker, FailedOpenMissingBuffersAndGarbageAreSurvived) {
    Rig closed(Frames(640, 480, 2));
    closed.openOk = false;
    EXPECT_EQ(closed.Run(), VideoWorker::RunEnd::OpenFailed);
    EXPECT_FALSE(closed.state.m_bStreaming);
    EXPECT_EQ(closed.state.stats.workerRuns.load(), 1u);

    Rig unallocated(Frames(640, 480, 3));
    unallocated.missingBuffer = true;
    unallocated.Run();
    EXPECT_TRUE(unallocated.shown.empty());
    EXPECT_EQ(unallocated.state.stats.framesDropped.load(), 2u);
    EXPECT_EQ(unallocated.hookCalls, 0);

    std::vector<uint8_t> broken = Jpeg(640, 480, 2);
    broken.resize(broken.size() / 3);  // cut short, declared with its own (short) length
    Rig garbage(Frames(640, 480, 2) + std::string(9000, 'x') + Part(broken) +
                Part(std::vector<uint8_t>(500, 0x11)) + Frames(640, 480, 1, 3));
    EXPECT_EQ(garbage.Run(), VideoWorker::RunEnd::StreamEnded);
    ASSERT_GE(garbage.shown.size(), 2u);
    EXPECT_EQ(garbage.shown.back().frame, 3);
    EXPECT_TRUE(garbage.GuardsIntact());
}

}  // namespace
}  // namespace liveview
