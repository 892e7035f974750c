#include "tools/camhost/HostFrame.h"

namespace camhost {
namespace {
const wchar_t kFrameClass[] = L"CamHostFrame";
const UINT_PTR kTickTimer = 1;
}  // namespace

HostFrame::~HostFrame() {
    DropActiveObject();
    if (m_hwnd) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
}

bool HostFrame::Create(const std::wstring& title, int clientWidth, int clientHeight) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &HostFrame::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));  // the page around the controls
    wc.lpszClassName = kFrameClass;
    RegisterClassExW(&wc);  // a second frame in one process finds the class registered

    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT r = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    m_hwnd = CreateWindowExW(0, kFrameClass, title.c_str(), style, 0, 0, r.right - r.left, r.bottom - r.top, nullptr,
                             nullptr, GetModuleHandleW(nullptr), this);
    if (!m_hwnd) return false;
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    UpdateWindow(m_hwnd);
    return true;
}

bool HostFrame::StartTicks(UINT periodMs) {
    m_timer = SetTimer(m_hwnd, kTickTimer, periodMs, nullptr);
    return m_timer != 0;
}

bool HostFrame::TranslateForActiveObject(MSG& msg) {
    if (!m_active || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    return m_active->TranslateAccelerator(&msg) == S_OK;
}

void HostFrame::DropActiveObject() {
    if (m_active) {
        m_active->Release();
        m_active = nullptr;
    }
}

STDMETHODIMP HostFrame::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
        IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame)) {
        *ppv = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP HostFrame::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = m_hwnd;
    return m_hwnd ? S_OK : E_FAIL;
}

STDMETHODIMP HostFrame::SetBorderSpace(LPCBORDERWIDTHS widths) {
    // Only "no space" can be granted.
    if (widths && (widths->left || widths->top || widths->right || widths->bottom)) return OLE_E_INVALIDRECT;
    return S_OK;
}

STDMETHODIMP HostFrame::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    if (object) object->AddRef();
    DropActiveObject();
    m_active = object;
    return S_OK;
}

LRESULT CALLBACK HostFrame::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<HostFrame*>(cs->lpCreateParams)->m_hwnd = hwnd;
    }
    auto* self = reinterpret_cast<HostFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    return self->OnMessage(msg, wp, lp);
}

LRESULT HostFrame::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kTickTimer && onTick) onTick();
            return 0;
        case WM_CLOSE:
            // The host leaves its loop and takes the controls down before the window goes.
            if (onClose) onClose();
            return 0;
        case WM_ACTIVATE:
            if (m_active) m_active->OnFrameWindowActivate(LOWORD(wp) != WA_INACTIVE);
            break;
        case WM_DESTROY:
            if (m_timer) KillTimer(m_hwnd, m_timer);
            m_timer = 0;
            break;
        default:
            break;
    }
    return DefWindowProcW(m_hwnd, msg, wp, lp);
}

}  // namespace camhost
