// Windowed in-place activation in a hand-written container, the page address service and the
// control's own key handling.
#include <gtest/gtest.h>
#include <ocidl.h>

#include <atomic>
#include <string>
#include <thread>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"
#include "tests/module/TestContainer.h"

using qern::BStr;
using qern::ComPtr;

namespace {

bool Called(const TestContainer& c, const std::string& name) {
    for (const std::string& call : c.calls)
        if (call == name) return true;
    return false;
}

RECT ChildRect(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Watches the main thread for a message box, records it and presses OK.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(DWORD thread) : m_thread(thread), m_worker([this] { Run(); }) {}
    ~MessageBoxWatcher() {
        m_stop = true;
        m_worker.join();
    }
    std::wstring text, caption;
    HWND owner = nullptr;
    std::atomic<bool> seen{false};

private:
    void Run() {
        for (int i = 0; i < 400 && !m_stop && !seen; ++i) {
            EnumThreadWindows(m_thread, &MessageBoxWatcher::Visit, reinterpret_cast<LPARAM>(this));
            Sleep(10);
        }
    }
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
        auto* self = reinterpret_cast<MessageBoxWatcher*>(param);
        wchar_t cls[32] = {};
        GetClassNameW(hwnd, cls, 32);
        if (std::wstring(cls) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
        wchar_t buf[256] = {};
        GetDlgItemTextW(hwnd, 0xFFFF, buf, 256);
        self->text = buf;
        GetWindowTextW(hwnd, buf, 256);
        self->caption = buf;
        self->owner = GetWindow(hwnd, GW_OWNER);
        self->seen = true;
        PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    DWORD m_thread;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

// A live view in the container, in-place active with its own window.
void ActivateInPlace(TestContainer& container, ComPtr<IOleObject>& ole) {
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CamImage, IID_IOleObject, ole.put_void()), S_OK);
    ASSERT_EQ(ole->SetClientSite(&container), S_OK);
    RECT pos = container.Position();
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &container, 0, container.Window(), &pos), S_OK);
}

void SetControlKey(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

}  // namespace

TEST(InPlace, ActivationCreatesTheChildWindowAndDeactivationRemovesIt) {
    TestContainer container;
    ComPtr<IOleObject> ole;
    ASSERT_NO_FATAL_FAILURE(ActivateInPlace(container, ole));
    RECT pos = container.Position();

    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(ole.query(IID_IOleInPlaceObject, inplace), S_OK);
    HWND hwnd = nullptr;
    ASSERT_EQ(inplace->GetWindow(&hwnd), S_OK);
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetParent(hwnd), container.Window());
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    RECT r = ChildRect(hwnd);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 240);
    EXPECT_TRUE(Called(container, "CanInPlaceActivate"));
    EXPECT_TRUE(Called(container, "OnInPlaceActivate"));
    EXPECT_TRUE(Called(container, "GetWindowContext"));
    EXPECT_FALSE(Called(container, "OnUIActivate"));

    RECT moved = {40, 50, 680, 530};
    ASSERT_EQ(inplace->SetObjectRects(&moved, &moved), S_OK);
    r = ChildRect(hwnd);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);

    ASSERT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &container, 0, container.Window(), &pos), S_OK);
    EXPECT_TRUE(Called(container, "OnUIActivate"));
    EXPECT_TRUE(Called(container, "SetActiveObject"));
    EXPECT_NE(container.activeObject, nullptr);
    PumpMessages(50);

    ASSERT_EQ(inplace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(Called(container, "OnUIDeactivate"));
    EXPECT_TRUE(Called(container, "OnInPlaceDeactivate"));
    EXPECT_EQ(container.activeObject, nullptr);
    EXPECT_EQ(inplace->GetWindow(&hwnd), E_FAIL);

    ASSERT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    ASSERT_EQ(ole->SetClientSite(nullptr), S_OK);
    inplace = nullptr;
    ole = nullptr;
    EXPECT_EQ(container.refs, 1);
}

TEST(InPlace, RelativeUrlTakesThePagesServer) {
    TestContainer container(L"http://127.0.0.1:8080/cams/index.html");
    ComPtr<IOleObject> ole;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CamImage, IID_IOleObject, ole.put_void()), S_OK);
    ComPtr<ICamImage> cam;
    ASSERT_EQ(ole.query(IID_ICamImage, cam), S_OK);
    // Without a client site there is no page to ask.
    ASSERT_EQ(cam->put_URL(BStr(L"/video.cgi").get()), S_OK);
    BStr url;
    cam->get_URL(url.put());
    EXPECT_EQ(url.get(), nullptr);

    ASSERT_EQ(ole->SetClientSite(&container), S_OK);
    ASSERT_EQ(cam->put_URL(BStr(L"/video.cgi").get()), S_OK);
    cam->get_URL(url.put());
    EXPECT_STREQ(url.get(), L"http://127.0.0.1:8080");
    ole->SetClientSite(nullptr);
}

