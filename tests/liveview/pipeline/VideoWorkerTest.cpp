#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "liveview/pipeline/DibRowWriter.h"
#include "liveview/pipeline/VideoWorker.h"
#include "tests/liveview/pipeline/PipelineTestStream.h"
#include "tests/support/ByteFeed.h"
#include "transport/StreamSessionCore.h"

namespace liveview {
namespace {

using test::IndexFromRed;
using qern::test::Part;
using test::QuadrantJpeg;

// What one paint would have shown.
struct Shown {
    int32_t mode;
    int32_t index;       // shown buffer
    int frame;           // frame index its picture tells, -1 for the grey start buffer
    std::string overlay;
};

class TestHost : public VideoWorkerHost {
public:
    explicit TestHost(LiveViewState& s) : state(s) {
        for (int m = 0; m < kModeCount; ++m)
            for (int i = 0; i < 3; ++i) {
                const FrameSize size = ModeSize(m);
                buffers[m][i].assign(size_t(size.width) * size.height * 4 + 64, 0xCC);
            }
    }
    bool HasCameraAddress() override { return ++addressChecks > addressAfter; }
    bool PrepareSession() override { return true; }
    bool OpenVideo() override {
        ++opens;
        return openOk;
    }
    void CloseVideo() override { ++closes; }
    bool AudioStarted() override { return audioStarted; }
    void Pause(uint32_t ms) override {
        pausedMs += ms;
        if (onPause) onPause();
    }
    uint8_t* FrameBits(int32_t mode, int32_t index) override {
        if (missingBuffer) return nullptr;
        return buffers[mode][index].data() + 32;
    }
    void EraseView() override {
        ++erases;
        if (onErase) onErase();
    }
    void ShowFrame() override {
        const int32_t mode = state.m_mode;
        const int32_t index = state.Shown(mode);
        char text[kOverlayTextSize];
        state.m_overlayText.Get(text);
        shown.push_back({mode, index, FrameAt(mode, index, 0, 0), text});
        if (onShow) onShow();
    }
    void OnFrameSizeChanged() override { ++sizeChanges; }
    void ProcessImage(uint8_t* pixels, size_t bytes) override {
        ++hookCalls;
        hookBytes = bytes;
        if (hook) hook(pixels, bytes);
    }

    // The pixel of picture point (x, y) in buffer `index` of `mode`.
    const uint8_t* Pixel(int32_t mode, int32_t index, int x, int y) const {
        const FrameSize size = ModeSize(mode);
        return buffers[mode][index].data() + 32 + DibRowWriter::PixelOffset(size.width, size.height, x, y);
    }
    // The frame index that the top-left quadrant (or the quadrant at qx, qy) of a buffer tells.
    int FrameAt(int32_t mode, int32_t index, int qx, int qy) const {
        const FrameSize size = ModeSize(mode);
        const uint8_t* p = Pixel(mode, index, size.width / 4 + qx * size.width / 2, size.height / 4 + qy * size.height / 2);
        if (p[0] == 0xCC && p[1] == 0xCC && p[2] == 0xCC) return -1;
        return IndexFromRed(p[2]);
    }
    bool GuardsIntact() const {
        for (const auto& triple : buffers)
            for (const auto& b : triple)
                for (int i = 0; i < 32; ++i)
                    if (b[size_t(i)] != 0xCC || b[b.size() - 1 - size_t(i)] != 0xCC) return false;
        return true;
    }

    LiveViewState& state;
    std::vector<uint8_t> buffers[kModeCount][3];
    std::vector<Shown> shown;
    int addressChecks = 0, addressAfter = 0;
    bool openOk = true, audioStarted = true, missingBuffer = false;
    int opens = 0, closes = 0, erases = 0, sizeChanges = 0, hookCalls = 0;
    size_t hookBytes = 0;
    uint32_t pausedMs = 0;
    std::function<void()> onPause, onErase, onShow;
    std::function<void(uint8_t*, size_t)> hook;
};

struct Rig {
    // The stream ends with a boundary line, so its last frame is not short of its budget.
    explicit Rig(std::string bytes, int32_t piece = 4096)
        : stream(std::move(bytes) + "--camsimframe\r\n" + std::string(40, ' '), {piece}), host(state) {
        session.SetVideoStream(&stream);
    }
    VideoWorker::RunEnd Run() { return VideoWorker(state, session, host).ProceedingVideoStream(); }

