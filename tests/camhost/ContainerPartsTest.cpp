// The container's parts under Wine: the PARAM bag as a control reads it, the page's address through
// the site's service provider, the capture of a window with its children, and a live view hosted
// through a site: created by ProgID, loaded from PARAMs, in place in the page, taken down again.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "module/QERNCamControl_h.h"
#include "tools/camhost/ControlSite.h"
#include "tools/camhost/HostFrame.h"
#include "tools/camhost/PageBrowser.h"
#include "tools/camhost/ParamBag.h"
#include "tools/camhost/WindowCapture.h"
#include "tests/module/TestContainer.h"

using namespace camhost;
using qern::BStr;
using qern::ComPtr;

namespace {

class Apartment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
::testing::Environment* const g_apartment = ::testing::AddGlobalTestEnvironment(new Apartment);

// The DLL next to the test, registered in this prefix so ProgIDs resolve.
bool RegisterControls() {
    static bool done = [] {
        HMODULE dll = LoadLibraryW(L"QERNCamControl.dll");
        if (!dll) return false;
        auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
        return reg && SUCCEEDED(reg());
    }();
    return done;
}

const COLORREF kChildColour = RGB(200, 30, 90);

LRESULT CALLBACK SolidChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH brush = CreateSolidBrush(kChildColour);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

const uint8_t* PixelAt(const Picture& p, int x, int y) { return p.bgrx.data() + (static_cast<size_t>(y) * p.width + x) * 4; }

}  // namespace

TEST(ParamBag, ValuesAreTextConvertedToWhatTheControlAsksFor) {
    ParamBag* bag = new ParamBag({{L"URL", L"/video.cgi"}, {L"Stretch", L"0"}, {L"_cx", L"16933"},
                                  {L"stretch", L"1"}, {L"Uname", L"abc"}});
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(bag->Read(L"URL", &v, nullptr), S_OK);
    ASSERT_EQ(V_VT(&v), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&v), L"/video.cgi");
    VariantClear(&v);

    V_VT(&v) = VT_I4;
    ASSERT_EQ(bag->Read(L"STRETCH", &v, nullptr), S_OK);  // names without regard to case; the last one wins
    EXPECT_EQ(V_VT(&v), VT_I4);
    EXPECT_EQ(V_I4(&v), 1);

    V_VT(&v) = VT_UI4;
    ASSERT_EQ(bag->Read(L"_cx", &v, nullptr), S_OK);
    EXPECT_EQ(V_UI4(&v), 16933u);

    V_VT(&v) = VT_I4;
    EXPECT_EQ(bag->Read(L"Uname", &v, nullptr), DISP_E_TYPEMISMATCH);
    VariantInit(&v);
    EXPECT_EQ(bag->Read(L"Pword", &v, nullptr), E_INVALIDARG);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);
    EXPECT_EQ(bag->Read(nullptr, &v, nullptr), E_POINTER);

    ASSERT_EQ(bag->Reads().size(), 5u);
    EXPECT_EQ(bag->Reads()[1].name, L"STRETCH");
    EXPECT_TRUE(bag->Reads()[3].found);
    EXPECT_FALSE(bag->Reads()[4].found);
    EXPECT_EQ(bag->Write(L"URL", &v), E_NOTIMPL);
    EXPECT_EQ(bag->Release(), 0u);
}

TEST(ControlSite, ServiceProviderGivesThePageAddressOnlyWhenThereIsAPage) {
    HostFrame frame;
    ASSERT_TRUE(frame.Create(L"site test", 200, 100));
    PageBrowser* browser = new PageBrowser(L"http://127.0.0.1:8080/cams/index.html");
    ControlSite* withPage = new ControlSite(frame, browser, Rect{0, 0, 10, 10});
    browser->Release();
    ControlSite* noPage = new ControlSite(frame, nullptr, Rect{0, 0, 10, 10});

    ComPtr<IServiceProvider> services;
    ASSERT_EQ(withPage->QueryInterface(IID_IServiceProvider, services.put_void()), S_OK);
    ComPtr<IWebBrowser2> web;
    ASSERT_EQ(services->QueryService(IID_IWebBrowserApp, IID_IWebBrowser2, web.put_void()), S_OK);
    BStr url;
    ASSERT_EQ(web->get_LocationURL(url.put()), S_OK);
    EXPECT_STREQ(url.get(), L"http://127.0.0.1:8080/cams/index.html");
    EXPECT_EQ(browser->LocationReads(), 1);
    EXPECT_EQ(services->QueryService(IID_IOleObject, IID_IUnknown, web.put_void()), E_NOINTERFACE);
    EXPECT_EQ(web.get(), nullptr);

    ASSERT_EQ(noPage->QueryInterface(IID_IServiceProvider, services.put_void()), S_OK);
    EXPECT_EQ(services->QueryService(IID_IWebBrowserApp, IID_IWebBrowser2, web.put_void()), E_NOINTERFACE);
    services = nullptr;
    withPage->Release();
    noPage->Release();
}

