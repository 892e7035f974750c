// The settings panel hosted beside a live view in camhost's container, against a camera simulator
// of its own that starts with non-default settings; the user's clicks and keys are mouse and key
// messages at the controls' positions.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>

#include "com/BStr.h"
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

using namespace camhost;
using qern::test::Capture;
using qern::test::PumpMessages;

namespace {

using Clock = std::chrono::steady_clock;
const wchar_t kWaitCaption[] = L".................Wait......................";


// The requests the camera logged since the last call, without their connection numbers.
std::vector<std::string> NewRequests(size_t& seen) {
    std::istringstream log(qern::test::CamsimRequestLog());
    std::vector<std::string> lines;
    std::string line;
    const size_t from = seen;
    for (size_t i = 0; std::getline(log, line); ++i) {
        if (i >= from && line.find("/video.cgi") == std::string::npos && line.find("/audio.cgi") == std::string::npos)
            lines.push_back(line.substr(line.find(' ') + 1));
        seen = i + 1;
    }
    return lines;
}

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

class PanelPage : public ::testing::Test {
protected:
    void SetUp() override {
        QERN_NEED_CAMSIM("settings-panel");
        CamControlDll::Get().EnsureRegistered();
        const std::wstring base = L"http://127.0.0.1:" + std::to_wstring(qern::test::CamsimPort());
        ASSERT_TRUE(frame.Create(L"panel test", 1100, 560));
        // All of the page on the screen, where a user's clicks can reach it.
        SetWindowPos(frame.Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
        view = new ControlSite(frame, nullptr, Rect{10, 10, 640, 480});
        panel = new ControlSite(frame, nullptr, Rect{660, 10, 351, 497});
        std::string error;
        ASSERT_HRESULT_SUCCEEDED(view->Create(L"QERN.CamImage",
            {{L"URL", base + L"/video.cgi"}, {L"Uname", L"admin"}, {L"Pword", L"admin"}, {L"Stretch", L"0"}}, error));
        ASSERT_HRESULT_SUCCEEDED(view->Activate(error)) << error;
        ASSERT_HRESULT_SUCCEEDED(panel->Create(L"QERNCamControl.CImgCtrl",
            {{L"URL", base + L"/"}, {L"Uname", L"admin"}, {L"Pword", L"admin"}}, error));
        ASSERT_HRESULT_SUCCEEDED(panel->Activate(error)) << error;
        dialog = FindWindowExW(panel->ControlWindow(), nullptr, L"#32770", nullptr);
        ASSERT_NE(dialog, nullptr);
        watch = SetTimer(nullptr, 0, 50, &WaitWatch::Tick);
        PumpMessages(3000);
    }
    void TearDown() override {
        KillTimer(nullptr, watch);
        if (panel) panel->Shutdown(), panel->Release();
        if (view) view->Shutdown(), view->Release();
    }

    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    std::wstring Text(int id) const {
        wchar_t text[64] = {};
        GetDlgItemTextW(dialog, id, text, 64);
        return text;
    }
    // A click where a user would click: the window under that point of the page gets it.
    void Click(HWND control, int x, int y) {
        POINT at{x, y};
        ClientToScreen(control, &at);
        HWND target = WindowFromPoint(at);
        wchar_t name[64] = {};
        GetClassNameW(target, name, 64);
        ASSERT_EQ(target, control) << "hit a " << qern::BStr(name).toAnsi();
        ScreenToClient(target, &at);
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    void ClickCentre(int id) {
        RECT r;
        GetClientRect(Item(id), &r);
        Click(Item(id), r.right / 2, r.bottom / 2);
    }
    // Handles what was posted, Wait boxes included; the seconds the last Wait box stood.
    double Settle(DWORD ms = 300) {
        WaitWatch::seen = false;
        PumpMessages(ms);
        return WaitWatch::seen ? std::chrono::duration<double>(WaitWatch::last - WaitWatch::first).count() : -1;
    }
    Capture Shot() { return Capture(frame.Window()); }
    // A pixel of a control, as the page shows it.
    COLORREF Pixel(const Capture& p, HWND control, int x, int y) {
        POINT at{x, y};
        MapWindowPoints(control, frame.Window(), &at, 1);
        const qern::test::Rgb c = p.At(at.x, at.y);
        return RGB(c.r, c.g, c.b);
    }

    HostFrame frame;
    ControlSite* view = nullptr;
    ControlSite* panel = nullptr;
    HWND dialog = nullptr;
    UINT_PTR watch = 0;
    size_t seen = 0;
};

TEST_F(PanelPage, ShowsTheCamerasSettingsAndSendsWhatTheUserChanges) {
    // camsim started with Brne=5 Cont=9 Sarn=3 Nhue=20 Ligt=1 Auex=0 Shap=1 Freq=60 Mirr=1, IR on, 12 fps.
    EXPECT_EQ(NewRequests(seen), (std::vector<std::string>{"auth=yes GET /Rdimagectrl.cgi"}))
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
    ASSERT_HRESULT_SUCCEEDED(qern::ComPtr<IOleObject>(view->Object()).query(IID_ICamImage, cam));
    LONG ir = -1;
    ASSERT_HRESULT_SUCCEEDED(cam->setaction(4, &ir));
    EXPECT_EQ(ir, 1);
    EXPECT_EQ(NewRequests(seen), (std::vector<std::string>{"auth=yes GET /RdPTctrl.cgi"}));

    // The live view shows 640x480 at natural size: the camera's picture reaches the view's corner.
    Capture before = Shot();
    EXPECT_NE(Pixel(before, view->ControlWindow(), 4, 4), RGB(0, 0, 0));

    ClickCentre(IDC_RES_QVGA);
    const auto clicked = Clock::now();
    const double stood = Settle();
    EXPECT_EQ(NewRequests(seen), (std::vector<std::string>{"auth=yes GET /imagectrl.cgi?Resl=2"}));
    EXPECT_GT(stood, 1.0);  // the Wait box closed by itself at its first tick after the applied notice
    std::printf("Wait box after QVGA stood %.2f s\n", stood);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - clicked).count(), 8.0);
    // 320x240 at natural size in the middle of the view: black around it.
    EXPECT_TRUE(qern::test::WaitFor([&] { return Pixel(Shot(), view->ControlWindow(), 4, 4) == RGB(0, 0, 0); },
                                    10000, [] { PumpMessages(50); }));

