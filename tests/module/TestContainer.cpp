#include "tests/module/TestContainer.h"

namespace {
const wchar_t kContainerClass[] = L"QernTestContainer";

HWND CreateContainerWindow() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kContainerClass;
    RegisterClassExW(&wc);
    return CreateWindowExW(0, kContainerClass, L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                           800, 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}
}  // namespace

TestContainer::TestContainer(const std::wstring& pageUrl, RECT pos) : m_pos(pos) {
    m_window = CreateContainerWindow();
    if (!pageUrl.empty()) m_browser.reset(new FakeWebBrowser(pageUrl));
}

TestContainer::~TestContainer() {
    if (m_window) DestroyWindow(m_window);
}

STDMETHODIMP TestContainer::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceFrame) || IsEqualIID(riid, IID_IOleInPlaceUIWindow))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(riid, IID_IServiceProvider))
        *ppv = static_cast<IServiceProvider*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP TestContainer::SaveObject() {
    calls.push_back("SaveObject");
    return S_OK;
}

STDMETHODIMP TestContainer::CanInPlaceActivate() {
    calls.push_back("CanInPlaceActivate");
    return S_OK;
}

STDMETHODIMP TestContainer::OnInPlaceActivate() {
    calls.push_back("OnInPlaceActivate");
    return S_OK;
}

STDMETHODIMP TestContainer::OnUIActivate() {
    calls.push_back("OnUIActivate");
    return S_OK;
}

STDMETHODIMP TestContainer::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    calls.push_back("GetWindowContext");
    *frame = this;
    AddRef();
    *doc = nullptr;
    *pos = m_pos;
    *clip = m_pos;
    info->fMDIApp = FALSE;
    info->hwndFrame = m_window;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP TestContainer::OnUIDeactivate(BOOL) {
    calls.push_back("OnUIDeactivate");
    return S_OK;
}

STDMETHODIMP TestContainer::OnInPlaceDeactivate() {
    calls.push_back("OnInPlaceDeactivate");
    return S_OK;
}

STDMETHODIMP TestContainer::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    calls.push_back(object ? "SetActiveObject" : "SetActiveObject(null)");
    if (object) object->AddRef();
    if (activeObject) activeObject->Release();
    activeObject = object;
    return S_OK;
}

STDMETHODIMP TestContainer::QueryService(REFGUID service, REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (m_browser && IsEqualGUID(service, IID_IWebBrowserApp)) return m_browser->QueryInterface(riid, ppv);
    return E_NOINTERFACE;
}

void PumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}
