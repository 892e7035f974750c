// The video pipeline end to end under Wine against the camera simulator. Each group needs the
// simulator started with particular options; ctest runs each group with its own simulator
// (QERN_LV_CAMERA names what it runs), and a group skips itself under any other.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/liveview/pipeline/CameraViewHost.h"

namespace liveview {
namespace {

using test::Capture;
using test::CameraViewHost;
using test::CheckCamsimPicture;

std::string Camera() {
    const char* c = std::getenv("QERN_LV_CAMERA");
    return c ? c : "";
}

#define REQUIRE_CAMERA(name)                                                       \
    if (Camera() != (name) || test::CamsimPort() == 0) GTEST_SKIP() << "needs camsim " name; \
    else (void)0

int32_t ExpectedMode() {
    const char* s = std::getenv("QERN_LV_SIZE");
    if (!s || std::strcmp(s, "640") == 0) return kMode640;
    return std::strcmp(s, "320") == 0 ? kMode320 : kMode176;
}

std::string Stats(CameraViewHost& v) {
    const LiveViewStats& s = v.state.stats;
    return "opened " + std::to_string(s.streamsOpened) + " parsed " + std::to_string(s.framesParsed) + " decoded " +
           std::to_string(s.framesDecoded) + " dropped " + std::to_string(s.framesDropped) + " painted " +
           std::to_string(s.framesPainted) + " mode " + std::to_string(v.state.m_mode) + " streaming " +
           std::to_string(v.state.m_bStreaming) + " running " + std::to_string(v.WorkerRunning());
}

// Frames painted later than `count` frames from now show the current options.
Capture Settle(CameraViewHost& view, uint32_t count = 4) {
    EXPECT_TRUE(view.WaitPainted(count, 15000)) << Stats(view);
    return Capture(view.window.hwnd());
}

TEST(CameraPicture, ShowsTheCameraPictureInEachSize) {
    REQUIRE_CAMERA("plain");
    CameraViewHost view(320, 240, test::CamsimPort());
    view.Start();
    Capture c = Settle(view, 6);
    EXPECT_EQ(view.state.m_mode.load(), ExpectedMode());
    EXPECT_EQ(CheckCamsimPicture(c, false, false), "");
    // The buffer offsets: 640 shows the frame just decoded, 320 the one before, 176 two before.
    const int32_t mode = view.state.m_mode;
    const uint32_t decoded = view.state.stats.framesDecoded;
    EXPECT_GE(decoded, 6u);
    EXPECT_EQ(view.state.Shown(mode).load(), int32_t(decoded % 3));
    EXPECT_TRUE(view.Stop());
    EXPECT_EQ(view.LastEnd(), VideoWorker::RunEnd::Stopped);
}

TEST(CameraPicture, UpsideDownAndMirrorTurnThePicture) {
    REQUIRE_CAMERA("plain");
    CameraViewHost view(320, 240, test::CamsimPort());
    view.Start();
    for (int flags : {1, 2, 3, 0}) {
        view.state.m_bUpsideDown = flags & 1;
        view.state.m_bMirror = flags & 2;
        Capture c = Settle(view, 5);
        EXPECT_EQ(CheckCamsimPicture(c, flags & 1, flags & 2), "") << "flags " << flags;
    }
}

TEST(CameraPicture, StretchOffCentresThePicture) {
    REQUIRE_CAMERA("plain");
    CameraViewHost view(800, 600, test::CamsimPort());
    view.state.m_bStretch = false;
    view.Start();
    Capture c = Settle(view);
    ASSERT_EQ(view.state.m_mode.load(), kMode640);
    // Red bar at picture (80, 300) is window (160, 360); grey at picture (560, 300).
    EXPECT_TRUE(test::Near(c.At(160, 360), 255, 0, 0, 40));
    EXPECT_TRUE(test::Near(c.At(640, 360), 128, 128, 128, 40));
    EXPECT_TRUE(test::Near(c.At(40, 360), 0, 0, 0, 0));   // left of the picture
    EXPECT_TRUE(test::Near(c.At(400, 570), 0, 0, 0, 0));  // below it
    EXPECT_TRUE(test::Near(c.At(400, 30), 0, 0, 0, 0));   // above it
}

TEST(CameraPicture, ZoomFiveEnlargesAboutTheCentre) {
    REQUIRE_CAMERA("plain");
    CameraViewHost view(400, 300, test::CamsimPort());
    view.Start();
    Capture plain = Settle(view);
    // Window (95, 120) is picture (0.24, 0.4) unzoomed: the red bar.
    EXPECT_TRUE(test::Near(plain.At(95, 120), 255, 0, 0, 40));
    view.state.m_zoom = 5;
    Capture zoomed = Settle(view);
    // Zoomed by 1.5 about the centre: window (95, 120) is picture (0.325, 0.43): the green bar.
    EXPECT_TRUE(test::Near(zoomed.At(95, 120), 0, 255, 0, 40));
    EXPECT_TRUE(test::Near(zoomed.At(20, 200), 255, 0, 0, 40));   // picture 0.2: red
    EXPECT_TRUE(test::Near(zoomed.At(275, 200), 0, 0, 255, 40));  // picture 0.625: blue
    EXPECT_TRUE(test::Near(zoomed.At(395, 200), 128, 128, 128, 40));  // picture 0.825: grey, not cut
    int red = 0;
    for (int y = 32; y < 48; ++y)
        for (int x = 2; x < 90; ++x) red += zoomed.Red(x, y);
    EXPECT_GT(red, 20);  // "ZoomIn X 5"
}

uint8_t* g_buffer = nullptr;
void Invert() {
    for (size_t i = 0; i < size_t(640) * 480 * 4; ++i) g_buffer[i] = uint8_t(~g_buffer[i]);
}

TEST(CameraCallback, InvertingCallbackShowsTheNegativeUntilSwitchedOff) {
    REQUIRE_CAMERA("plain");
    std::vector<uint8_t> buffer(size_t(640) * 480 * 4);
    g_buffer = buffer.data();
    CameraViewHost view(320, 240, test::CamsimPort());
    view.hookBuffer = reinterpret_cast<uintptr_t>(buffer.data());
    view.hookFunction = reinterpret_cast<uintptr_t>(&Invert);
    view.Start();
    Capture negative = Settle(view, 5);
    EXPECT_TRUE(test::Near(negative.At(40, 200), 0, 255, 255, 40));   // red bar turned cyan
    EXPECT_TRUE(test::Near(negative.At(120, 200), 255, 0, 255, 40));  // green turned magenta
    EXPECT_TRUE(test::Near(negative.At(160, 48), 0, 0, 0, 40));       // white band turned black
    view.hookFunction = 0;
    Capture normal = Settle(view, 3);
    EXPECT_EQ(CheckCamsimPicture(normal, false, false), "");
}

TEST(CameraSizes, SwitchesMidStreamShowEachSize) {
    REQUIRE_CAMERA("cycle");
    CameraViewHost view(320, 240, test::CamsimPort());
    view.Start();
    std::vector<int32_t> seen;
    const DWORD start = GetTickCount();
    while (seen.size() < 4 && GetTickCount() - start < 30000) {
        ASSERT_TRUE(view.WaitPainted(1, 10000));
        const int32_t mode = view.state.m_mode;
        if (!seen.empty() && seen.back() == mode) continue;
        // A new size: let three of its frames through, then look (the cycle is 60 frames).
        const uint32_t changes = view.sizeChanges;
        ASSERT_TRUE(view.WaitPainted(3, 10000));
        if (view.sizeChanges != changes || view.state.m_mode != mode) continue;
        Capture c(view.window.hwnd());
        EXPECT_EQ(CheckCamsimPicture(c, false, false), "") << "mode " << mode;
        seen.push_back(mode);
    }
    ASSERT_GE(seen.size(), 3u);
    // 640 -> 320 -> 176 -> 640: the order of the camera's cycle.
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i], (seen[i - 1] + 1) % 3);
    EXPECT_GE(view.state.stats.modeChanges.load(), 3u);
}