TEST(WindowCapture, TheClientAreaWithItsChildWindows) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = SolidChildProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CamHostSolidChild";
    RegisterClassW(&wc);
    HostFrame frame;
    ASSERT_TRUE(frame.Create(L"capture test", 300, 200));
    HWND child = CreateWindowExW(0, L"CamHostSolidChild", L"", WS_CHILD | WS_VISIBLE, 50, 40, 100, 60, frame.Window(),
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    PumpMessages(200);

    Picture p;
    ASSERT_TRUE(CaptureClientArea(frame.Window(), p));
    ASSERT_EQ(p.width, 300);
    ASSERT_EQ(p.height, 200);
    const uint8_t* inside = PixelAt(p, 100, 70);
    EXPECT_EQ(inside[2], GetRValue(kChildColour));
    EXPECT_EQ(inside[1], GetGValue(kChildColour));
    EXPECT_EQ(inside[0], GetBValue(kChildColour));
    const uint8_t* corner = PixelAt(p, 149, 99);  // the child's last pixel
    EXPECT_EQ(corner[2], GetRValue(kChildColour));
    const uint8_t* page = PixelAt(p, 150, 100);  // just outside it: the page
    EXPECT_EQ(page[2], 192);
    EXPECT_EQ(page[1], 192);
    EXPECT_EQ(page[0], 192);
    EXPECT_EQ(PixelAt(p, 0, 0)[1], 192);

    DestroyWindow(child);
    Picture none;
    EXPECT_FALSE(CaptureClientArea(nullptr, none));
}

TEST(ControlSite, LiveViewByProgIdWithParamsInPlaceAndTakenDown) {
    ASSERT_TRUE(RegisterControls());
    HostFrame frame;
    ASSERT_TRUE(frame.Create(L"live view test", 700, 520));
    PageBrowser* browser = new PageBrowser(L"http://127.0.0.1:9/index.html");
    ControlSite* site = new ControlSite(frame, browser, Rect{10, 20, 320, 240});
    browser->Release();

    std::string error;
    ASSERT_EQ(site->Create(L"QERN.CamImage", {{L"URL", L"/video.cgi"}, {L"Uname", L"admin"}, {L"Pword", L"pw"},
                                              {L"Stretch", L"0"}},
                           error),
              S_OK)
        << error;
    ComPtr<ICamImage> view;
    ASSERT_EQ(site->Object()->QueryInterface(IID_ICamImage, view.put_void()), S_OK);
    // The site was there before the PARAMs, so the relative URL took the page's server.
    BStr text;
    view->get_URL(text.put());
    EXPECT_STREQ(text.get(), L"http://127.0.0.1:9");
    EXPECT_GE(browser->LocationReads(), 1);
    view->get_User(text.put());
    EXPECT_STREQ(text.get(), L"admin");
    LONG stretch = -1;
    view->get_Stretch(&stretch);
    EXPECT_EQ(stretch, 0);
    bool urlRead = false;
    for (const auto& r : site->ParamReads())
        if (r.first == L"URL") urlRead = r.second;
    EXPECT_TRUE(urlRead);

    ASSERT_EQ(site->Activate(error), S_OK) << error;
    HWND hwnd = site->ControlWindow();
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetParent(hwnd), frame.Window());
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, frame.Window(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 240);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    PumpMessages(100);

    view = nullptr;
    site->Shutdown();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(site->Object(), nullptr);
    site->Shutdown();  // twice is harmless
    site->Release();
    frame.DropActiveObject();
    EXPECT_EQ(frame.OutstandingReferences(), 0);
}

TEST(ControlSite, AnUnknownProgIdIsReportedAsSuch) {
    HostFrame frame;
    ASSERT_TRUE(frame.Create(L"unknown", 100, 100));
    ControlSite* site = new ControlSite(frame, nullptr, Rect{0, 0, 50, 50});
    std::string error;
    EXPECT_FALSE(SUCCEEDED(site->Create(L"QERN.NoSuchControl", {}, error)));
    EXPECT_NE(error.find("CLSIDFromProgID"), std::string::npos) << error;
    EXPECT_FALSE(SUCCEEDED(site->Activate(error)));
    EXPECT_EQ(site->ControlWindow(), nullptr);
    site->Release();
}
