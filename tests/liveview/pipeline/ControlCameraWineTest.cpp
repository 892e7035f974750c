// The live-view control end to end: in place in a container, pointed at the camera simulator
// through its properties. Each group needs the simulator started with particular options; ctest
// runs each group beside its own simulator (QERN_LV_CAMERA names it) and a group skips itself
// under any other.
#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "liveview/pipeline/FramePainter.h"
#include "liveview/pipeline/OverlayText.h"
#include "tests/liveview/pipeline/CamsimPicture.h"
#include "tests/module/OleApartment.h"
#include "tests/module/TestContainer.h"

using qern::BStr;
using qern::ComPtr;

namespace liveview {
namespace {

using test::Capture;
using test::CheckCamsimPicture;

std::string Camera() {
    const char* c = std::getenv("QERN_LV_CAMERA");
    return c ? c : "";
}

#define REQUIRE_CAMERA(name)                                                                  \
    if (Camera() != (name) || test::CamsimPort() == 0) GTEST_SKIP() << "needs camsim " name; \
    else (void)0

template <class Done>
bool PumpUntil(Done done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        PumpMessages(10);
    }
    return true;
}

class Control : public ::testing::Test {
protected:
    // pos: the control's rectangle in the container's window.
    void Activate(RECT pos = {0, 0, 320, 240}, const std::wstring& pageUrl = L"") {
        container.reset(new TestContainer(pageUrl, pos));
        ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_IOleObject, ole.put_void()), S_OK);
        ASSERT_EQ(ole.query(IID_ICamImage, cam), S_OK);
        self = static_cast<CCamImage*>(cam.get());
        ASSERT_EQ(ole->SetClientSite(container.get()), S_OK);
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, container.get(), 0, container->Window(), &pos), S_OK);
        ComPtr<IOleWindow> window;
        ASSERT_EQ(ole.query(IID_IOleWindow, window), S_OK);
        ASSERT_EQ(window->GetWindow(&hwnd), S_OK);
        SetWindowPos(container->Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PumpMessages(50);
    }
    void TearDown() override {
        SetEnvironmentVariableA(Watchdog::kPeriodVariable, nullptr);
        if (ole) {
            ComPtr<IOleInPlaceObject> inplace;
            if (SUCCEEDED(ole.query(IID_IOleInPlaceObject, inplace))) inplace->InPlaceDeactivate();
            ole->SetClientSite(nullptr);
        }
        cam = nullptr;
        ole = nullptr;
        container.reset();
    }
    void Connect() {
        cam->put_User(BStr(L"admin").get());
        cam->put_Password(BStr(L"admin").get());
        const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(test::CamsimPort()) + L"/video.cgi";
        ASSERT_EQ(cam->put_URL(BStr(url.c_str()).get()), S_OK);
    }
    uint32_t Painted() const { return self->Stats().framesPainted.load(); }
    // Waits for `count` more painted frames, then copies the window.
    Capture Settle(uint32_t count = 4) {
        const uint32_t target = Painted() + count;
        EXPECT_TRUE(PumpUntil([&] { return Painted() >= target; }, 20000)) << "painted " << Painted();
        return Capture(hwnd);
    }
    LONG Action(int action) {
        LONG v = -1;
        EXPECT_EQ(cam->setaction(action, &v), S_OK);
        return v;
    }

    std::unique_ptr<TestContainer> container;
    ComPtr<IOleObject> ole;
    ComPtr<ICamImage> cam;
    CCamImage* self = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(Control, ShowsThePictureTurnedAsAsked) {
    REQUIRE_CAMERA("plain");
    Activate();
    Connect();
    Capture upright = Settle(6);
    EXPECT_EQ(self->Mode(), kMode640);
    EXPECT_EQ(CheckCamsimPicture(upright, false, false), "");
    for (int flags : {1, 2, 3}) {
        cam->put_UpsideDown(flags & 1);
        cam->put_Mirror(flags & 2 ? 1 : 0);
        Capture c = Settle(4);
        EXPECT_EQ(CheckCamsimPicture(c, flags & 1, flags & 2), "") << "flags " << flags;
    }
}