    LiveViewState state;
    StreamSessionCore session;
    qern::test::PieceStream stream;
    TestHost host;
};

std::string Frames(int width, int height, int count, int firstIndex = 0) {
    std::string s;
    for (int i = 0; i < count; ++i) s += Part(QuadrantJpeg(width, height, firstIndex + i), std::nullopt);
    return s;
}

// Each size has its own lag: 640 shows the frame just decoded, 320 the one before (frame 2 into
// buffer 2 while the grey buffer 1 shows), 176 decodes into the shown buffer and shows two later.
TEST(VideoWorker, EachSizeShowsItsFramesWithItsLag) {
    const struct {
        int width, height, count;
        int32_t mode;
        std::vector<int> shownFrames;   // frame each paint showed, -1 for a grey start buffer
        std::vector<int> bufferFrames;  // frame left in buffers 0, 1, 2 at the end
    } cases[] = {
        {640, 480, 4, kMode640, {1, 2, 3}, {3, 1, 2}},
        {320, 240, 4, kMode320, {-1, 1, 2}, {2, 3, 1}},
        {176, 144, 5, kMode176, {-1, -1, 1, 2}, {4, 2, 3}},
    };
    for (const auto& c : cases) {
        Rig rig(Frames(c.width, c.height, c.count));
        EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::StreamEnded);
        EXPECT_FALSE(rig.state.m_bStreaming);  // the end of the stream ends the run
        EXPECT_EQ(rig.state.m_mode.load(), c.mode);
        EXPECT_EQ(rig.host.erases, 1);
        std::vector<int> shown, buffers;
        for (const Shown& sh : rig.host.shown) shown.push_back(sh.frame);
        for (int32_t b = 0; b < 3; ++b) buffers.push_back(rig.host.FrameAt(c.mode, b, 0, 0));
        EXPECT_EQ(shown, c.shownFrames) << c.width;
        EXPECT_EQ(buffers, c.bufferFrames) << c.width;
        // The parts declare their lengths: the session completes them, a header's worth will do.
        EXPECT_EQ(rig.session.ring.Threshold(), FillLimits::kHeaderBytes);
        EXPECT_TRUE(rig.host.GuardsIntact());
        EXPECT_EQ(rig.state.stats.framesDecoded.load(), uint32_t(c.count - 1));
    }
}

TEST(VideoWorker, SwitchFrom640To320EraseAndNewThreshold) {
    std::string bytes = Frames(640, 480, 3) + Frames(320, 240, 4, 3);
    Rig rig(bytes);
    std::vector<int32_t> thresholdsAtErase;
    rig.host.onErase = [&] { thresholdsAtErase.push_back(rig.session.ring.Threshold()); };
    rig.Run();
    EXPECT_EQ(rig.state.m_mode.load(), kMode320);
    EXPECT_EQ(rig.host.erases, 2);
    EXPECT_EQ(rig.host.sizeChanges, 1);  // the recording hook sees the change
    // 640: frames 1 and 2 shown; the first 320 frame only switches; 320 frames then lag by one.
    ASSERT_EQ(rig.host.shown.size(), 5u);
    EXPECT_EQ(rig.host.shown[1].mode, kMode640);
    EXPECT_EQ(rig.host.shown[2].mode, kMode320);
    EXPECT_EQ(rig.host.shown[2].frame, -1);
    EXPECT_EQ(rig.host.shown[4].frame, 5);
    EXPECT_EQ(thresholdsAtErase, (std::vector<int32_t>{50000, 18000}));
}

TEST(VideoWorker, SizeCycleThroughAllThreeModes) {
    std::string bytes = Frames(176, 144, 3) + Frames(640, 480, 2, 3) + Frames(320, 240, 3, 5) + Frames(176, 144, 1);
    Rig rig(bytes);
    rig.Run();
    EXPECT_EQ(rig.host.erases, 4);
    EXPECT_EQ(rig.host.sizeChanges, 3);
    EXPECT_EQ(rig.state.m_mode.load(), kMode176);
    EXPECT_TRUE(rig.host.GuardsIntact());
}

TEST(VideoWorker, FramesThatDoNotFitTheBufferAreDroppedUnwritten) {
    // In 640 mode: 640x360 (width matches) is decoded; 800x480 (height matches, wider) and
    // 640x600 (taller) never touch the buffers; 200x100 matches nothing and is dropped too.
    std::string bytes = Frames(640, 480, 2) + Frames(800, 480, 1, 2) + Frames(640, 600, 1, 3) +
                        Frames(200, 100, 1, 4) + Frames(640, 360, 1, 5);
    Rig rig(bytes);
    rig.Run();
    EXPECT_EQ(rig.state.m_mode.load(), kMode640);
    EXPECT_EQ(rig.state.stats.framesDropped.load(), 3u);
    ASSERT_EQ(rig.host.shown.size(), 2u);
    EXPECT_EQ(rig.host.shown[0].frame, 1);
    // The 640x360 frame fills the upper 360 rows of the next buffer, which keeps its grey below.
    const int32_t idx = rig.host.shown[1].index;
    EXPECT_EQ(rig.host.FrameAt(kMode640, idx, 0, 0), 5);
    const uint8_t* below = rig.host.Pixel(kMode640, idx, 10, 470);
    EXPECT_EQ(below[0], 0xCC);
    EXPECT_TRUE(rig.host.GuardsIntact());
}

TEST(VideoWorker, OrientationFlagsTurnThePicture) {
    for (int flags = 0; flags < 4; ++flags) {
        const bool ud = flags & 1, mirror = flags & 2;
        Rig rig(Frames(320, 240, 2));
        rig.state.m_bUpsideDown = ud;
        rig.state.m_bMirror = mirror;
        rig.Run();
        ASSERT_EQ(rig.host.shown.size(), 1u);
        // Frame 1 is in buffer 2. The red quadrant (top-left in the picture) moves.
        const int qx = mirror ? 1 : 0, qy = ud ? 1 : 0;
        EXPECT_EQ(rig.host.FrameAt(kMode320, 2, qx, qy), 1) << flags;
        const uint8_t* white = rig.host.Pixel(kMode320, 2, mirror ? 80 : 240, ud ? 60 : 180);
        EXPECT_GT(white[0], 230);
        EXPECT_GT(white[1], 230);
        const uint8_t* green = rig.host.Pixel(kMode320, 2, mirror ? 80 : 240, ud ? 180 : 60);
        EXPECT_GT(green[1], 170);
        EXPECT_LT(green[2], 40);
    }
}

TEST(VideoWorker, GreyscaleCameraShowsItsPicture) {
    Rig rig(Part(QuadrantJpeg(320, 240, 0, camsim::Subsampling::Gray), std::nullopt) +
            Part(QuadrantJpeg(320, 240, 1, camsim::Subsampling::Gray), std::nullopt));
    rig.Run();
    ASSERT_EQ(rig.host.shown.size(), 1u);
    const uint8_t* white = rig.host.Pixel(kMode320, 2, 240, 180);
    const uint8_t* blue = rig.host.Pixel(kMode320, 2, 80, 180);
    EXPECT_GT(white[0], 240);
    EXPECT_EQ(white[0], white[1]);
    EXPECT_EQ(white[1], white[2]);
    EXPECT_EQ(white[3], 0xFF);
    EXPECT_LT(blue[0], 60);  // the blue bar's luma is dark
    EXPECT_EQ(blue[0], blue[2]);
}

class UtcZone : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved = tz ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string saved;
    bool hadTz = false;
};

