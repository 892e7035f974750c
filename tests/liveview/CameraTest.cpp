// The live view: the control built in alone and its painter (in the plain camera's run), then end to end
// in a container beside the camera simulator set up its own way for each group (SETUP), or ffmpeg.
#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>

#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "liveview/LiveViewShared.h"
#include "liveview/pipeline/FramePainter.h"
#include "tests/module/OleApartment.h"
#include "tests/support/Camsim.h"
#include "tests/support/InPlaceContainer.h"
#include "tests/support/Process.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"

namespace qern {

using namespace qern::test;

namespace {

const std::function<void()> kPump = [] { PumpMessages(); };
std::wstring Wide(const std::string& s) { return {s.begin(), s.end()}; }
constexpr COLORREF kYellow = RGB(255, 255, 0), kRed = RGB(255, 0, 0);  // the overlay's and the alerts' colours

class Camera : public ::testing::Test {
protected:
    void Create() {
        ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_IOleObject, m_ole.put_void()), S_OK);
        ASSERT_EQ(m_ole.query(IID_ICamImage, m_cam), S_OK);
        m_self = static_cast<CCamImage*>(m_cam.get());
    }
    void Activate(camhost::Rect pos = {0, 0, 320, 240}, const std::wstring& pageUrl = L"") {
        m_container.reset(new InPlaceContainer(pos, pageUrl));
        Create();
        ASSERT_EQ(m_container->Activate(m_ole.get()), S_OK) << m_container->error;
        m_hwnd = m_container->Control();
        PumpMessages(50);
    }
    void TearDown() override {
        SetEnvironmentVariableA(Watchdog::kPeriodVariable, nullptr);
        m_container.reset();
        m_cam = nullptr;
        m_ole = nullptr;
    }
    // The names are temporaries: the control must keep its own copies.
    void Connect(bool withUrl = true) {
        m_cam->put_User(BStr(L"admin").get());
        m_cam->put_Password(BStr(L"admin").get());
        ASSERT_TRUE(!withUrl || m_cam->put_URL(BStr(Wide(CamsimUrl("/video.cgi")).c_str()).get()) == S_OK);
    }
    uint32_t Painted() const { return m_self->Stats().framesPainted.load(); }
    bool WaitPainted(uint32_t count, int ms = 20000) {
        const uint32_t target = Painted() + count;
        return WaitFor([&] { return Painted() >= target; }, ms, kPump);
    }
    // Waits for `count` more frames (they show the current options), then copies the window. A
    // repaint it still owes (a new size erases the view) would blank the copy, so it goes first.
    Capture Settle(uint32_t count = 4) {
        EXPECT_TRUE(WaitPainted(count)) << "painted " << Painted();
        UpdateWindow(m_hwnd);
        EXPECT_TRUE(WaitPainted(2)) << "painted " << Painted();
        return Capture(m_hwnd);
    }
    void WaitForStall() {
        uint32_t last = Painted();
        WaitFor(
            [&] {
                PumpMessages(300);
                const uint32_t now = Painted();
                return std::exchange(last, now) == now;
            },
            10000);
    }
    void Start(camhost::Rect pos = {0, 0, 320, 240}) {
        Activate(pos);
        Connect();
        Settle(3);
    }
    LONG Action(int action) {
        LONG v = -1;
        EXPECT_EQ(m_cam->setaction(action, &v), S_OK);
        return v;
    }
    std::wstring Url() {
        BStr url;
        EXPECT_EQ(m_cam->get_URL(url.put()), S_OK);
        return url.get() ? std::wstring(url.get()) : L"<null>";
    }

    std::unique_ptr<InPlaceContainer> m_container;
    ComPtr<IOleObject> m_ole;
    ComPtr<ICamImage> m_cam;
    CCamImage* m_self = nullptr;
    HWND m_hwnd = nullptr;
};

std::vector<uint8_t> g_frame(size_t(640) * 480 * 4);
void Invert() {
    for (uint8_t& b : g_frame) b = uint8_t(~b);
}
void Hang() { Sleep(20000); }
LONG AddressOf(const void* p) { return LONG(reinterpret_cast<uintptr_t>(p)); }

// The control without a container or an address, in the plain run before any view paints (fresh named events).
class CamImage : public Camera {
protected:
    void SetUp() override {
        QERN_NEED_CAMSIM("plain");
        Create();
    }
    void Release() { m_cam = nullptr, m_ole = nullptr; }
};