TEST_F(Control, StretchOffCentresAndZoomFiveEnlarges) {
    REQUIRE_CAMERA("plain");
    Activate({0, 0, 700, 500});
    Connect();
    Settle(3);
    ASSERT_EQ(cam->put_Stretch(0), S_OK);
    Capture natural = Settle(3);
    // The 640 x 480 picture sits at (30, 10): red bar at picture (80, 300), grey at (560, 300).
    EXPECT_TRUE(test::Near(natural.At(110, 310), 255, 0, 0, 40));
    EXPECT_TRUE(test::Near(natural.At(590, 310), 128, 128, 128, 40));
    EXPECT_TRUE(test::Near(natural.At(15, 310), 0, 0, 0, 0));
    EXPECT_TRUE(test::Near(natural.At(685, 310), 0, 0, 0, 0));
    EXPECT_TRUE(test::Near(natural.At(300, 495), 0, 0, 0, 0));

    ASSERT_EQ(cam->put_Stretch(1), S_OK);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Action(2), 1);
    EXPECT_EQ(self->Zoom(), 5);
    Capture zoomed = Settle(3);
    // 700 x 500 at factor 1.5: destination (-175, -125, 1050, 750). Window x = 0.3 * 1050 - 175
    // = 140 is picture 0.3 (green); at zoom 0 it would be picture 0.2 (red).
    EXPECT_TRUE(test::Near(zoomed.At(140, 250), 0, 255, 0, 40));
    EXPECT_TRUE(test::Near(zoomed.At(5, 250), 255, 0, 0, 40));
    int red = 0;
    for (int y = 32; y < 48; ++y)
        for (int x = 2; x < 90; ++x) red += zoomed.Red(x, y);
    EXPECT_GT(red, 20);  // "ZoomIn X 5"
    for (int i = 0; i < 5; ++i) Action(3);
    EXPECT_EQ(self->Zoom(), 0);
}

std::vector<uint8_t> g_frame(size_t(640) * 480 * 4);
void Invert() {
    for (uint8_t& b : g_frame) b = uint8_t(~b);
}

TEST_F(Control, CallbackShowsTheNegativeAndIsRefusedToUntrustedCallers) {
    REQUIRE_CAMERA("plain");
    Activate();
    Connect();
    Settle(3);
    ASSERT_EQ(cam->gettmp(LONG(reinterpret_cast<uintptr_t>(g_frame.data()))), S_OK);
    ASSERT_EQ(cam->SetImageProcessCallback(LONG(reinterpret_cast<uintptr_t>(&Invert))), S_OK);
    Capture negative = Settle(4);
    EXPECT_TRUE(test::Near(negative.At(40, 200), 0, 255, 255, 40));   // red bar turned cyan
    EXPECT_TRUE(test::Near(negative.At(120, 200), 255, 0, 255, 40));  // green turned magenta
    EXPECT_TRUE(test::Near(negative.At(160, 48), 0, 0, 0, 40));       // white band turned black

    // A page's script is an untrusted caller: it may switch the hook off but not set one.
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(ole.query(IID_IObjectSafety, safety), S_OK);
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                INTERFACESAFE_FOR_UNTRUSTED_CALLER),
              S_OK);
    EXPECT_EQ(cam->SetImageProcessCallback(0), S_OK);
    Capture normal = Settle(3);
    EXPECT_EQ(CheckCamsimPicture(normal, false, false), "");
    EXPECT_EQ(cam->SetImageProcessCallback(LONG(reinterpret_cast<uintptr_t>(&Invert))), E_ACCESSDENIED);
    EXPECT_EQ(cam->gettmp(LONG(reinterpret_cast<uintptr_t>(g_frame.data()))), E_ACCESSDENIED);
    Capture still = Settle(3);
    EXPECT_EQ(CheckCamsimPicture(still, false, false), "");
    EXPECT_EQ(cam->gettmp(0), S_OK);

    // The other export members accept and change nothing.
    LONG untouched = 1234;
    EXPECT_EQ(cam->getbmpdata_a(&untouched), S_OK);
    EXPECT_EQ(untouched, 1234);
    BSTR text = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(cam->getbmpdata(&text), S_OK);
    EXPECT_EQ(text, reinterpret_cast<BSTR>(0x1234));
    EXPECT_EQ(cam->getdata(77), S_OK);
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