using VideoWorkerStamps = UtcZone;

TEST_F(VideoWorkerStamps, TwentyFiveExactStampsAndTheOverlayText) {
    std::string bytes;
    const uint32_t start = 1796592249;  // 2026-12-06 21:24:09 UTC
    for (int i = 0; i < 52; ++i)
        bytes += Part(QuadrantJpeg(176, 144, i), camsim::ExactStamp(start, uint64_t(i), 25));
    Rig rig(bytes);
    rig.Run();
    EXPECT_EQ(rig.state.m_fps.load(), 25);
    ASSERT_FALSE(rig.host.shown.empty());
    EXPECT_EQ(rig.host.shown.back().overlay, "FPS:25");  // 176 x 144: the rate alone

    std::string big;
    for (int i = 0; i < 30; ++i) big += Part(QuadrantJpeg(320, 240, i), camsim::ExactStamp(start, uint64_t(i), 25));
    Rig r2(big);
    r2.Run();
    // Frame 26 (second 1, 40 ms) is the last one painted here; the second began with frame 25.
    EXPECT_EQ(r2.host.shown.back().overlay, "2026/12/06 21:24:10.160   FPS:25");
    // The first frame counted (40 ms) did not begin a second: no rate yet.
    EXPECT_EQ(r2.host.shown.front().overlay, "2026/12/06 21:24:09.040   FPS:00");
}

