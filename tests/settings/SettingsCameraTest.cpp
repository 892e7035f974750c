// The settings channel and the panel (beside a live view) against a camera simulator of their own started with
// non-default settings; the channel also against peers that answer in pieces, stay silent or never take the
// connection. The user's clicks and keys are mouse and key messages at the controls' positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "com/ComPtr.h"
#include "common/WinHandle.h"
#include "module/SettingsResource.h"
#include "settings/BitmapButton.h"
#include "settings/BitmapSlider.h"
#include "settings/SettingsChannel.h"
#include "tests/module/CamControlDll.h"
#include "tests/support/Camsim.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"
#include "tests/transport/LoopbackServer.h"
#include "tools/camhost/ControlSite.h"
#include "tools/camhost/HostFrame.h"

namespace qern {

namespace {

using namespace camhost;
using Strings = std::vector<std::string>;
using qern::test::CamsimRequestsSince;
using qern::test::Capture;
using qern::test::PumpMessages;

// A window noting the channel's notifications in order of arrival.
struct Notes {
    Notes() {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    }
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        static const char* const names[] = {"open", "failed", "read-failed", "closed"};
        auto* self = reinterpret_cast<Notes*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && msg == WM_HSCROLL && wp == IDN_SETTING_APPLIED)
            self->seen.push_back(std::string("applied ") + reinterpret_cast<const char*>(lp));
        if (self && msg == WM_COMMAND && wp >= IDN_CHANNEL_OPEN && wp <= IDN_CHANNEL_CLOSED)
            self->seen.push_back(names[wp - IDN_CHANNEL_OPEN]);
        return DefWindowProcW(w, msg, wp, lp);
    }
    test::TestWindow window{1, 1};
    const HWND hwnd = window.hwnd();
    Strings seen;
};

CameraEndpoint Camsim(HWND notify, const char* password = "admin") {
    return CameraEndpoint{"127.0.0.1", test::CamsimPort(), "admin", password, notify};
}

// A worker's batches and this thread's never mix on the camera, and the worker's notifications
// reach this thread's window while this thread waits for the channel.
TEST(SettingsChannel, BatchesOfTwoThreadsNeverMix) {
    QERN_NEED_CAMSIM("");
    SettingsChannel& channel = SettingsChannel::Instance();
    Notes notes;
    size_t mark = 0;
    CamsimRequestsSince(mark);
    std::string path = "untouched";
    int32_t period = -1;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(channel.GetOriginalSetting(Camsim(notes.hwnd), path, period));
        done = true;
    });
    for (int i = 0; i < 4; ++i) EXPECT_EQ(channel.QueryIrState(Camsim(nullptr)), 1);
    EXPECT_TRUE(test::WaitFor([&] { return done.load(); }, 30000, [] { PumpMessages(); }));
    worker.join();
    EXPECT_EQ(path, "c:\\QERN\\REC\\");
    EXPECT_EQ(period, 45);
    Strings order, batches;  // connections in the order their requests came
    for (const std::string& line : CamsimRequestsSince(mark, true)) {
        const std::string conn = line.substr(0, line.find(' '));
        if (order.empty() || order.back() != conn) order.push_back(conn), batches.emplace_back();
        batches.back() += line.substr(conn.size());
    }
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()).size(), 8u) << "a connection came back after another";
    EXPECT_EQ(std::count(batches.begin(), batches.end(),
                         " auth=yes GET /RdDVRctrl.cgi auth=yes GET /Rdimagectrl.cgi auth=yes GET /Rdimagectrl.cgi"),
              4);
    EXPECT_EQ(std::count(batches.begin(), batches.end(), " auth=yes GET /RdPTctrl.cgi"), 4);
    Strings twice;
    for (int i = 0; i < 4; ++i) twice.insert(twice.end(), {"open", "closed"});
    EXPECT_EQ(notes.seen, twice);

    // Requests the camera could not take whole are refused, not cut; the batch says so.
    EXPECT_FALSE(channel.SaveOriginalSetting(Camsim(nullptr), std::string(237, 'p').c_str(), 5));
    EXPECT_EQ(CamsimRequestsSince(mark), (Strings{"auth=yes GET /DVRctrl.cgi?TimeD=5"}));
    // Credentials too long for the camera's fields open nothing; a wrong password reads nothing.
    EXPECT_EQ(channel.QueryIrState(Camsim(nullptr, std::string(32, 'x').c_str())), 0);
    EXPECT_FALSE(channel.GetOriginalSetting(Camsim(nullptr, "wrong"), path, period));
    EXPECT_EQ(channel.QueryIrState(Camsim(nullptr, "wrong")), 0);
}

