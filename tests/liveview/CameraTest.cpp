// The live view end to end: the control in place in a container, against the camera simulator (or
// ffmpeg), each group beside a camera set up its own way (qern_add_camsim_test SETUP).
#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "tests/module/OleApartment.h"
#include "tests/support/Camsim.h"
#include "tests/support/InPlaceContainer.h"
#include "tests/support/Process.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"

using qern::BStr;
using qern::ComPtr;
using namespace qern::test;
using liveview::WatchdogOutcome;

namespace {

const std::function<void()> kPump = [] { PumpMessages(); };
constexpr COLORREF kYellow = RGB(255, 255, 0), kRed = RGB(255, 0, 0);  // the overlay's and the alerts' colours

class Camera : public ::testing::Test {
protected:
    // pos: the control's place on the page; pageUrl: the page's address, if any.
    void Activate(camhost::Rect pos = {0, 0, 320, 240}, const std::wstring& pageUrl = L"") {
        container.reset(new InPlaceContainer(pos, pageUrl));
        ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_IOleObject, ole.put_void()), S_OK);
        ASSERT_EQ(ole.query(IID_ICamImage, cam), S_OK);
        self = static_cast<CCamImage*>(cam.get());
        ASSERT_EQ(container->Activate(ole.get()), S_OK) << container->error;
        hwnd = container->Control();
        PumpMessages(50);
    }
    void TearDown() override {
        SetEnvironmentVariableA(liveview::Watchdog::kPeriodVariable, nullptr);
        container.reset();
        cam = nullptr;
        ole = nullptr;
    }
    // The names are temporaries: the control must keep its own copies.
    void Connect(bool withUrl = true) {
        cam->put_User(BStr(L"admin").get());
        cam->put_Password(BStr(L"admin").get());
        const std::string url = CamsimUrl("/video.cgi");
        if (!withUrl) return;
        ASSERT_EQ(cam->put_URL(BStr(std::wstring(url.begin(), url.end()).c_str()).get()), S_OK);
    }
    uint32_t Painted() const { return self->Stats().framesPainted.load(); }
    bool WaitPainted(uint32_t count, int ms = 20000) {
        const uint32_t target = Painted() + count;
        return WaitFor([&] { return Painted() >= target; }, ms, kPump);
    }
    // Waits for `count` more frames (they show the current options), then copies the window. A
    // repaint it still owes (a new size erases the view) would blank the copy, so it goes first.
    Capture Settle(uint32_t count = 4) {
        EXPECT_TRUE(WaitPainted(count)) << "painted " << Painted();
        UpdateWindow(hwnd);
        EXPECT_TRUE(WaitPainted(2)) << "painted " << Painted();
        return Capture(hwnd);
    }
    // Until two looks 300 ms apart see no new frame.
    void WaitForStall() {
        uint32_t last = Painted();
        WaitFor([&] {
            PumpMessages(300);
            const uint32_t now = Painted();
            return std::exchange(last, now) == now;
        }, 10000);
    }
    void Start(camhost::Rect pos = {0, 0, 320, 240}) {
        Activate(pos);
        Connect();
        Settle(3);
    }
    LONG Action(int action) {
        LONG v = -1;
        EXPECT_EQ(cam->setaction(action, &v), S_OK);
        return v;
    }

    std::unique_ptr<InPlaceContainer> container;
    ComPtr<IOleObject> ole;
    ComPtr<ICamImage> cam;
    CCamImage* self = nullptr;
    HWND hwnd = nullptr;
};

std::vector<uint8_t> g_frame(size_t(640) * 480 * 4);
void Invert() {
    for (uint8_t& b : g_frame) b = uint8_t(~b);
}
void Hang() { Sleep(20000); }
LONG AddressOf(const void* p) { return LONG(reinterpret_cast<uintptr_t>(p)); }