TEST_F(VideoWorkerStamps, OldYearsAndMissingStampsShowTheRateAlone) {
    std::string old;
    for (int i = 0; i < 4; ++i) old += Part(QuadrantJpeg(320, 240, i), camsim::ExactStamp(946684799, uint64_t(i), 25));
    Rig rig(old);  // 1999-12-31 23:59:59
    rig.Run();
    ASSERT_EQ(rig.host.shown.size(), 3u);
    EXPECT_EQ(rig.host.shown.back().overlay, "FPS:00");
    // No Content-Auth: counted on the computer's clock, where these frames take well under a
    // second, so no rate yet (not one "camera second" per frame).
    Rig none(Frames(640, 480, 5));
    none.Run();
    ASSERT_FALSE(none.host.shown.empty());
    for (const Shown& s : none.host.shown) EXPECT_EQ(s.overlay, "FPS:00");
    EXPECT_EQ(none.state.m_fps.load(), 0);
}

TEST(VideoWorker, ImageHookSeesEveryDecodedFrameAtItsSize) {
    Rig rig(Frames(320, 240, 3));
    rig.host.hook = [](uint8_t* pixels, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) pixels[i] = uint8_t(~pixels[i]);
    };
    rig.Run();
    EXPECT_EQ(rig.host.hookCalls, 2);
    EXPECT_EQ(rig.host.hookBytes, size_t(320) * 240 * 4);
    const uint8_t* white = rig.host.Pixel(kMode320, 2, 240, 180);
    EXPECT_LT(white[0], 20);  // the negative
}

TEST(VideoWorker, FramesCompletedByTheSessionAreWholeAndPainted) {
    // One byte at a time: every frame is still short when its header is parsed; the session
    // completes it before decoding, so each one is painted and nothing raises the threshold.
    Rig rig(Frames(176, 144, 6), 1);
    std::vector<int32_t> thresholds;
    rig.host.onShow = [&] { thresholds.push_back(rig.session.ring.Threshold()); };
    rig.Run();
    EXPECT_EQ(rig.host.shown.size(), 5u);
    ASSERT_EQ(thresholds.size(), 5u);
    // The mode's cap until the first frame of the mode was shown, then a header's worth.
    EXPECT_EQ(thresholds[0], 10000);
    for (size_t i = 1; i < thresholds.size(); ++i) EXPECT_EQ(thresholds[i], FillLimits::kHeaderBytes) << i;
    EXPECT_EQ(rig.host.FrameAt(kMode176, 1, 0, 0), 5);
}

TEST(VideoWorker, AFrameStillShortIsDecodedButNotPaintedAndRaisesTheThreshold) {
    // The camera closes the stream in the middle of the last frame.
    std::vector<uint8_t> last = QuadrantJpeg(176, 144, 4);
    std::string cut = Part(last, std::nullopt);
    const size_t missing = last.size() / 2;
    cut.resize(cut.size() - 2 - missing);
    qern::test::PieceStream stream(Frames(176, 144, 4) + cut);
    LiveViewState state;
    StreamSessionCore session;
    session.SetVideoStream(&stream);
    TestHost host(state);
    EXPECT_EQ(VideoWorker(state, session, host).ProceedingVideoStream(), VideoWorker::RunEnd::StreamEnded);
    EXPECT_EQ(host.shown.size(), 3u);                     // frames 1..3 painted, the cut one not
    EXPECT_EQ(state.stats.framesDecoded.load(), 4u);      // but decoded into its buffer
    EXPECT_EQ(state.Shown(kMode176).load(), 4 % 3);       // and made the shown one
    EXPECT_GT(session.ring.Threshold(), FillLimits::kHeaderBytes + int32_t(missing) - 1);
    EXPECT_TRUE(host.GuardsIntact());
}