TEST_F(CamImage, DefaultsGreyBuffersAndBoundedDestruction) {
    EXPECT_EQ(m_cam->get_Stretch(nullptr), E_POINTER);
    VARIANT_BOOL autoSize = VARIANT_TRUE;
    BStr user;
    EXPECT_EQ(m_cam->get_AutoSize(&autoSize) | m_cam->get_User(user.put()), S_OK);
    EXPECT_TRUE(autoSize == VARIANT_FALSE && user.get() == nullptr);
    EXPECT_EQ(Url(), L"<null>");
    EXPECT_EQ(m_self->Mode(), 3);
    EXPECT_EQ(m_self->OverlayText(), "RADaz");
    const int widths[3] = {640, 320, 176}, heights[3] = {480, 240, 144};
    for (int m = 0; m < 3; ++m)
        for (int i = 0; i < 3; ++i) {
            const DibBuffer& b = m_self->Buffer(m, i);
            const DWORD bytes = DWORD(widths[m]) * heights[m] * 4;
            const BITMAPINFOHEADER want{40, widths[m], heights[m], 1, 32, BI_RGB, bytes, 3780, 3780, 0, 0};
            ASSERT_TRUE(b.IsValid());
            EXPECT_EQ(std::memcmp(b.Header(), &want, sizeof want), 0);
            EXPECT_EQ(b.Size(), int32_t(40 + bytes));
            ASSERT_EQ(b.GetBits(), reinterpret_cast<const uint8_t*>(b.Header()) + 40);
            EXPECT_TRUE(b.GetBits()[0] == 0xCC && b.GetBits()[bytes - 1] == 0xCC);
        }
    // Its sound reader waits for an address; going is bounded all the same.
    ASSERT_EQ(AudioReader::RunningReaders(), 1);
    EXPECT_TRUE(EndsWithin([&] { Release(); }, 1500));
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}

TEST(DibBuffer, InvalidBuffersGiveNoPixels) {
    DibBuffer dib;
    EXPECT_EQ(dib.GetBits(), nullptr);
    EXPECT_FALSE(dib.Create(0, 10, 32));
    EXPECT_FALSE(dib.Create(100000, 100000, 32));  // more than a block can hold
    ASSERT_TRUE(dib.Create(16, 16, 32));
    auto* h = const_cast<BITMAPINFOHEADER*>(dib.Header());
    for (auto spoil : {+[](BITMAPINFOHEADER& x) { x.biBitCount = 12; },
                       +[](BITMAPINFOHEADER& x) { x.biSizeImage += 4; }, +[](BITMAPINFOHEADER& x) { x.biHeight = 32; },
                       +[](BITMAPINFOHEADER& x) { x.biCompression = BI_BITFIELDS; }}) {
        const BITMAPINFOHEADER good = *h;
        spoil(*h);
        EXPECT_FALSE(dib.IsValid());
        EXPECT_EQ(dib.GetBits(), nullptr);
        *h = good;
        EXPECT_TRUE(dib.IsValid());
    }
}

TEST_F(CamImage, UrlGivesTheBaseAndKeepsThePath) {
    struct Case {
        const wchar_t* url;
        const wchar_t* base;
        const char* path;
        bool address;
    } cases[] = {
        {L"/video.cgi", L"<null>", "/video.cgi", false},  // no page to take the server from
        {L"http://localhost/cgi/video.cgi", L"http://localhost:80", "/cgi/video.cgi", true},
        {nullptr, L"<null>", "", false},
    };
    for (const Case& c : cases) {
        if (!c.url) m_cam->put_URL(BStr(L"http://127.0.0.1:82/x").get());  // to be cleared
        ASSERT_EQ(m_cam->put_URL(c.url ? BStr(c.url).get() : nullptr), S_OK);
        EXPECT_EQ(Url(), c.base) << (c.url ? c.url : L"null");
        EXPECT_EQ(m_self->VideoPath(), c.path);
        EXPECT_EQ(m_self->HasCameraAddress(), c.address);
    }
}

