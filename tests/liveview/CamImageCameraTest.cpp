// The live view against the camera simulator: in place in a container, it connects, decodes and
// paints the camera's frames; a reconnect stops the stream at once and the watchdog tick starts it again.
// Run beside a simulator (QERN_CAMSIM_PORT, user and password admin).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "tests/module/OleApartment.h"
#include "tests/module/TestContainer.h"

using qern::BStr;
using qern::ComPtr;

namespace {

std::wstring CameraUrl() {
    const char* port = std::getenv("QERN_CAMSIM_PORT");
    return L"http://127.0.0.1:" + std::wstring(port ? port : "0", port ? port + std::strlen(port) : nullptr) +
           L"/video.cgi";
}

// Pumps messages until done() or ms pass.
template <class Done>
bool PumpUntil(Done done, DWORD ms) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        PumpMessages(20);
    }
    return true;
}

// Counts strongly red pixels in the control's window.
int RedPixels(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    int w = rc.right, h = rc.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC wdc = GetDC(hwnd);
    HBITMAP dib = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(wdc);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    int red = 0;
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    for (int i = 0; i < w * h; ++i, p += 4)
        if (p[2] > 180 && p[1] < 80 && p[0] < 80) ++red;
    DeleteDC(mem);
    DeleteObject(dib);
    ReleaseDC(hwnd, wdc);
    return red;
}

class CamImageCamera : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("QERN_CAMSIM_PORT"), nullptr) << "run beside the camera simulator";
        ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_IOleObject, ole.put_void()), S_OK);
        ASSERT_EQ(ole.query(IID_ICamImage, cam), S_OK);
        self = static_cast<CCamImage*>(cam.get());
        ASSERT_EQ(ole->SetClientSite(&container), S_OK);
        RECT pos = container.Position();
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &container, 0, container.Window(), &pos), S_OK);
        ComPtr<IOleWindow> window;
        ASSERT_EQ(ole.query(IID_IOleWindow, window), S_OK);
        ASSERT_EQ(window->GetWindow(&hwnd), S_OK);
    }
    void TearDown() override {
        if (!ole) return;
        ComPtr<IOleInPlaceObject> inplace;
        if (SUCCEEDED(ole.query(IID_IOleInPlaceObject, inplace))) inplace->InPlaceDeactivate();
        ole->SetClientSite(nullptr);
    }
    void Connect() {
        cam->put_User(BStr(L"admin").get());
        cam->put_Password(BStr(L"admin").get());
        ASSERT_EQ(cam->put_URL(BStr(CameraUrl().c_str()).get()), S_OK);
        // The worker was started at construction and is still waiting for the address.
    }
    uint32_t Painted() const { return self->Stats().framesPainted.load(); }

    TestContainer container;
    ComPtr<IOleObject> ole;
    ComPtr<ICamImage> cam;
    CCamImage* self = nullptr;
    HWND hwnd = nullptr;
};

}  // namespace

TEST_F(CamImageCamera, ShowsTheCamerasPicture) {
    Connect();
    ASSERT_TRUE(PumpUntil([&] { return Painted() >= 5; }, 20000)) << "frames painted: " << Painted();
    EXPECT_EQ(self->Mode(), 0);  // 640 x 480 from the first frame's width
    EXPECT_GT(RedPixels(hwnd), 1000);
    EXPECT_NE(self->OverlayText(), "RADaz");
    EXPECT_TRUE(self->IsStreaming());
}

TEST_F(CamImageCamera, ReconnectStopsAtOnceAndTheTickStartsAgain) {
    Connect();
    ASSERT_TRUE(PumpUntil([&] { return Painted() >= 3; }, 20000));
    DWORD start = GetTickCount();
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    EXPECT_LT(GetTickCount() - start, 1000u);  // the deadline is 200 ms; generous under Wine
    EXPECT_FALSE(self->VideoWorkerRunning());
    EXPECT_FALSE(self->IsStreaming());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);

    uint32_t before = Painted();
    EXPECT_EQ(self->OnTimer(), liveview::WatchdogOutcome::Reconnected);
    EXPECT_TRUE(self->IsStreaming());
    EXPECT_TRUE(PumpUntil([&] { return Painted() >= before + 3; }, 20000));

    // With Reconnect cleared a stopped stream stays stopped.
    ASSERT_EQ(cam->put_Reconnect(0), S_OK);
    EXPECT_EQ(self->OnTimer(), liveview::WatchdogOutcome::Idle);
    EXPECT_FALSE(self->IsStreaming());
}

// Beside a simulator that stops sending after some frames but keeps the connection open.
TEST_F(CamImageCamera, StallReconnectEndsTheBlockedWorkerWithoutTerminating) {
    Connect();
    ASSERT_TRUE(PumpUntil([&] { return Painted() >= 3; }, 20000));
    // The simulator stalls after its frames: the worker is left blocked in a read.
    uint32_t last = Painted();
    PumpUntil([&] {
        PumpMessages(300);
        uint32_t now = Painted();
        bool still = now == last;
        last = now;
        return still;
    }, 10000);
    ASSERT_TRUE(self->VideoWorkerRunning());

    DWORD start = GetTickCount();
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    EXPECT_LT(GetTickCount() - start, 1000u);  // the deadline is 200 ms; generous under Wine
    EXPECT_FALSE(self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
}

TEST_F(CamImageCamera, StallWatchdogRestartsAfterTheLimit) {
    KillTimer(hwnd, CCamImage::kWatchdogTimerId);  // this case delivers the ticks itself
    Connect();
    ASSERT_TRUE(PumpUntil([&] { return Painted() >= 3; }, 20000));
    uint32_t last = Painted();
    PumpUntil([&] {
        PumpMessages(300);
        uint32_t now = Painted();
        bool still = now == last;
        last = now;
        return still;
    }, 10000);
    uint32_t before = Painted();
    // Ticks while the worker is blocked: counted, repainted from the second, restarted after 15.
    EXPECT_EQ(self->OnTimer(), liveview::WatchdogOutcome::Counted);
    for (int tick = 2; tick <= 15; ++tick) EXPECT_EQ(self->OnTimer(), liveview::WatchdogOutcome::Repainted) << tick;
    EXPECT_EQ(self->OnTimer(), liveview::WatchdogOutcome::Restarted);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
    // The new worker connects again and the simulator sends its frames anew.
    EXPECT_TRUE(PumpUntil([&] { return Painted() >= before + 3; }, 20000));
}