TEST_F(Control, TwentyRestartsLeakNoThreadHandleOrWorker) {
    REQUIRE_CAMERA("plain");
    Activate({0, 0, 160, 120});
    Connect();
    Settle(3);
    cam->put_Reconnect(1);
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Reconnected);
    Settle(3);
    // The sound's threads (player, mixer, timer) are there before counting.
    ASSERT_TRUE(PumpUntil([&] { return self->Audio()->AudioStarted(); }, 5000));
    const int threads = ThreadCount();
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const LONG terminated = CCamImage::TerminatedWorkers();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(cam->put_Reconnect(1), S_OK);  // stops the stream
        EXPECT_FALSE(self->VideoWorkerRunning());
        ASSERT_EQ(self->OnTimer(), WatchdogOutcome::Reconnected) << i;
        Settle(2);
    }
    PumpMessages(300);
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), terminated);
    // A leak would be a thread a restart; the sound's connection keeps Wine's WinINet pool
    // busier, which may add one worker meanwhile.
    EXPECT_LE(ThreadCount(), threads + 1);
    EXPECT_LE(handlesAfter, handles + 2) << "handles before " << handles;
    EXPECT_EQ(self->Stats().streamsOpened.load(), 22u);
}

TEST_F(Control, ExactStampsGiveTwentyFiveAndTheOverlayText) {
    REQUIRE_CAMERA("stamps");
    Activate({0, 0, 640, 480});
    Connect();
    ASSERT_TRUE(PumpUntil([&] { return Painted() >= 60; }, 30000));
    EXPECT_EQ(Action(6), 25);
    ASSERT_EQ(cam->put_Reconnect(0), S_OK);  // stops; the last frame stays on screen
    // The worker may have been stopped between writing a frame's text and painting it:
    // paint once more so the window shows the text we compare with.
    ASSERT_EQ(cam->UpdateView(), S_OK);
    PumpMessages(100);
    const std::string text = self->OverlayText();
    ASSERT_EQ(text.size(), 32u) << text;
    EXPECT_EQ(text.substr(0, 14), "2026/12/06 21:");
    EXPECT_EQ(text.substr(text.size() - 9), "   FPS:25");
    Capture c(hwnd);
    std::vector<bool> ref = test::ReferenceText(hwnd, 640, 480, 2, 2, kOverlayColour, text.c_str());
    int yellow = 0, mismatches = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 320; ++x) {
            yellow += ref[size_t(y) * 640 + x];
            mismatches += c.Yellow(x, y) != ref[size_t(y) * 640 + x];
        }
    EXPECT_GT(yellow, 50);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Control, StalledCameraIsRepaintedThenRestarted) {
    REQUIRE_CAMERA("stall");
    // Only the ticks below count: the window's own tick waits a minute.
    SetEnvironmentVariableA(Watchdog::kPeriodVariable, "60000");
    Activate();
    SetEnvironmentVariableA(Watchdog::kPeriodVariable, nullptr);
    Connect();
    Settle(5);
    PumpMessages(500);  // the camera has stopped sending; the worker waits in its read
    const uint32_t painted = Painted();
    std::vector<WatchdogOutcome> outcomes;
    for (int i = 0; i < 15; ++i) outcomes.push_back(self->OnTimer());
    EXPECT_EQ(Painted(), painted);
    outcomes.push_back(self->OnTimer());
    EXPECT_EQ(outcomes[0], WatchdogOutcome::Counted);
    for (int i = 1; i < 15; ++i) EXPECT_EQ(outcomes[size_t(i)], WatchdogOutcome::Repainted) << i;
    EXPECT_EQ(outcomes[15], WatchdogOutcome::Restarted);
    Settle(3);  // the new connection streams again
    EXPECT_EQ(self->Stats().streamsOpened.load(), 2u);
    EXPECT_EQ(self->Stats().watchdogRestarts.load(), 1u);
}