TEST_F(CamImage, NoOpMembersLeaveOutParametersAloneAndSetactionZoomsAndAnswers) {
    LONG display = 42, data = 43;
    BSTR bmp = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(m_cam->get_Display(&display) | m_cam->put_Display(9) | m_cam->getdata(1234) | m_cam->getbmpdata(&bmp) |
                  m_cam->getbmpdata_a(&data),
              S_OK);
    EXPECT_TRUE(display == 42 && data == 43 && bmp == reinterpret_cast<BSTR>(0x1234));

    SharedLiveView().zoomCounter = 0;
    for (int i = 1; i <= 15; ++i) EXPECT_EQ(Action(2), 1);
    EXPECT_EQ(Action(2), -1);
    Action(3);
    EXPECT_EQ(m_self->Zoom(), 14);
    SharedLiveView().zoomCounter = 0;
    EXPECT_EQ(Action(3), -1);
    SharedLiveView().recordingActive = 1;
    EXPECT_EQ(Action(5), 1);
    SharedLiveView().recordingActive = 0;
    EXPECT_EQ((std::vector<LONG>{Action(5), Action(6), Action(0), Action(99)}), (std::vector<LONG>{0, 0, 1, -1}));
    EXPECT_EQ(m_cam->setaction(2, nullptr), S_OK);
}

TEST_F(CamImage, ReconnectStopsAWorkerWaitingForAnAddressAtOnceAndAnAddressEndsTheWait) {
    const LONG terminated = CCamImage::TerminatedWorkers();
    ASSERT_TRUE(m_self->VideoWorkerRunning());
    EXPECT_TRUE(EndsWithin([&] { ASSERT_EQ(m_cam->put_Reconnect(1), S_OK); }, 1000));
    EXPECT_FALSE(m_self->IsStreaming());
    EXPECT_FALSE(m_self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), terminated);  // it ended by itself
    ASSERT_TRUE(m_self->StartVideoStream());
    EXPECT_TRUE(m_self->VideoWorkerRunning());
    // Nothing listens there: the worker finds the address, fails to open and ends.
    ASSERT_EQ(m_cam->put_URL(BStr(L"http://127.0.0.1:9/video.cgi").get()), S_OK);
    EXPECT_TRUE(WaitFor([&] { return !m_self->VideoWorkerRunning(); }, 3000));
    EXPECT_FALSE(m_self->IsStreaming());
}

TEST_F(CamImage, EventsAreSharedByNameAndTheNewestViewIsCurrent) {
    HANDLE paint = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, "PaintOK");
    HANDLE dump = OpenEventA(SYNCHRONIZE, FALSE, "DumpOK");
    ASSERT_TRUE(paint && dump);
    EXPECT_EQ(WaitForSingleObject(paint, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // manual reset, not signalled
    ComPtr<ICamImage> second;
    ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, second.put_void()), S_OK);
    Release();  // the older one going does not clear the newer one's place
    EXPECT_EQ(SharedLiveView().currentLiveView.Peek(), static_cast<CCamImage*>(second.get()));
    second = nullptr;
    EXPECT_EQ(SharedLiveView().currentLiveView.Peek(), nullptr);
    for (HANDLE h : {paint, dump}) CloseHandle(h);
}

TEST_F(CamImage, DestructionClosesTheAudioReadersMessageBox) {
    ASSERT_EQ(m_cam->put_Reconnect(1), S_OK);
    const qern::test::MessageBox box = FindMessageBox(3000);
    ASSERT_NE(box.hwnd, nullptr);
    EXPECT_EQ(box.text + L"|" + box.caption, L"ProceedingAudioStream m_bStreaming fail..|");  // no caption
    EXPECT_TRUE(EndsWithin([&] { Release(); }, 2500));
    EXPECT_FALSE(IsWindow(box.hwnd));
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}

// The painter alone, on a 32-bit bottom-up bitmap whose every pixel tells its own picture coordinates:
// blue = x mod 256, green = y mod 256, red = (x / 256) x 16 + y / 256. `grey` paints it plain.
struct CoordinateBitmap {
    CoordinateBitmap(int w, int h, int mode, bool grey = false) {
        dib.Create(w, h, 32);
        src.mode = mode, src.header = dib.Header(), src.bits = dib.GetBits();
        for (int y = 0; y < h && !grey; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = dib.GetBits() + (size_t(h - 1 - y) * w + x) * 4;
                p[0] = uint8_t(x & 255), p[1] = uint8_t(y & 255), p[2] = uint8_t(((x >> 8) << 4) | (y >> 8)), p[3] = 0;
            }
    }
    DibBuffer dib;
    PaintSource src;
};

POINT Decode(const Rgb& c) { return {((c.r >> 4) << 8) | c.b, ((c.r & 15) << 8) | c.g}; }