// One receive per reply: what arrives later is not part of it.
TEST(SettingsChannel, OneReceivePerReply) {
    LoopbackServer server([&](SOCKET s, const std::string&, int) {
        LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\nContent-Length: 30\r\n\r\nCont 9.\r\n");
        server.Pause(300);
        LoopbackServer::Send(s, "Brne 5.\r\nIR_set:1\r\n");
    });
    SettingsChannel& channel = SettingsChannel::Instance();
    ASSERT_TRUE(channel.Open("127.0.0.1", server.Port(), "admin", "pw", nullptr));
    int32_t before[SettingsChannel::kImageKeyCount], after[SettingsChannel::kImageKeyCount];
    channel.CachedImageSettings(before);
    ASSERT_EQ(channel.ReadImageSettings(), 1);
    channel.Close();
    channel.CachedImageSettings(after);
    EXPECT_EQ(after[8], 9);          // Cont
    EXPECT_EQ(after[7], before[7]);  // Brne came in a later segment
    EXPECT_EQ(channel.QueryIrState(CameraEndpoint{"127.0.0.1", server.Port(), "a", "b", nullptr}), 0);
}

// A camera that never answers the connect, or takes the connection and stays silent: the failure
// notifications come within the time-outs and nothing hangs. Every set still ends with one
// applied notification, also on a channel that could not open (no name lookup either).
TEST(SettingsChannel, CamerasThatDoNotAnswer) {
    LoopbackServer silent([&](SOCKET, const std::string&, int) { silent.Pause(20000); });
    // A listener whose queue is full: the connect is never answered.
    int fullPort = 0;
    SocketHandle full(LoopbackServer::Listen(0, &fullPort));
    SocketClient fillers[2];
    for (SocketClient& f : fillers) f.SetTimeouts(500, 500), f.Connect("127.0.0.1", fullPort);

    struct Case {
        const char* host;
        int port;
        Strings notes;
    } cases[] = {
        {"127.0.0.1", fullPort, {"failed", "closed"}},  // never answers the connect
        {"127.0.0.1", silent.Port(), {"open", "read-failed", "closed"}},
        {"localhost", 80, {"failed", "applied Cont", "applied PathD", "read-failed", "closed"}},
    };
    const auto limit =
        std::chrono::milliseconds(SocketClient::kConnectTimeoutMs + SocketClient::kReceiveTimeoutMs + 4000);
    SettingsChannel& channel = SettingsChannel::Instance();
    for (const Case& c : cases) {
        Notes notes;
        std::string path = "kept";
        int32_t period = 7;
        const auto start = std::chrono::steady_clock::now();
        if (c.port == 80) {
            ASSERT_FALSE(channel.Open(c.host, c.port, "a", "b", notes.hwnd));
            EXPECT_FALSE(channel.SetContrast(3));
            EXPECT_FALSE(channel.SetRecordPath("c:\\x\\"));
            EXPECT_EQ(channel.GetImageSetting("Cont"), 0);
            channel.Close();
        } else {
            EXPECT_FALSE(
                channel.GetOriginalSetting(CameraEndpoint{c.host, c.port, "admin", "admin", notes.hwnd}, path, period));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, limit) << c.port;
        EXPECT_EQ(path, "kept") << c.port;
        EXPECT_EQ(period, 7) << c.port;
        EXPECT_EQ(notes.seen, c.notes) << c.port;
    }
    silent.release = true;
}

using Clock = std::chrono::steady_clock;
const wchar_t kWaitCaption[] = L".................Wait......................";

// When the Wait box was first and last seen while a click was being handled.
struct WaitWatch {
    static inline Clock::time_point first, last;
    static inline bool seen = false;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (!FindWindowW(L"#32770", kWaitCaption)) return;
        if (!seen) first = Clock::now();
        seen = true;
        last = Clock::now();
    }
};

struct Placed {
    ControlSite* site;
    ~Placed() { site->Shutdown(), site->Release(); }
};