TEST(CameraStamps, TwentyFiveFramesASecondAndTheOverlayText) {
    REQUIRE_CAMERA("stamps");
    CameraViewHost view(640, 480, test::CamsimPort());
    view.Start();
    ASSERT_TRUE(view.WaitPainted(60, 20000));
    EXPECT_EQ(view.state.m_fps.load(), 25);
    ASSERT_TRUE(view.Stop());  // the last frame stays on screen with its text
    char text[kOverlayTextSize];
    view.state.m_overlayText.Get(text);
    const std::string t(text);
    // Started at 2026-12-06 21:24:09 UTC, 25 frames a second: hundredths step by 4.
    ASSERT_EQ(t.size(), 32u) << t;
    EXPECT_EQ(t.substr(0, 14), "2026/12/06 21:");
    EXPECT_EQ(t.substr(t.size() - 9), "   FPS:25");
    EXPECT_EQ(t[22], '0');
    EXPECT_EQ((std::atoi(t.substr(20, 2).c_str())) % 4, 0) << t;
    view.window.Pump(50);
    Capture c(view.window.hwnd());
    std::vector<bool> ref = test::ReferenceText(view.window.hwnd(), 640, 480, 2, 2, kOverlayColour, text);
    int yellow = 0, mismatches = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 320; ++x) {
            yellow += ref[size_t(y) * 640 + x];
            mismatches += c.Yellow(x, y) != ref[size_t(y) * 640 + x];
        }
    EXPECT_GT(yellow, 50);
    EXPECT_EQ(mismatches, 0);
}