void ExpectOnlyText(const Capture& c, HWND hwnd, int x, int y, COLORREF colour, const char* text) {
    int drawn = 0;
    EXPECT_EQ(TextDrawn(c, hwnd, x, y, colour, text, &drawn), 1.0) << text;
    EXPECT_EQ(c.Count(colour), drawn) << text;
}

TEST(Painter, EachWindowPixelShowsItsPicturePixelAndTextsAreDrawnWhereTheyBelongInTheirColours) {
    QERN_NEED_CAMSIM("plain");
    const KernelHandle paintEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE paintOK = paintEvent.Get();
    struct Case {
        int window, picture, mode;
        bool stretch;
        int zoom;
        RECT dest;  // where the whole picture lands, in window pixels
    } cases[] = {
        {400, 320, 1, true, 0, {0, 0, 400, 300}},
        {400, 320, 1, true, 5, {-100, -75, 600, 450}},    // factor 1.5 about the centre
        {800, 640, 0, false, 5, {80, 60, 640, 480}},      // natural size centred; zoom has no effect
        {200, 640, 0, false, 0, {-220, -165, 640, 480}},  // the centre of a larger picture
    };
    for (const Case& k : cases) {
        TestWindow window(k.window, k.window * 3 / 4);
        CoordinateBitmap picture(k.picture, k.picture * 3 / 4, k.mode);
        PaintSource s = picture.src;
        s.stretch = k.stretch;
        s.zoom = k.zoom;
        ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
        EXPECT_EQ(WaitForSingleObject(paintOK, 0), WAIT_OBJECT_0);
        Capture c(window.hwnd());
        const int w = c.width(), h = c.height(), pw = k.picture, ph = k.picture * 3 / 4;
        for (POINT at : {POINT{0, 0}, POINT{w - 1, h - 1}, POINT{w / 2, h / 2}, POINT{w / 7, h * 7 / 9}}) {
            const int px = int((at.x - k.dest.left) * int64_t(pw) / k.dest.right);
            const int py = int((at.y - k.dest.top) * int64_t(ph) / k.dest.bottom);
            if (px < 0 || py < 0 || px >= pw || py >= ph) {
                EXPECT_TRUE(Near(c.At(at.x, at.y), 0, 0, 0, 0)) << "black at " << at.x << "," << at.y;
                continue;
            }
            const POINT p = Decode(c.At(at.x, at.y));
            const int slack = k.stretch ? 1 : 0;
            EXPECT_NEAR(p.x, px, slack) << k.window << "/" << k.zoom << " at " << at.x << "," << at.y;
            EXPECT_NEAR(p.y, py, slack) << k.window << "/" << k.zoom << " at " << at.x << "," << at.y;
        }
    }

    TestWindow window(320, 240);
    CoordinateBitmap picture(320, 240, 1, true);
    PaintSource s = picture.src;
    s.overlayText = "2026/12/06 21:24:10.160   FPS:25";
    s.recording = true;
    s.zoom = 3;
    ASSERT_TRUE(PaintFrame(window.hwnd(), s, paintOK));
    Capture c(window.hwnd());
    ExpectOnlyText(c, window.hwnd(), 2, 2, kYellow, s.overlayText);
    int rec = 0, zoom = 0;
    EXPECT_EQ(TextDrawn(c, window.hwnd(), 2, 18, kRed, "REC", &rec), 1.0);
    EXPECT_EQ(TextDrawn(c, window.hwnd(), 2, 32, kRed, "ZoomIn X 3", &zoom), 1.0);
    EXPECT_EQ(c.Count(kRed), rec + zoom);
    const int gdi = GdiObjectCount();
    for (int i = 0; i < 50; ++i) PaintFrame(window.hwnd(), s, paintOK);
    EXPECT_LE(GdiObjectCount(), gdi);
    // An unknown size draws nothing and leaves the event alone; a missing buffer still gets its text.
    EXPECT_TRUE(WaitForPaint(paintOK, 0));
    EXPECT_EQ(WaitForSingleObject(paintOK, 0), DWORD(WAIT_TIMEOUT));  // reset by the wait
    const int yellow = Capture(window.hwnd()).Count(kYellow);
    s.mode = 3;
    s.overlayText = "FPS:01";
    EXPECT_FALSE(PaintFrame(window.hwnd(), s, paintOK));
    EXPECT_FALSE(WaitForPaint(paintOK, 1));
    EXPECT_EQ(Capture(window.hwnd()).Count(kYellow), yellow);
    PaintSource none;
    none.mode = 2;
    none.overlayText = "FPS:03";
    ASSERT_TRUE(PaintFrame(window.hwnd(), none, paintOK));
    Capture blank(window.hwnd());
    EXPECT_TRUE(Near(blank.At(100, 100), 0, 0, 0, 0));
    ExpectOnlyText(blank, window.hwnd(), 2, 2, kYellow, "FPS:03");

    TestWindow large(800, 600);
    CoordinateBitmap big(640, 480, 0, true);
    PaintSource n = big.src;
    n.stretch = false;
    n.overlayText = "FPS:07";
    ASSERT_TRUE(PaintFrame(large.hwnd(), n, paintOK));
    ExpectOnlyText(Capture(large.hwnd()), large.hwnd(), 82, 62, kYellow, "FPS:07");
}