TEST(VideoWorker, WaitsForTheAddressAndGivesUpAfterFifteenChecks) {
    Rig rig(Frames(640, 480, 2));
    rig.host.addressAfter = 1000;
    EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::NoAddress);
    EXPECT_EQ(rig.host.addressChecks, 15);
    EXPECT_EQ(rig.host.pausedMs, 15u * 500u);
    EXPECT_TRUE(rig.state.m_bStreaming);  // the watchdog's stall count starts a new worker
    EXPECT_EQ(rig.host.opens, 0);

    Rig late(Frames(640, 480, 2));
    late.host.addressAfter = 3;
    EXPECT_EQ(late.Run(), VideoWorker::RunEnd::StreamEnded);
    EXPECT_EQ(late.host.closes, 1);  // an old stream is closed before the new one opens
}

TEST(VideoWorker, StopDuringTheWaitsEndsTheRun) {
    Rig rig(Frames(640, 480, 2));
    rig.host.addressAfter = 1000;
    rig.host.onPause = [&] { rig.state.m_bStreaming = false; };
    EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::Stopped);
    EXPECT_EQ(rig.host.addressChecks, 1);

    Rig audio(Frames(640, 480, 2));
    audio.host.audioStarted = false;
    audio.host.onPause = [&] {
        if (audio.host.pausedMs >= 900) audio.state.m_bStreaming = false;
    };
    EXPECT_EQ(audio.Run(), VideoWorker::RunEnd::Stopped);
    EXPECT_EQ(audio.host.pausedMs, 900u);
    EXPECT_TRUE(audio.host.shown.empty());

    Rig noAudio(Frames(640, 480, 2));
    noAudio.host.audioStarted = false;
    EXPECT_EQ(noAudio.Run(), VideoWorker::RunEnd::StreamEnded);
    EXPECT_EQ(noAudio.host.pausedMs, 9u * 300u);  // 2.7 s at most, then the video goes on
    EXPECT_EQ(noAudio.host.shown.size(), 1u);
}

TEST(VideoWorker, FailedOpenClearsTheStreamingFlag) {
    Rig rig(Frames(640, 480, 2));
    rig.host.openOk = false;
    EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::OpenFailed);
    EXPECT_FALSE(rig.state.m_bStreaming);
    EXPECT_EQ(rig.state.stats.workerRuns.load(), 1u);
}

TEST(VideoWorker, UnallocatedBuffersAreSkipped) {
    Rig rig(Frames(640, 480, 3));
    rig.host.missingBuffer = true;
    rig.Run();
    EXPECT_TRUE(rig.host.shown.empty());
    EXPECT_EQ(rig.state.stats.framesDropped.load(), 2u);
    EXPECT_EQ(rig.host.hookCalls, 0);
}

TEST(VideoWorker, GarbageAndBrokenFramesDoNotStopTheStream) {
    std::vector<uint8_t> broken = QuadrantJpeg(640, 480, 2);
    broken.resize(broken.size() / 3);  // cut short, declared with its own (short) length
    std::string bytes = Frames(640, 480, 2) + std::string(9000, 'x') + Part(broken, std::nullopt) +
                        Part(std::vector<uint8_t>(500, 0x11), std::nullopt) + Frames(640, 480, 1, 3);
    Rig rig(bytes);
    EXPECT_EQ(rig.Run(), VideoWorker::RunEnd::StreamEnded);
    ASSERT_GE(rig.host.shown.size(), 2u);
    EXPECT_EQ(rig.host.shown.back().frame, 3);
    EXPECT_TRUE(rig.host.GuardsIntact());
}

}  // namespace
}  // namespace liveview
