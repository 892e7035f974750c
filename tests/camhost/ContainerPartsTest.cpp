// The container's own parts under Wine: the PARAM bag as a control reads it and the capture of a
// window with its children (the site and the page's address serve every control test through
// tests/support/InPlaceContainer).
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "tools/camhost/HostFrame.h"
#include "tools/camhost/ParamBag.h"
#include "tools/camhost/WindowCapture.h"
#include "tests/support/Screen.h"

using namespace camhost;

namespace {

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
    qern::test::PumpMessages(200);

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