TEST_F(Camera, TakesThePagesAddressShowsThePictureTurnedAsAskedAndItsNegativeOnlyToTrustedCallers) {
    QERN_NEED_CAMSIM("plain");
    SetEnvironmentVariableA(Watchdog::kPeriodVariable, "5000");  // out of the way of the test's ticks
    const std::wstring base = Wide(CamsimUrl());
    Activate({0, 0, 320, 240}, base + L"/index.html");
    EXPECT_TRUE(m_self->WatchdogArmed());
    Connect(false);
    ASSERT_EQ(m_cam->put_Reconnect(1), S_OK);
    EXPECT_EQ(m_self->OnTimer(), WatchdogOutcome::PageReconnected);
    EXPECT_EQ(Url(), base);
    EXPECT_EQ(m_self->VideoPath(), "/video.cgi");
    // A hook without its buffer is neither fed nor called.
    ASSERT_EQ(m_cam->gettmp(0), S_OK);
    ASSERT_EQ(m_cam->SetImageProcessCallback(AddressOf(reinterpret_cast<void*>(&Invert))), S_OK);
    for (int flags : {1, 2, 3, 0}) {
        m_cam->put_UpsideDown(flags & 1);
        m_cam->put_Mirror(flags & 2 ? 1 : 0);
        EXPECT_EQ(CamsimPictureFaults(Settle(4), flags & 1, flags & 2), "") << "flags " << flags;
    }
    ASSERT_EQ(m_cam->gettmp(AddressOf(g_frame.data())), S_OK);
    Capture negative = Settle(4);
    EXPECT_TRUE(Near(negative.At(40, 200), 0, 255, 255, 40));  // red bar turned cyan
    EXPECT_TRUE(Near(negative.At(160, 48), 0, 0, 0, 40));      // white band turned black

    // A page's script is an untrusted caller: it may switch the hook off but not set one.
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(m_ole.query(IID_IObjectSafety, safety), S_OK);
    const DWORD untrusted = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, untrusted, untrusted), S_OK);
    EXPECT_EQ(m_cam->SetImageProcessCallback(0), S_OK);
    EXPECT_EQ(m_cam->SetImageProcessCallback(AddressOf(reinterpret_cast<void*>(&Invert))), E_ACCESSDENIED);
    EXPECT_EQ(m_cam->gettmp(AddressOf(g_frame.data())), E_ACCESSDENIED);
    EXPECT_EQ(CamsimPictureFaults(Settle(3)), "");
    EXPECT_EQ(m_cam->gettmp(0), S_OK);
}