TEST_F(Camera, ShowsThePictureTurnedAsAskedAndItsNegativeOnlyToTrustedCallers) {
    QERN_NEED_CAMSIM("plain");
    Start();
    EXPECT_EQ(self->Mode(), liveview::kMode640);
    EXPECT_EQ(CamsimPictureFaults(Settle(3)), "");
    for (int flags : {1, 2, 3, 0}) {
        cam->put_UpsideDown(flags & 1);
        cam->put_Mirror(flags & 2 ? 1 : 0);
        EXPECT_EQ(CamsimPictureFaults(Settle(4), flags & 1, flags & 2), "") << "flags " << flags;
    }
    ASSERT_EQ(cam->gettmp(AddressOf(g_frame.data())), S_OK);
    ASSERT_EQ(cam->SetImageProcessCallback(AddressOf(reinterpret_cast<void*>(&Invert))), S_OK);
    Capture negative = Settle(4);
    EXPECT_TRUE(Near(negative.At(40, 200), 0, 255, 255, 40));   // red bar turned cyan
    EXPECT_TRUE(Near(negative.At(120, 200), 255, 0, 255, 40));  // green turned magenta
    EXPECT_TRUE(Near(negative.At(160, 48), 0, 0, 0, 40));       // white band turned black

    // A page's script is an untrusted caller: it may switch the hook off but not set one.
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(ole.query(IID_IObjectSafety, safety), S_OK);
    const DWORD untrusted = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, untrusted, untrusted), S_OK);
    EXPECT_EQ(cam->SetImageProcessCallback(0), S_OK);
    EXPECT_EQ(CamsimPictureFaults(Settle(3)), "");
    EXPECT_EQ(cam->SetImageProcessCallback(AddressOf(reinterpret_cast<void*>(&Invert))), E_ACCESSDENIED);
    EXPECT_EQ(cam->gettmp(AddressOf(g_frame.data())), E_ACCESSDENIED);
    EXPECT_EQ(CamsimPictureFaults(Settle(3)), "");
    EXPECT_EQ(cam->gettmp(0), S_OK);
}

TEST_F(Camera, StretchOffCentresAndZoomFiveEnlarges) {
    QERN_NEED_CAMSIM("plain");
    Start({0, 0, 700, 500});
    ASSERT_EQ(cam->put_Stretch(0), S_OK);
    Capture natural = Settle(3);
    // The 640 x 480 picture sits at (30, 10): red bar at picture (80, 300), grey at (560, 300).
    EXPECT_TRUE(Near(natural.At(110, 310), 255, 0, 0, 40));
    EXPECT_TRUE(Near(natural.At(590, 310), 128, 128, 128, 40));
    for (POINT black : {POINT{15, 310}, POINT{685, 310}, POINT{300, 495}})
        EXPECT_TRUE(Near(natural.At(black.x, black.y), 0, 0, 0, 0)) << black.x << "," << black.y;

    ASSERT_EQ(cam->put_Stretch(1), S_OK);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Action(2), 1);
    EXPECT_EQ(self->Zoom(), 5);
    Capture zoomed = Settle(3);
    // 700 x 500 at factor 1.5: destination (-175, -125, 1050, 750). Window x = 0.3 * 1050 - 175
    // = 140 is picture 0.3 (green); at zoom 0 it would be picture 0.2 (red).
    EXPECT_TRUE(Near(zoomed.At(140, 250), 0, 255, 0, 40));
    EXPECT_TRUE(Near(zoomed.At(5, 250), 255, 0, 0, 40));
    EXPECT_GT(TextDrawn(zoomed, hwnd, 2, 32, kRed, "ZoomIn X 5"), 0.99);
}

TEST_F(Camera, TicksEndWithoutAnAddressAndTwentyRestartsLeakNoThreadHandleOrWorker) {
    QERN_NEED_CAMSIM("plain");
    Activate({0, 0, 160, 120});
    EXPECT_EQ(self->WatchdogPeriod(), liveview::Watchdog::kDefaultPeriodMs);
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::TimerKilled);
    EXPECT_FALSE(self->WatchdogArmed());
    Connect();  // an address arms the tick again
    EXPECT_TRUE(self->WatchdogArmed());
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Reconnected);
    Settle(3);
    // Reconnect stops at once (the bound is 200 ms; generous under Wine); the tick starts again.
    EXPECT_TRUE(EndsWithin([&] { ASSERT_EQ(cam->put_Reconnect(1), S_OK); }, 1000));
    EXPECT_FALSE(self->VideoWorkerRunning());
    EXPECT_FALSE(self->IsStreaming());
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Reconnected);
    Settle(3);
    PumpMessages(300);
    const int threads = ThreadCount();
    DWORD handles = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const LONG terminated = CCamImage::TerminatedWorkers();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(cam->put_Reconnect(1), S_OK);
        EXPECT_FALSE(self->VideoWorkerRunning());
        ASSERT_EQ(self->OnTimer(), WatchdogOutcome::Reconnected) << i;
        Settle(2);
    }
    // WinINet's asynchronous requests run on Wine's thread pool, which keeps up to three idle
    // workers for good (the same after 10 or 80 restarts); a thread per restart would add 20.
    const int kPoolWorkers = 4;
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= threads + kPoolWorkers; }, 10000, kPump))
        << ThreadCount() << " > " << threads << " + " << kPoolWorkers;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), terminated);
    EXPECT_LE(handlesAfter, handles + 2) << "handles before " << handles;
    EXPECT_EQ(self->Stats().streamsOpened.load(), 22u);
    // With Reconnect cleared a stopped stream stays stopped.
    ASSERT_EQ(cam->put_Reconnect(0), S_OK);
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Idle);
    EXPECT_FALSE(self->IsStreaming());
}

