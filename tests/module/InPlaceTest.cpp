// Windowed in-place activation in camhost's container, the page address service and the control's
// own key handling.
#include <gtest/gtest.h>
#include <ocidl.h>

#include <string>
#include <thread>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"
#include "tests/support/InPlaceContainer.h"
#include "tests/support/Process.h"
#include "tests/support/Screen.h"

namespace qern {

TEST(InPlace, ActivationPlacesTheChildWindowControlKShowsTheVersionDeactivationRemovesIt) {
    test::InPlaceContainer container({10, 20, 320, 240});
    ComPtr<IOleObject> ole;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CamImage, IID_IOleObject, ole.put_void()), S_OK);
    ASSERT_EQ(container.Activate(ole.get()), S_OK) << container.error;
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(ole.query(IID_IOleInPlaceObject, inplace), S_OK);
    HWND hwnd = container.Control();
    auto place = [&] {
        RECT r;
        GetWindowRect(hwnd, &r);
        MapWindowPoints(nullptr, container.Window(), reinterpret_cast<POINT*>(&r), 2);
        return std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetParent(hwnd), container.Window());
    EXPECT_TRUE(IsWindowVisible(hwnd) && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD));
    EXPECT_EQ(place(), (std::vector<LONG>{10, 20, 320, 240}));
    EXPECT_EQ(container.frame.ActiveObject(), nullptr);
    RECT moved = {40, 50, 680, 530};
    ASSERT_EQ(inplace->SetObjectRects(&moved, &moved), S_OK);
    EXPECT_EQ(place(), (std::vector<LONG>{40, 50, 640, 480}));

    ComPtr<ICamImage> cam;
    ASSERT_EQ(ole.query(IID_ICamImage, cam), S_OK);
    BStr version;
    cam->get_Version(version.put());
    for (bool control : {false, true}) {
        qern::test::MessageBox box;
        std::thread watcher([&] {
            box = qern::test::FindMessageBox(control ? 4000 : 500);
            if (box.hwnd) box.PressOk();
        });
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        EXPECT_EQ(SendMessageW(hwnd, WM_KEYDOWN, 'K', 0), 0);  // returns once the box is closed
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        watcher.join();
        ASSERT_EQ(box.hwnd != nullptr, control);  // K alone does nothing
        if (!control) continue;
        EXPECT_EQ(box.text, std::wstring(version.get()));
        EXPECT_EQ(box.caption, L"");
        // A box owned by a child window is owned by that window's top-level parent.
        EXPECT_TRUE(box.owner == hwnd || box.owner == container.Window());
    }

    ASSERT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &container.Site(), 0, container.Window(), &moved), S_OK);
    EXPECT_NE(container.frame.ActiveObject(), nullptr);
    qern::test::PumpMessages(50);
    ASSERT_EQ(inplace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(container.frame.ActiveObject(), nullptr);
    EXPECT_EQ(inplace->GetWindow(&hwnd), E_FAIL);
    container.Shutdown();
    inplace = nullptr;
    cam = nullptr;
    ole = nullptr;
    EXPECT_EQ(container.frame.OutstandingReferences(), 0);
}

template <class I>
std::wstring PutUrl(IOleObject* ole, const wchar_t* value) {
    ComPtr<I> control;
    EXPECT_EQ(ole->QueryInterface(__uuidof(I), control.put_void()), S_OK);
    EXPECT_EQ(control->put_URL(BStr(value).get()), S_OK);
    BStr url;
    EXPECT_EQ(control->get_URL(url.put()), S_OK);
    return url.get() ? url.get() : L"";
}

// A URL without a server takes the page's, once the control has a site (in place or quick
// activated); the panel keeps only the host of a full one.
TEST(InPlace, UrlsTakeThePagesServer) {
    const struct {
        bool panel, quick;
        const wchar_t *url, *expected;
    } cases[] = {
        {false, false, L"/video.cgi", L"http://127.0.0.1:8080"},
        {false, true, L"/video.cgi", L"http://127.0.0.1:8080"},
        {true, false, L"/Rdimagectrl.cgi", L"http://127.0.0.1:8080"},
        {true, false, L"http://127.0.0.1:81/video.cgi", L"127.0.0.1"},
    };
    for (const auto& c : cases) {
        test::InPlaceContainer container({0, 0, 320, 240}, L"http://127.0.0.1:8080/cams/index.html");
        ComPtr<IOleObject> ole;
        const CLSID& clsid = c.panel ? CLSID_CImgCtrl : CLSID_CamImage;
        ASSERT_EQ(CamControlDll::Get().Create(clsid, IID_IOleObject, ole.put_void()), S_OK);
        auto url = [&] { return c.panel ? PutUrl<ICImgCtrl>(ole.get(), c.url) : PutUrl<ICamImage>(ole.get(), c.url); };
        if (c.url[0] == L'/') {
            EXPECT_EQ(url(), L"") << c.url;  // no site, no page to ask
        }
        if (c.quick) {
            ComPtr<IQuickActivate> quick;
            ASSERT_EQ(ole.query(IID_IQuickActivate, quick), S_OK);
            QACONTAINER qa{};
            QACONTROL out{};
            qa.cbSize = sizeof(qa);
            out.cbSize = sizeof(out);
            qa.pClientSite = &container.Site();
            ASSERT_EQ(quick->QuickActivate(&qa, &out), S_OK);
            EXPECT_EQ(out.dwMiscStatus, 131473u);
            EXPECT_TRUE(out.dwViewStatus & VIEWSTATUS_OPAQUE);
        } else {
            ASSERT_EQ(container.Activate(ole.get()), S_OK) << container.error;
        }
        EXPECT_EQ(url(), c.expected) << c.url;
        if (c.quick) ole->SetClientSite(nullptr);
    }
}

// Runs in a process of its own (each case does): loads and frees its own copy of the DLL.
TEST(InPlace, UnloadingTheModuleUnregistersItsWindowClass) {
    if (GetModuleHandleW(L"QERNCamControl.dll")) GTEST_SKIP() << "the DLL stays loaded by other cases of this run";
    HMODULE dll = LoadLibraryW(L"QERNCamControl.dll");
    ASSERT_NE(dll, nullptr);
    auto getClassObject = reinterpret_cast<decltype(CamControlDll::GetClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    {
        test::InPlaceContainer container;
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_CRec, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<IOleObject> ole;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, ole.put_void()), S_OK);
        ASSERT_EQ(container.Activate(ole.get()), S_OK) << container.error;
        EXPECT_TRUE(GetClassInfoExW(dll, L"QernControlWindow", &wc));
    }
    ASSERT_TRUE(FreeLibrary(dll));
    EXPECT_FALSE(GetClassInfoExW(dll, L"QernControlWindow", &wc));
}

}  // namespace qern