TEST_F(Camera, StretchOffCentresZoomFiveEnlargesAndAHungHookIsTerminated) {
    QERN_NEED_CAMSIM("plain");
    Start({0, 0, 700, 500});
    ASSERT_EQ(m_cam->put_Stretch(0), S_OK);
    Capture natural = Settle(3);
    // The 640 x 480 picture sits at (30, 10): red bar at picture (80, 300), black left of it.
    EXPECT_TRUE(Near(natural.At(110, 310), 255, 0, 0, 40));
    EXPECT_TRUE(Near(natural.At(15, 310), 0, 0, 0, 0));

    ASSERT_EQ(m_cam->put_Stretch(1), S_OK);
    SharedLiveView().zoomCounter = 0;  // the zoom is every view's
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Action(2), 1);
    EXPECT_EQ(m_self->Zoom(), 5);
    Capture zoomed = Settle(3);
    // 700 x 500 at factor 1.5: destination (-175, -125, 1050, 750). Window x = 0.3 * 1050 - 175
    // = 140 is picture 0.3 (green); at zoom 0 it would be picture 0.2 (red).
    EXPECT_TRUE(Near(zoomed.At(140, 250), 0, 255, 0, 40));
    EXPECT_GT(TextDrawn(zoomed, m_hwnd, 2, 32, kRed, "ZoomIn X 5"), 0.99);

    const LONG terminated = CCamImage::TerminatedWorkers();
    ASSERT_EQ(m_cam->gettmp(AddressOf(g_frame.data())), S_OK);
    ASSERT_EQ(m_cam->SetImageProcessCallback(AddressOf(reinterpret_cast<void*>(&Hang))), S_OK);
    WaitForStall();
    long took = 0;
    EXPECT_TRUE(EndsWithin([&] { m_cam->put_Reconnect(1); }, 1500, &took)) << took << " ms";
    EXPECT_GE(took, long(CCamImage::kStopWaitMs) - 20);
    EXPECT_FALSE(m_self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), terminated + 1);
    m_cam->SetImageProcessCallback(0);  // the hook is the process's, not the view's
}

TEST_F(Camera, TicksEndWithoutAnAddressAndTwentyRestartsLeakNoThreadHandleOrWorker) {
    QERN_NEED_CAMSIM("plain");
    Activate({0, 0, 160, 120});
    ASSERT_EQ(m_cam->put_Reconnect(1), S_OK);
    EXPECT_EQ(m_self->OnTimer(), WatchdogOutcome::TimerKilled);
    EXPECT_FALSE(m_self->WatchdogArmed());
    Connect();
    EXPECT_TRUE(m_self->WatchdogArmed());
    EXPECT_EQ(m_self->OnTimer(), WatchdogOutcome::Reconnected);
    Settle(3);
    PumpMessages(300);
    const int threads = ThreadCount();
    DWORD handles = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const LONG terminated = CCamImage::TerminatedWorkers();
    for (int i = 0; i < 20; ++i) {
        // Reconnect stops at once (the bound is 200 ms; generous under Wine).
        EXPECT_TRUE(EndsWithin([&] { m_cam->put_Reconnect(1); }, 1000)) << i;
        EXPECT_FALSE(m_self->VideoWorkerRunning() || m_self->IsStreaming());
        ASSERT_EQ(m_self->OnTimer(), WatchdogOutcome::Reconnected) << i;
        Settle(2);
    }
    // WinINet's asynchronous requests run on Wine's thread pool, which keeps up to three idle
    // workers for good (the same after 10 or 80 restarts); a thread per restart would add 20.
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= threads + 4; }, 10000, kPump))
        << ThreadCount() << " > " << threads << " + 4";
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), terminated);
    EXPECT_LE(handlesAfter, handles + 2) << "handles before " << handles;
    EXPECT_EQ(m_self->Stats().streamsOpened.load(), 21u);
    ASSERT_EQ(m_cam->put_Reconnect(0), S_OK);
    EXPECT_EQ(m_self->OnTimer(), WatchdogOutcome::Idle);
    EXPECT_FALSE(m_self->IsStreaming());
}

TEST_F(Camera, SizesSwitchedMidStreamAreEachShownInTheCamerasOrder) {
    QERN_NEED_CAMSIM("cycle");
    Start();
    std::vector<int32_t> seen;
    WaitFor(
        [&] {
            if (!WaitPainted(1, 10000)) return true;
            const int32_t mode = m_self->Mode();
            if (!seen.empty() && seen.back() == mode) return false;
            // A new size: three of its frames through, then look (the cycle is 60 frames).
            if (!WaitPainted(3, 10000) || m_self->Mode() != mode) return false;
            EXPECT_EQ(CamsimPictureFaults(Capture(m_hwnd)), "") << "mode " << mode;
            seen.push_back(mode);
            return seen.size() >= 4;
        },
        40000);
    ASSERT_GE(seen.size(), 4u);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i], (seen[i - 1] + 1) % 3);
}