TEST(CameraEnd, EndOfStreamEndsTheRunAndATickReconnects) {
    REQUIRE_CAMERA("drop");
    CameraViewHost view(320, 240, test::CamsimPort());
    view.Start();
    const DWORD start = GetTickCount();
    while (view.WorkerRunning() && GetTickCount() - start < 15000) view.window.Pump(20);
    ASSERT_FALSE(view.WorkerRunning());
    EXPECT_EQ(view.LastEnd(), VideoWorker::RunEnd::StreamEnded);
    EXPECT_FALSE(view.state.m_bStreaming);
    const uint32_t painted = view.state.stats.framesPainted;
    EXPECT_GE(painted, 10u);
    EXPECT_EQ(Watchdog::OnTimer(view.state, true, view), WatchdogOutcome::Reconnected);
    EXPECT_TRUE(view.WaitPainted(5, 15000));
    EXPECT_EQ(view.state.stats.streamsOpened.load(), 2u);
}

TEST(CameraStall, StalledStreamIsRepaintedThenRestarted) {
    REQUIRE_CAMERA("stall");
    CameraViewHost view(320, 240, test::CamsimPort());
    view.Start();
    // The camera stops after 10 frames (the last ones stay buffered below the threshold): the
    // worker blocks in its read.
    ASSERT_TRUE(view.WaitPainted(5, 15000));
    Sleep(500);
    const uint32_t painted = view.state.stats.framesPainted;
    EXPECT_EQ(Watchdog::OnTimer(view.state, true, view), WatchdogOutcome::Counted);
    EXPECT_EQ(Watchdog::OnTimer(view.state, true, view), WatchdogOutcome::Repainted);
    for (int i = 3; i <= 15; ++i) EXPECT_EQ(Watchdog::OnTimer(view.state, true, view), WatchdogOutcome::Repainted);
    EXPECT_EQ(view.state.stats.framesPainted.load(), painted);  // no progress meanwhile
    EXPECT_TRUE(view.WorkerRunning());
    EXPECT_EQ(Watchdog::OnTimer(view.state, true, view), WatchdogOutcome::Restarted);
    EXPECT_EQ(view.LastEnd(), VideoWorker::RunEnd::Stopped);  // the old worker ended by itself
    ASSERT_TRUE(view.WaitPainted(5, 15000));                    // the new connection streams
    EXPECT_EQ(view.state.m_wd_timeout.load(), 15);              // reset by the new worker's passes
    EXPECT_EQ(view.state.stats.streamsOpened.load(), 2u);
}