TEST(PanelPage, ShowsTheCamerasSettingsAndSendsWhatTheUserChanges) {
    QERN_NEED_CAMSIM("");
    CamControlDll::Get().EnsureRegistered();
    size_t mark = 0;
    CamsimRequestsSince(mark);
    const std::wstring base = L"http://127.0.0.1:" + std::to_wstring(test::CamsimPort());
    HostFrame frame;
    ASSERT_TRUE(frame.Create(L"panel test", 1100, 560));
    // All of the page on the screen, where a user's clicks can reach it.
    SetWindowPos(frame.Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    const Placed view{new ControlSite(frame, nullptr, Rect{10, 10, 640, 480})};
    const Placed panel{new ControlSite(frame, nullptr, Rect{660, 10, 351, 497})};
    std::string error;
    ASSERT_HRESULT_SUCCEEDED(view.site->Create(
        L"QERN.CamImage",
        {{L"URL", base + L"/video.cgi"}, {L"Uname", L"admin"}, {L"Pword", L"admin"}, {L"Stretch", L"0"}}, error));
    ASSERT_HRESULT_SUCCEEDED(view.site->Activate(error)) << error;
    ASSERT_HRESULT_SUCCEEDED(panel.site->Create(
        L"QERNCamControl.CImgCtrl", {{L"URL", base + L"/"}, {L"Uname", L"admin"}, {L"Pword", L"admin"}}, error));
    ASSERT_HRESULT_SUCCEEDED(panel.site->Activate(error)) << error;
    const HWND dialog = FindWindowExW(panel.site->ControlWindow(), nullptr, L"#32770", nullptr);
    const HWND viewWindow = view.site->ControlWindow();
    ASSERT_NE(dialog, nullptr);
    const UINT_PTR watch = SetTimer(nullptr, 0, 50, &WaitWatch::Tick);
    PumpMessages(3000);

    auto Item = [&](int id) { return GetDlgItem(dialog, id); };
    auto Text = [&](int id) {
        wchar_t text[64] = {};
        GetDlgItemTextW(dialog, id, text, 64);
        return std::wstring(text);
    };
    // A click where a user would click (the centre unless x is given): the window under it gets it.
    auto Click = [&](int id, int x = -1) {
        RECT c;
        GetClientRect(Item(id), &c);
        POINT at{x < 0 ? c.right / 2 : x, c.bottom / 2};
        ClientToScreen(Item(id), &at);
        EXPECT_EQ(WindowFromPoint(at), Item(id)) << "another window over " << id;
        ScreenToClient(Item(id), &at);
        PostMessageW(Item(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageW(Item(id), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    };
    // Handles what was posted, Wait boxes included; the seconds the last Wait box stood.
    auto Settle = [](DWORD ms = 300) {
        WaitWatch::seen = false;
        PumpMessages(ms);
        return WaitWatch::seen ? std::chrono::duration<double>(WaitWatch::last - WaitWatch::first).count() : -1;
    };
    auto Shot = [&] { return Capture(frame.Window()); };
    auto Pixel = [&](const Capture& p, HWND control, int x, int y) {
        POINT at{x, y};
        MapWindowPoints(control, frame.Window(), &at, 1);
        const test::Rgb c = p.At(at.x, at.y);
        return RGB(c.r, c.g, c.b);
    };

    // camsim started with TimeD=45 Brne=5 Cont=9 Sarn=3 Nhue=20 Ligt=1 Auex=0 Shap=1 Freq=60 Mirr=1, IR on.
    EXPECT_EQ(CamsimRequestsSince(mark), (Strings{"auth=yes GET /Rdimagectrl.cgi"})) << test::CamsimRequestLog();
    EXPECT_EQ((std::vector<std::wstring>{Text(IDC_BRIGHTNESS_VALUE), Text(IDC_CONTRAST_VALUE),
                                         Text(IDC_SATURATION_VALUE), Text(IDC_HUE_VALUE)}),
              (std::vector<std::wstring>{L"5", L"9", L"3", L"20"}));
    for (int id : {IDC_RES_VGA, IDC_LIGHT_SPECIAL, IDC_RATE_NORMAL, IDC_EXPOSURE_OFF, IDC_WHITE_ON, IDC_SHARP_LOW,
                   IDC_FREQ_60, IDC_MIRROR_ON, IDC_OVERTURN_OFF})
        EXPECT_EQ(IsDlgButtonChecked(dialog, id), BST_CHECKED) << id;
    for (int id : {IDC_RES_QVGA, IDC_RES_QCIF, IDC_LIGHT_NORMAL, IDC_RATE_FAST, IDC_SHARP_HIGH, IDC_FREQ_50})
        EXPECT_EQ(IsDlgButtonChecked(dialog, id), BST_UNCHECKED) << id;
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_STOP)));

    // The live view's setaction 4 asks the camera for its infrared state (on, for this camera).
    ComPtr<ICamImage> cam;
    ASSERT_HRESULT_SUCCEEDED(ComPtr<IOleObject>(view.site->Object()).query(IID_ICamImage, cam));
    LONG ir = -1;
    ASSERT_HRESULT_SUCCEEDED(cam->setaction(4, &ir));
    EXPECT_EQ(ir, 1);
    EXPECT_EQ(CamsimRequestsSince(mark), (Strings{"auth=yes GET /RdPTctrl.cgi"}));

    // The live view shows 640x480 at natural size: the camera's picture reaches the view's corner.
    EXPECT_NE(Pixel(Shot(), viewWindow, 4, 4), RGB(0, 0, 0));

    Click(IDC_RES_QVGA);
    const auto clicked = Clock::now();
    const double stood = Settle();
    EXPECT_EQ(CamsimRequestsSince(mark), (Strings{"auth=yes GET /imagectrl.cgi?Resl=2"}));
    EXPECT_GT(stood, 1.0);  // the Wait box closed by itself at its first tick after the applied notice
    std::printf("Wait box after QVGA stood %.2f s\n", stood);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - clicked).count(), 8.0);
    // 320x240 at natural size in the middle of the view: black around it.
    EXPECT_TRUE(test::WaitFor([&] { return Pixel(Shot(), viewWindow, 4, 4) == RGB(0, 0, 0); }, 10000,
                              [] { PumpMessages(50); }));

    // Brightness released at its right end: 7; contrast at its left end: 1.
    RECT r;
    GetClientRect(Item(IDC_BRIGHTNESS), &r);
    Click(IDC_BRIGHTNESS, r.right - 1);
    EXPECT_GT(Settle(), 1.0);
    Click(IDC_CONTRAST, 0);
    Settle();
    EXPECT_EQ(Text(IDC_BRIGHTNESS_VALUE), L"7");
    EXPECT_EQ(Text(IDC_CONTRAST_VALUE), L"1");
    // Arrow keys on the hue slider: one command per key.
    SetFocus(Item(IDC_HUE));
    PostMessageW(Item(IDC_HUE), WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageW(Item(IDC_HUE), WM_KEYDOWN, VK_LEFT, 0);
    Settle(5000);
    // The rows without commands only move their selection.
    const int rows[] = {IDC_LIGHT_NORMAL, IDC_RATE_SLOW, IDC_FREQ_50, IDC_EXPOSURE_ON, IDC_OVERTURN_ON};
    for (int id : rows) Click(id);
    Settle();
    for (int id : rows) EXPECT_EQ(IsDlgButtonChecked(dialog, id), BST_CHECKED) << id;
    EXPECT_EQ(CamsimRequestsSince(mark),
              (Strings{"auth=yes GET /imagectrl.cgi?Brne=7", "auth=yes GET /imagectrl.cgi?Cont=1",
                       "auth=yes GET /imagectrl.cgi?Nhue=21", "auth=yes GET /imagectrl.cgi?Nhue=20"}));

    // Sliders as drawn: brightness at its right end with the focus outline, its thumb's dark bar 3
    // pixels in; contrast at its left end without outline; disabled, a dark block and groove.
    HWND brightness = Item(IDC_BRIGHTNESS), contrast = Item(IDC_CONTRAST);
    SetFocus(brightness);
    EnableWindow(contrast, FALSE);
    InvalidateRect(contrast, nullptr, FALSE);
    // A button face: the "REC" bitmap on an owner-draw button, whatever its state.
    HWND button = CreateWindowExW(0, L"BUTTON", L"REC", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | WS_DISABLED, 20, 525, 81,
                                  26, frame.Window(), nullptr, nullptr, nullptr);
    BitmapButton face;
    ASSERT_TRUE(face.Attach(button, CamControlDll::Get().Module()));
    face.SetBitmap(BitmapButton::kRecFace);
    InvalidateRect(button, nullptr, FALSE);
    PumpMessages(300);
    const Capture p = Shot();
    const int thumb = r.right - 8;
    EXPECT_EQ(Pixel(p, brightness, 0, 0), BitmapSlider::kLightGrey);
    EXPECT_EQ(Pixel(p, brightness, 2, 1), BitmapSlider::kTrack);
    EXPECT_EQ(Pixel(p, brightness, thumb + 3, r.bottom / 2), RGB(0x30, 0x30, 0x30));
    EXPECT_EQ(Pixel(p, brightness, thumb + 1, r.bottom / 2), RGB(0xB0, 0xB0, 0xB0));
    EXPECT_EQ(Pixel(p, Item(IDC_HUE), 0, 0), BitmapSlider::kTrack);  // no outline without the focus
    EXPECT_EQ(Pixel(p, contrast, 1, r.bottom / 2), BitmapSlider::kDarkGrey);
    EXPECT_EQ(Pixel(p, contrast, r.right / 2, r.bottom / 2 + 2), BitmapSlider::kDarkGrey);
    EXPECT_EQ(Pixel(p, button, 0, 0), RGB(0x00, 0x00, 0x80));   // dark blue ground
    EXPECT_EQ(Pixel(p, button, 8, 13), RGB(0xC0, 0xC0, 0xC0));  // the grey button
    DestroyWindow(button);
    EnableWindow(contrast, TRUE);

    // Stop, once enabled from outside, resets its buttons.
    EnableWindow(Item(IDC_STOP), TRUE);
    EnableWindow(Item(IDC_RECORD), FALSE);
    Click(IDC_STOP);
    Settle();
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_RECORD)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_STOP)));
    EXPECT_TRUE(CamsimRequestsSince(mark).empty());
    KillTimer(nullptr, watch);
}

}  // namespace

}  // namespace qern