TEST_F(Control, DroppedConnectionIsReconnectedByTheWindowsTimer) {
    REQUIRE_CAMERA("drop");
    Activate();
    Connect();
    // The camera closes each connection after 20 frames; the one-second tick reconnects.
    ASSERT_TRUE(PumpUntil([&] { return self->Stats().streamsOpened >= 3; }, 15000))
        << "opened " << self->Stats().streamsOpened;
    EXPECT_GE(self->Stats().reconnects.load(), 2u);
    Capture c = Settle(3);
    EXPECT_EQ(CheckCamsimPicture(c, false, false), "");
}

TEST_F(Control, LimitGrowsUpToSixtyWhileTheCameraNeverAnswers) {
    REQUIRE_CAMERA("noanswer");
    Activate({0, 0, 160, 120});
    Connect();
    std::vector<int> gaps;
    int ticks = 0;
    for (int i = 0; i < 600 && gaps.size() < 11; ++i) {
        ++ticks;
        if (self->OnTimer() == WatchdogOutcome::Restarted) {
            gaps.push_back(ticks);
            ticks = 0;
        }
    }
    // Limits 15, 20, ..., 60: a restart after more ticks than the limit each time. The window's
    // own timer counted some ticks before the loop, so the first gap may be shorter.
    ASSERT_EQ(gaps.size(), 11u);
    EXPECT_LE(gaps[0], 16);
    const std::vector<int> expected = {21, 26, 31, 36, 41, 46, 51, 56, 61, 61};
    EXPECT_EQ(std::vector<int>(gaps.begin() + 1, gaps.end()), expected);
    EXPECT_EQ(self->Stats().framesParsed.load(), 0u);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
}

TEST_F(Control, TickArmedWithTheWindowTakesThePagesAddress) {
    REQUIRE_CAMERA("plain");
    SetEnvironmentVariableA(Watchdog::kPeriodVariable, "5000");  // out of the way of the test's own ticks
    const std::wstring base = L"http://127.0.0.1:" + std::to_wstring(test::CamsimPort());
    Activate({0, 0, 320, 240}, base + L"/index.html");
    EXPECT_TRUE(self->WatchdogArmed());
    EXPECT_EQ(self->WatchdogPeriod(), 5000u);
    cam->put_User(BStr(L"admin").get());
    cam->put_Password(BStr(L"admin").get());
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    // No URL: the tick takes the page's scheme, host and port and the default path.
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::PageReconnected);
    BStr url;
    cam->get_URL(url.put());
    EXPECT_EQ(std::wstring(url.get() ? url.get() : L""), base);
    EXPECT_EQ(self->VideoPath(), "/video.cgi");
    Capture c = Settle(4);
    EXPECT_EQ(CheckCamsimPicture(c, false, false), "");
}

TEST_F(Control, WithoutAnyAddressTheTicksEndUntilAnAddressIsSet) {
    REQUIRE_CAMERA("plain");
    Activate();
    EXPECT_TRUE(self->WatchdogArmed());
    EXPECT_EQ(self->WatchdogPeriod(), Watchdog::kDefaultPeriodMs);
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::TimerKilled);
    EXPECT_FALSE(self->WatchdogArmed());
    Connect();  // an address arms the tick again
    EXPECT_TRUE(self->WatchdogArmed());
    EXPECT_EQ(self->OnTimer(), WatchdogOutcome::Reconnected);
    Settle(3);
}

TEST_F(Control, StalledCameraRestartsOnTheWindowsShortTick) {
    REQUIRE_CAMERA("stall");
    SetEnvironmentVariableA(Watchdog::kPeriodVariable, "40");
    Activate();
    EXPECT_EQ(self->WatchdogPeriod(), 40u);
    Connect();
    // Each connection stalls after 10 frames; 16 ticks of 40 ms later the view restarts it.
    ASSERT_TRUE(PumpUntil([&] { return self->Stats().streamsOpened >= 3; }, 20000))
        << "opened " << self->Stats().streamsOpened;
    EXPECT_GE(self->Stats().watchdogRestarts.load(), 2u);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
}

}  // namespace
}  // namespace liveview
