// The settings panel hosted beside a live view in camhost's container, against a camera simulator
// of its own that starts with non-default settings; the user's clicks and keys are mouse and key
// messages at the controls' positions.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "com/ComPtr.h"

#include "module/SettingsResource.h"
#include "settings/BitmapButton.h"
#include "settings/BitmapSlider.h"
#include "tests/module/CamControlDll.h"
#include "tests/support/Camsim.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"
#include "tools/camhost/ControlSite.h"
#include "tools/camhost/HostFrame.h"

namespace qern {

using namespace camhost;
using qern::test::Capture;
using qern::test::PumpMessages;

namespace {

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

// Released whatever the test's end.
struct Placed {
    ControlSite* site;
    ~Placed() { site->Shutdown(), site->Release(); }
};

TEST(PanelPage, ShowsTheCamerasSettingsAndSendsWhatTheUserChanges) {
    QERN_NEED_CAMSIM("settings-panel");
    CamControlDll::Get().EnsureRegistered();
    const std::wstring base = L"http://127.0.0.1:" + std::to_wstring(qern::test::CamsimPort());
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
    size_t mark = 0;

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
    // A pixel of a control, as the page shows it.
    auto Pixel = [&](const Capture& p, HWND control, int x, int y) {
        POINT at{x, y};
        MapWindowPoints(control, frame.Window(), &at, 1);
        const qern::test::Rgb c = p.At(at.x, at.y);
        return RGB(c.r, c.g, c.b);
    };

    // camsim started with Brne=5 Cont=9 Sarn=3 Nhue=20 Ligt=1 Auex=0 Shap=1 Freq=60 Mirr=1, IR on, 12 fps.
    EXPECT_EQ(qern::test::CamsimRequestsSince(mark), (std::vector<std::string>{"auth=yes GET /Rdimagectrl.cgi"}))
        << qern::test::CamsimRequestLog();
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
    qern::ComPtr<ICamImage> cam;
    ASSERT_HRESULT_SUCCEEDED(qern::ComPtr<IOleObject>(view.site->Object()).query(IID_ICamImage, cam));
    LONG ir = -1;
    ASSERT_HRESULT_SUCCEEDED(cam->setaction(4, &ir));
    EXPECT_EQ(ir, 1);
    EXPECT_EQ(qern::test::CamsimRequestsSince(mark), (std::vector<std::string>{"auth=yes GET /RdPTctrl.cgi"}));

    // The live view shows 640x480 at natural size: the camera's picture reaches the view's corner.
    EXPECT_NE(Pixel(Shot(), viewWindow, 4, 4), RGB(0, 0, 0));

    Click(IDC_RES_QVGA);
    const auto clicked = Clock::now();
    const double stood = Settle();
    EXPECT_EQ(qern::test::CamsimRequestsSince(mark), (std::vector<std::string>{"auth=yes GET /imagectrl.cgi?Resl=2"}));
    EXPECT_GT(stood, 1.0);  // the Wait box closed by itself at its first tick after the applied notice
    std::printf("Wait box after QVGA stood %.2f s\n", stood);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - clicked).count(), 8.0);
    // 320x240 at natural size in the middle of the view: black around it.
    EXPECT_TRUE(qern::test::WaitFor([&] { return Pixel(Shot(), viewWindow, 4, 4) == RGB(0, 0, 0); }, 10000,
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
    EXPECT_EQ(qern::test::CamsimRequestsSince(mark),
              (std::vector<std::string>{"auth=yes GET /imagectrl.cgi?Brne=7", "auth=yes GET /imagectrl.cgi?Cont=1",
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
    EXPECT_TRUE(qern::test::CamsimRequestsSince(mark).empty());
    KillTimer(nullptr, watch);
}

}  // namespace

}  // namespace qern