TEST(InPlace, QuickActivateTakesTheContainersSinks) {
    TestContainer container;
    ComPtr<IQuickActivate> quick;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CamImage, IID_IQuickActivate, quick.put_void()), S_OK);
    QACONTAINER qa{};
    qa.cbSize = sizeof(qa);
    qa.pClientSite = &container;
    QACONTROL out{};
    out.cbSize = sizeof(out);
    ASSERT_EQ(quick->QuickActivate(&qa, &out), S_OK);
    EXPECT_EQ(out.dwMiscStatus & OLEMISC_SETCLIENTSITEFIRST, static_cast<DWORD>(OLEMISC_SETCLIENTSITEFIRST));
    EXPECT_EQ(out.dwViewStatus & VIEWSTATUS_OPAQUE, static_cast<DWORD>(VIEWSTATUS_OPAQUE));
    ComPtr<IOleObject> ole;
    ASSERT_EQ(quick.query(IID_IOleObject, ole), S_OK);
    ComPtr<IOleClientSite> site;
    ASSERT_EQ(ole->GetClientSite(site.put()), S_OK);
    EXPECT_EQ(site.get(), static_cast<IOleClientSite*>(&container));
    site = nullptr;
    ole->SetClientSite(nullptr);
}

TEST(InPlace, ControlKShowsTheVersionAndKAloneDoesNothing) {
    TestContainer container;
    ComPtr<IOleObject> ole;
    ASSERT_NO_FATAL_FAILURE(ActivateInPlace(container, ole));
    ComPtr<IOleWindow> window;
    ASSERT_EQ(ole.query(IID_IOleWindow, window), S_OK);
    HWND hwnd = nullptr;
    ASSERT_EQ(window->GetWindow(&hwnd), S_OK);
    ComPtr<ICamImage> cam;
    ASSERT_EQ(ole.query(IID_ICamImage, cam), S_OK);
    BStr version;
    cam->get_Version(version.put());

    {
        SetControlKey(false);
        MessageBoxWatcher watcher(GetCurrentThreadId());
        EXPECT_EQ(SendMessageW(hwnd, WM_KEYDOWN, 'K', 0), 0);
        PumpMessages(300);
        EXPECT_FALSE(watcher.seen);
    }
    {
        SetControlKey(true);
        MessageBoxWatcher watcher(GetCurrentThreadId());
        EXPECT_EQ(SendMessageW(hwnd, WM_KEYDOWN, 'K', 0), 0);  // returns once the box is closed
        SetControlKey(false);
        ASSERT_TRUE(watcher.seen);
        EXPECT_EQ(watcher.text, std::wstring(version.get()));
        EXPECT_EQ(watcher.caption, L"");
        // A box owned by a child window is owned by that window's top-level parent.
        EXPECT_TRUE(watcher.owner == hwnd || watcher.owner == container.Window());
    }
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(ole.query(IID_IOleInPlaceObject, inplace), S_OK);
    inplace->InPlaceDeactivate();
    ole->SetClientSite(nullptr);
}

// Runs in a process of its own (each case does): loads and frees its own copy of the DLL.
TEST(InPlace, UnloadingTheModuleUnregistersItsWindowClass) {
    if (GetModuleHandleW(L"QERNCamControl.dll")) GTEST_SKIP() << "the DLL stays loaded by other cases of this run";
    HMODULE dll = LoadLibraryW(L"QERNCamControl.dll");
    ASSERT_NE(dll, nullptr);
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);
    {
        TestContainer container;
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_CRec, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<IOleObject> ole;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, ole.put_void()), S_OK);
        ASSERT_EQ(ole->SetClientSite(&container), S_OK);
        RECT pos = container.Position();
        ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &container, 0, container.Window(), &pos), S_OK);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        EXPECT_TRUE(GetClassInfoExW(dll, L"QernControlWindow", &wc));
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
    ASSERT_TRUE(FreeLibrary(dll));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    EXPECT_FALSE(GetClassInfoExW(dll, L"QernControlWindow", &wc));
}