TEST_F(Camera, AWorkerThatWillNotEndIsTerminatedAfterTheBound) {
    QERN_NEED_CAMSIM("plain");
    Start();
    const LONG terminated = CCamImage::TerminatedWorkers();
    ASSERT_EQ(cam->gettmp(AddressOf(g_frame.data())), S_OK);
    ASSERT_EQ(cam->SetImageProcessCallback(AddressOf(reinterpret_cast<void*>(&Hang))), S_OK);
    WaitForStall();  // the worker sits in the callback
    long took = 0;
    EXPECT_TRUE(EndsWithin([&] { cam->put_Reconnect(1); }, 1500, &took)) << took << " ms";
    EXPECT_GE(took, long(CCamImage::kStopWaitMs) - 20);
    EXPECT_FALSE(self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), terminated + 1);
    cam->SetImageProcessCallback(0);
}

TEST_F(Camera, PagesAddressIsTakenByTheTickWithoutAUrl) {
    QERN_NEED_CAMSIM("plain");
    SetEnvironmentVariableA(liveview::Watchdog::kPeriodVariable, "5000");  // out of the way of the test's ticks
    const std::string base = CamsimUrl();
    Activate({0, 0, 320, 240}, std::wstring(base.begin(), base.end()) + L"/index.html");
    EXPECT_TRUE(self->WatchdogArmed());
    EXPECT_EQ(self->WatchdogPeriod(), 5000u);
    Connect(false);
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    // No URL: the tick takes the page's scheme, host and port and the default path.
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::PageReconnected);
    BStr url;
    cam->get_URL(url.put());
    EXPECT_EQ(std::wstring(url.get() ? url.get() : L""), std::wstring(base.begin(), base.end()));
    EXPECT_EQ(self->VideoPath(), "/video.cgi");
    EXPECT_EQ(CamsimPictureFaults(Settle(4)), "");
}

TEST_F(Camera, SizesSwitchedMidStreamAreEachShownInTheCamerasOrder) {
    QERN_NEED_CAMSIM("cycle");
    Activate();
    Connect();
    std::vector<int32_t> seen;
    WaitFor([&] {
        if (!WaitPainted(1, 10000)) return true;
        const int32_t mode = self->Mode();
        if (!seen.empty() && seen.back() == mode) return false;
        // A new size: three of its frames through, then look (the cycle is 60 frames).
        if (!WaitPainted(3, 10000) || self->Mode() != mode) return false;
        EXPECT_EQ(CamsimPictureFaults(Capture(hwnd)), "") << "mode " << mode;
        seen.push_back(mode);
        return seen.size() >= 4;
    }, 40000);
    ASSERT_GE(seen.size(), 4u);
    // 640 -> 320 -> 176 -> 640: the order of the camera's cycle.
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i], (seen[i - 1] + 1) % 3);
}

TEST_F(Camera, ExactStampsGiveTwentyFiveAndTheOverlayText) {
    QERN_NEED_CAMSIM("stamps");
    Activate({0, 0, 640, 480});
    Connect();
    ASSERT_TRUE(WaitPainted(60, 30000));
    EXPECT_EQ(Action(6), 25);
    ASSERT_EQ(cam->put_Reconnect(0), S_OK);  // stops; the last frame stays on screen
    // The worker may have been stopped between writing a frame's text and painting it.
    ASSERT_EQ(cam->UpdateView(), S_OK);
    PumpMessages(100);
    const std::string text = self->OverlayText();
    // Started at 2026-12-06 21:24:09 UTC, 25 frames a second: hundredths step by 4.
    ASSERT_EQ(text.size(), 32u) << text;
    EXPECT_EQ(text.substr(0, 14), "2026/12/06 21:");
    EXPECT_EQ(text.substr(text.size() - 9), "   FPS:25");
    EXPECT_EQ(std::stoi(text.substr(20, 2)) % 4, 0) << text;
    EXPECT_EQ(TextDrawn(Capture(hwnd), hwnd, 2, 2, kYellow, text), 1.0);
}