    // Brightness released at its right end: 7; contrast at its left end: 1.
    RECT r;
    GetClientRect(Item(IDC_BRIGHTNESS), &r);
    Click(Item(IDC_BRIGHTNESS), r.right - 1, r.bottom / 2);
    EXPECT_GT(Settle(), 1.0);
    Click(Item(IDC_CONTRAST), 0, r.bottom / 2);
    Settle();
    EXPECT_EQ(Text(IDC_BRIGHTNESS_VALUE), L"7");
    EXPECT_EQ(Text(IDC_CONTRAST_VALUE), L"1");
    // Arrow keys on the hue slider: one command per key.
    SetFocus(Item(IDC_HUE));
    PostMessageW(Item(IDC_HUE), WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageW(Item(IDC_HUE), WM_KEYDOWN, VK_LEFT, 0);
    Settle(5000);
    // The rows without commands only move their selection.
    for (int id : {IDC_LIGHT_NORMAL, IDC_RATE_SLOW, IDC_FREQ_50, IDC_EXPOSURE_ON, IDC_OVERTURN_ON}) ClickCentre(id);
    Settle();
    for (int id : {IDC_LIGHT_NORMAL, IDC_RATE_SLOW, IDC_FREQ_50, IDC_EXPOSURE_ON, IDC_OVERTURN_ON})
        EXPECT_EQ(IsDlgButtonChecked(dialog, id), BST_CHECKED) << id;
    EXPECT_EQ(NewRequests(seen),
              (std::vector<std::string>{"auth=yes GET /imagectrl.cgi?Brne=7", "auth=yes GET /imagectrl.cgi?Cont=1",
                                        "auth=yes GET /imagectrl.cgi?Nhue=21", "auth=yes GET /imagectrl.cgi?Nhue=20"}));

    // Stop, once enabled from outside, resets its buttons.
    EnableWindow(Item(IDC_STOP), TRUE);
    EnableWindow(Item(IDC_RECORD), FALSE);
    ClickCentre(IDC_STOP);
    Settle();
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_RECORD)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_STOP)));
    EXPECT_TRUE(NewRequests(seen).empty());
}

TEST_F(PanelPage, SlidersAndButtonsLookAsDrawn) {
    HWND brightness = Item(IDC_BRIGHTNESS), contrast = Item(IDC_CONTRAST);
    RECT r;
    GetClientRect(brightness, &r);
    // The thumb's left edge at (width - 8) * position / span, its dark bar 3 pixels in.
    const int thumb = (r.right - 8) * (std::stoi(Text(IDC_BRIGHTNESS_VALUE)) - 1) / 6;
    SetFocus(brightness);
    PumpMessages(300);
    Capture p = Shot();
    EXPECT_EQ(Pixel(p, brightness, 0, 0), BitmapSlider::kLightGrey);  // focus outline
    EXPECT_EQ(Pixel(p, brightness, 2, 1), BitmapSlider::kTrack);
    EXPECT_EQ(Pixel(p, brightness, thumb + 3, r.bottom / 2), RGB(0x30, 0x30, 0x30));
    EXPECT_EQ(Pixel(p, brightness, thumb + 1, r.bottom / 2), RGB(0xB0, 0xB0, 0xB0));
    EXPECT_EQ(Pixel(p, contrast, 0, 0), BitmapSlider::kTrack);  // no outline without the focus
    // Disabled: a dark block where the thumb was and a dark groove all round.
    EnableWindow(contrast, FALSE);
    InvalidateRect(contrast, nullptr, FALSE);
    PumpMessages(300);
    p = Shot();
    const int ct = (r.right - 8) * (std::stoi(Text(IDC_CONTRAST_VALUE)) - 1) / 10;
    EXPECT_EQ(Pixel(p, contrast, ct + 1, r.bottom / 2), BitmapSlider::kDarkGrey);
    EXPECT_EQ(Pixel(p, contrast, r.right / 2, r.bottom / 2 + 2), BitmapSlider::kDarkGrey);

    // A button face: the "REC" bitmap on an owner-draw button, whatever its state.
    HWND button = CreateWindowExW(0, L"BUTTON", L"REC", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 20, 525, 81, 26,
                                  frame.Window(), nullptr, nullptr, nullptr);
    BitmapButton face;
    ASSERT_TRUE(face.Attach(button, CamControlDll::Get().Module()));
    face.SetBitmap(BitmapButton::kRecFace);
    EnableWindow(button, FALSE);
    InvalidateRect(button, nullptr, FALSE);
    PumpMessages(300);
    p = Shot();
    EXPECT_EQ(Pixel(p, button, 0, 0), RGB(0x00, 0x00, 0x80));     // dark blue ground
    EXPECT_EQ(Pixel(p, button, 8, 13), RGB(0xC0, 0xC0, 0xC0));     // the grey button
    DestroyWindow(button);
}

}  // namespace