TEST(CameraNoAnswer, LimitGrowsUpToSixtyWhileTheCameraNeverAnswers) {
    REQUIRE_CAMERA("noanswer");
    CameraViewHost view(160, 120, test::CamsimPort());
    view.Start();
    std::vector<int32_t> limits;
    for (int tick = 0; tick < 450 && limits.size() < 11; ++tick) {
        if (Watchdog::OnTimer(view.state, true, view) == WatchdogOutcome::Restarted)
            limits.push_back(view.state.m_wd_timeout);
    }
    const std::vector<int32_t> expected = {20, 25, 30, 35, 40, 45, 50, 55, 60, 60, 60};
    EXPECT_EQ(limits, expected);
    EXPECT_EQ(view.state.stats.framesParsed.load(), 0u);
    EXPECT_TRUE(view.Stop());
}

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snap);
    return n;
}

TEST(CameraRestarts, TwentyRestartsLeakNoThreadOrHandle) {
    REQUIRE_CAMERA("plain");
    CameraViewHost view(160, 120, test::CamsimPort());
    view.Start();
    ASSERT_TRUE(view.WaitPainted(3, 15000));
    view.Stop();
    view.window.Pump(200);
    const int threads = ThreadCount();
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    int ended = 0;
    for (int i = 0; i < 20; ++i) {
        view.Start();
        ASSERT_TRUE(view.WaitPainted(2, 15000)) << i;
        ended += view.Stop() ? 1 : 0;
    }
    view.window.Pump(6000);  // the pool threads of WinINet's asynchronous requests retire after 5 s idle
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(ended, 20);  // no worker had to be terminated
    EXPECT_LE(ThreadCount(), threads);
    EXPECT_LE(handlesAfter, handles + 2) << "handles before " << handles;
    EXPECT_EQ(view.state.stats.streamsOpened.load(), 21u);
}

TEST(CameraPeer, ShowsFfmpegsStreamWithoutStampsAtItsOwnRate) {
    REQUIRE_CAMERA("ffmpeg");
    CameraViewHost view(320, 240, test::CamsimPort());
    view.Start();
    // 25 frames a second without stamps: the rate comes from the computer's clock, so let a few
    // seconds pass.
    ASSERT_TRUE(view.WaitPainted(75, 20000)) << Stats(view);
    view.window.Pump(2500);  // past any burst of frames queued while connecting
    EXPECT_EQ(view.state.m_mode.load(), kMode640);
    Capture c(view.window.hwnd());
    EXPECT_TRUE(test::Near(c.At(80, 120), 255, 0, 0, 40));
    EXPECT_TRUE(test::Near(c.At(240, 120), 0, 0, 255, 40));
    const int32_t fps = view.state.m_fps;
    EXPECT_GE(fps, 21);
    EXPECT_LE(fps, 29);
    char text[kOverlayTextSize];
    view.state.m_overlayText.Get(text);
    EXPECT_EQ(std::strlen(text), 6u) << text;
    EXPECT_EQ(std::string(text).substr(0, 4), "FPS:");
    EXPECT_NEAR(std::atoi(text + 4), 25, 4) << text;
    int yellow = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) yellow += c.Yellow(x, y);
    EXPECT_GT(yellow, 10);
}

}  // namespace
}  // namespace liveview