TEST_F(Camera, ExactStampsGiveTwentyFiveAndTheOverlayText) {
    QERN_NEED_CAMSIM("stamps");
    Start({0, 0, 640, 480});
    ASSERT_TRUE(WaitPainted(60, 30000));
    EXPECT_EQ(Action(6), 25);
    ASSERT_EQ(m_cam->put_Reconnect(0), S_OK);  // stops; the last frame stays on screen
    // The worker may have been stopped between writing a frame's text and painting it.
    ASSERT_EQ(m_cam->UpdateView(), S_OK);
    PumpMessages(100);
    const std::string text = m_self->OverlayText();
    // Started at 2026-12-06 21:24:09 UTC, 25 frames a second: hundredths step by 4.
    ASSERT_TRUE(std::regex_match(text, std::regex(R"(2026/12/06 21:\d\d:\d\d\.\d\d0   FPS:25)"))) << text;
    EXPECT_EQ(std::stoi(text.substr(20, 2)) % 4, 0) << text;
    EXPECT_EQ(TextDrawn(Capture(m_hwnd), m_hwnd, 2, 2, kYellow, text), 1.0);
}

TEST_F(Camera, StalledCameraIsRestartedByTheShortTickAndAStopEndsTheBlockedRead) {
    QERN_NEED_CAMSIM("stall");
    SetEnvironmentVariableA(Watchdog::kPeriodVariable, "40");
    Start();
    // Each connection stalls after 10 frames; 16 ticks of 40 ms later the window's timer restarts it.
    ASSERT_TRUE(WaitFor([&] { return m_self->Stats().streamsOpened >= 3; }, 20000, kPump))
        << "opened " << m_self->Stats().streamsOpened;
    EXPECT_GE(m_self->Stats().watchdogRestarts.load(), 2u);
    // Stalled, with no tick to restart it: a stop closes the stream and the blocked worker ends by itself.
    KillTimer(m_hwnd, CCamImage::kWatchdogTimerId);
    WaitForStall();
    ASSERT_TRUE(m_self->VideoWorkerRunning());
    EXPECT_TRUE(EndsWithin([&] { m_cam->put_Reconnect(1); }, 1000));
    EXPECT_FALSE(m_self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
}

TEST_F(Camera, LimitGrowsWhileTheCameraNeverAnswers) {
    QERN_NEED_CAMSIM("noanswer");
    Activate({0, 0, 160, 120});
    Connect();
    int restarts = 0;
    for (int i = 0; i < 200; ++i) restarts += m_self->OnTimer() == WatchdogOutcome::Restarted;
    // Limits 15 (partly counted by the window's timer), 20, 25, 30, 35, 40; a seventh needs more than 200 ticks.
    EXPECT_EQ(restarts, 6);
    EXPECT_EQ(m_self->Stats().framesParsed.load(), 0u);
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);
}

TEST_F(Camera, ASlowCamerasFramesComeOnTheOneRequest) {
    QERN_NEED_CAMSIM("slow");
    Activate();
    long took = 0;
    EndsWithin([&] { Connect(), WaitPainted(3, 30000); }, 0, &took);
    EXPECT_GE(took, 4900) << "frames before the camera answered";
    EXPECT_GE(Painted(), 3u);
    EXPECT_EQ(m_self->Stats().streamsOpened.load(), 1u);
    const std::string log = CamsimRequestLog(), get = " GET /video.cgi";
    EXPECT_TRUE(log.find(get) != std::string::npos && log.find(get) == log.rfind(get)) << log;
}

TEST_F(Camera, ShowsFfmpegsStreamWithoutStampsAtItsOwnRate) {
    QERN_NEED_CAMSIM("ffmpeg");
    Start();
    ASSERT_TRUE(WaitPainted(75, 30000)) << "painted " << Painted();
    PumpMessages(2500);  // past the burst of frames queued while connecting
    Capture c = Settle(3);
    EXPECT_EQ(m_self->Mode(), kMode640);
    EXPECT_TRUE(Near(c.At(80, 120), 255, 0, 0, 40));
    EXPECT_TRUE(Near(c.At(240, 120), 0, 0, 255, 40));
    // No stamps: the rate is the computer's clock's, the text the rate alone.
    EXPECT_NEAR(Action(6), 25, 4);
    const std::string text = m_self->OverlayText();
    ASSERT_TRUE(text.size() == 6 && text.rfind("FPS:", 0) == 0) << text;
    EXPECT_NEAR(std::stoi(text.substr(4)), 25, 4) << text;
    EXPECT_GT(c.Count(kYellow, 0, 0, 60, 20), 10);
}

}  // namespace

}  // namespace qern