TEST_F(Camera, StalledCameraIsRepaintedThenRestartedAndAStopEndsTheBlockedRead) {
    QERN_NEED_CAMSIM("stall");
    SetEnvironmentVariableA(liveview::Watchdog::kPeriodVariable, "40");
    Activate();
    EXPECT_EQ(self->WatchdogPeriod(), 40u);
    Connect();
    // Each connection stalls after 10 frames; 16 ticks of 40 ms later the window's timer restarts it.
    ASSERT_TRUE(WaitFor([&] { return self->Stats().streamsOpened >= 3; }, 20000, kPump))
        << "opened " << self->Stats().streamsOpened;
    EXPECT_GE(self->Stats().watchdogRestarts.load(), 2u);
    // From here the case delivers the ticks itself, on a new connection.
    KillTimer(hwnd, CCamImage::kWatchdogTimerId);
    EXPECT_TRUE(EndsWithin([&] { cam->put_Reconnect(1); }, 1000));
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Reconnected);
    Settle(5);
    const uint32_t opened = self->Stats().streamsOpened, restarts = self->Stats().watchdogRestarts;
    WaitForStall();
    const uint32_t painted = Painted();
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Counted);
    for (int tick = 2; tick <= 15; ++tick) EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Repainted) << tick;
    EXPECT_EQ(Painted(), painted);
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Restarted);
    Settle(3);  // the new connection streams again
    EXPECT_EQ(self->Stats().streamsOpened.load(), opened + 1);
    EXPECT_EQ(self->Stats().watchdogRestarts.load(), restarts + 1);
    // Stalled again: a stop closes the stream and the blocked worker ends by itself, at once.
    WaitForStall();
    ASSERT_TRUE(self->VideoWorkerRunning());
    EXPECT_TRUE(EndsWithin([&] { cam->put_Reconnect(1); }, 1000));
    EXPECT_FALSE(self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
}

TEST_F(Camera, DroppedConnectionIsReconnectedByTheWindowsTimer) {
    QERN_NEED_CAMSIM("drop");
    Activate();
    Connect();
    // Each connection closes after 20 frames; the one-second tick reconnects.
    ASSERT_TRUE(WaitFor([&] { return self->Stats().streamsOpened >= 3; }, 15000, kPump))
        << "opened " << self->Stats().streamsOpened;
    EXPECT_GE(self->Stats().reconnects.load(), 2u);
    EXPECT_EQ(CamsimPictureFaults(Settle(3)), "");
}

TEST_F(Camera, LimitGrowsUpToSixtyWhileTheCameraNeverAnswers) {
    QERN_NEED_CAMSIM("noanswer");
    Activate({0, 0, 160, 120});
    Connect();
    std::vector<int> gaps;
    int ticks = 0;
    for (int i = 0; i < 600 && gaps.size() < 11; ++i)
        if (++ticks, self->OnTimer() == WatchdogOutcome::Restarted) gaps.push_back(std::exchange(ticks, 0));
    // Limits 15, 20, ..., 60; the window's own timer counted some ticks before the loop.
    ASSERT_EQ(gaps.size(), 11u);
    EXPECT_LE(gaps[0], 16);
    EXPECT_EQ(std::vector<int>(gaps.begin() + 1, gaps.end()), (std::vector<int>{21, 26, 31, 36, 41, 46, 51, 56, 61, 61}));
    EXPECT_EQ(self->Stats().framesParsed.load(), 0u);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
}

// A camera that answers each request only after 5 s: the view waits for its one request.
TEST_F(Camera, ASlowCamerasFramesComeOnTheOneRequest) {
    QERN_NEED_CAMSIM("slow");
    Activate();
    long took = 0;
    EndsWithin([&] { Connect(), WaitPainted(3, 30000); }, 0, &took);
    EXPECT_GE(took, 4900) << "frames before the camera answered";
    EXPECT_GE(Painted(), 3u);
    EXPECT_EQ(self->Stats().streamsOpened.load(), 1u);
    const std::string log = CamsimRequestLog();
    size_t gets = 0;
    for (size_t at = log.find(" GET /video.cgi"); at != std::string::npos; at = log.find(" GET /video.cgi", at + 1))
        ++gets;
    EXPECT_EQ(gets, 1u) << log;
}

TEST_F(Camera, ShowsFfmpegsStreamWithoutStampsAtItsOwnRate) {
    QERN_NEED_CAMSIM("ffmpeg");
    Activate();
    Connect();
    ASSERT_TRUE(WaitPainted(75, 30000)) << "painted " << Painted();
    PumpMessages(2500);  // past the burst of frames queued while connecting
    Capture c = Settle(3);
    EXPECT_EQ(self->Mode(), liveview::kMode640);
    EXPECT_TRUE(Near(c.At(80, 120), 255, 0, 0, 40));
    EXPECT_TRUE(Near(c.At(240, 120), 0, 0, 255, 40));
    // No stamps at 25 frames a second: the rate comes from the computer's clock, the text is the rate alone.
    EXPECT_NEAR(Action(6), 25, 4);
    const std::string text = self->OverlayText();
    ASSERT_EQ(text.size(), 6u) << text;
    EXPECT_EQ(text.substr(0, 4), "FPS:");
    EXPECT_NEAR(std::stoi(text.substr(4)), 25, 4) << text;
    EXPECT_GT(c.Count(kYellow, 0, 0, 60, 20), 10);
}

}  // namespace
