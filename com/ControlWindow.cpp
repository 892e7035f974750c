// Windowed in-place activation: the control's child window inside the container's window.
#include "com/ControlBase.h"

#include <algorithm>

namespace qern {
namespace {

HINSTANCE WindowInstance() {
    HINSTANCE instance = ComModule::Get().Instance();
    return instance ? instance : GetModuleHandleW(nullptr);
}

}  // namespace

STDMETHODIMP ControlBase::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}

STDMETHODIMP ControlBase::GetDropTarget(IDropTarget** target) {
    if (target) *target = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlBase::InPlaceActivate(LONG verb, const RECT*) {
    if (!m_clientSite) return E_UNEXPECTED;
    HRESULT hr;
    if (!m_inPlaceActive) {
        ComPtr<IOleInPlaceSite> site;
        if (FAILED(hr = m_clientSite.query(IID_IOleInPlaceSite, site))) return hr;
        if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
        m_inPlaceActive = true;
        m_inPlaceSite = site;
        ComPtr<IOleInPlaceSiteEx> siteEx;
        BOOL noRedraw = FALSE;
        hr = SUCCEEDED(site.query(IID_IOleInPlaceSiteEx, siteEx)) ? siteEx->OnInPlaceActivateEx(&noRedraw, 0)
                                                                  : site->OnInPlaceActivate();
        if (FAILED(hr)) {
            m_inPlaceActive = false;
            m_inPlaceSite = nullptr;
            return hr;
        }
    }
    if (!m_hWnd) {
        HWND parent = nullptr;
        if (FAILED(hr = m_inPlaceSite->GetWindow(&parent))) return hr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof(frameInfo);
        m_frame = nullptr;
        m_uiWindow = nullptr;
        if (FAILED(hr = m_inPlaceSite->GetWindowContext(m_frame.put(), m_uiWindow.put(), &pos, &clip, &frameInfo)))
            return hr;
        if (FAILED(hr = CreateControlWindow(parent, pos))) return hr;
        SetObjectRects(&pos, &clip);
    }
    ShowWindow(m_hWnd, SW_SHOW);

    if ((verb == OLEIVERB_PRIMARY || verb == OLEIVERB_UIACTIVATE) && !m_uiActive) {
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        if (GetFocus() != m_hWnd) SetFocus(m_hWnd);
        IOleInPlaceActiveObject* active = this;
        if (m_frame) {
            m_frame->SetActiveObject(active, nullptr);
            m_frame->SetBorderSpace(nullptr);
        }
        if (m_uiWindow) {
            m_uiWindow->SetActiveObject(active, nullptr);
            m_uiWindow->SetBorderSpace(nullptr);
        }
    }
    return S_OK;
}

STDMETHODIMP ControlBase::UIDeactivate() {
    if (!m_uiActive) return S_OK;
    m_uiActive = false;
    if (m_uiWindow) m_uiWindow->SetActiveObject(nullptr, nullptr);
    if (m_frame) m_frame->SetActiveObject(nullptr, nullptr);
    if (m_inPlaceSite) m_inPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP ControlBase::InPlaceDeactivate() {
    if (!m_inPlaceActive) return S_OK;
    UIDeactivate();
    m_inPlaceActive = false;
    DestroyControlWindow();
    ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
    m_frame = nullptr;
    m_uiWindow = nullptr;
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP ControlBase::SetObjectRects(LPCRECT pos, LPCRECT clip) {
    if (!pos) return E_POINTER;
    m_posRect = *pos;
    if (!m_hWnd) return S_OK;
    int w = pos->right - pos->left, h = pos->bottom - pos->top;
    SetWindowPos(m_hWnd, nullptr, pos->left, pos->top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    // Cut the window to the part the container lets us show.
    RECT visible;
    if (clip && IntersectRect(&visible, pos, clip) && !EqualRect(&visible, pos)) {
        OffsetRect(&visible, -pos->left, -pos->top);
        SetWindowRgn(m_hWnd, CreateRectRgnIndirect(&visible), TRUE);  // the window owns the region
    } else {
        SetWindowRgn(m_hWnd, nullptr, TRUE);
    }
    return S_OK;
}

HRESULT ControlBase::CreateControlWindow(HWND parent, const RECT& pos) {
    HINSTANCE instance = WindowInstance();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(instance, kWindowClass, &wc)) {
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = &ControlBase::WindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kWindowClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return HRESULT_FROM_WIN32(GetLastError());
    }
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (!m_enabled) style |= WS_DISABLED;
    HWND hwnd = CreateWindowExW(0, kWindowClass, L"", style, pos.left, pos.top, pos.right - pos.left,
                                pos.bottom - pos.top, parent, nullptr, instance, this);
    if (!hwnd) return HRESULT_FROM_WIN32(GetLastError());
    OnWindowCreated();
    return S_OK;
}

void ControlBase::DestroyControlWindow() {
    if (!m_hWnd) return;
    OnWindowDestroying();
    HWND hwnd = m_hWnd;
    DestroyWindow(hwnd);
    m_hWnd = nullptr;
}

LRESULT CALLBACK ControlBase::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<ControlBase*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hwnd;
    }
    auto* self = reinterpret_cast<ControlBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return self->HandleMessage(msg, wp, lp);
}

void ControlBase::AskForRoomOf(HWND child) {
    if (m_hWnd && child) PostMessageW(m_hWnd, kAskForRoom, reinterpret_cast<WPARAM>(child), 0);
}

void ControlBase::FitToChild(HWND child) {
    if (!IsWindow(child) || GetParent(child) != m_hWnd || !m_inPlaceSite) return;
    RECT rect;
    GetWindowRect(child, &rect);
    // Only ever more room: a larger cell stays as the page made it.
    const LONG width = std::max(rect.right - rect.left, m_posRect.right - m_posRect.left);
    const LONG height = std::max(rect.bottom - rect.top, m_posRect.bottom - m_posRect.top);
    if (width == m_posRect.right - m_posRect.left && height == m_posRect.bottom - m_posRect.top) return;
    RECT wanted{m_posRect.left, m_posRect.top, m_posRect.left + width, m_posRect.top + height};
    m_inPlaceSite->OnPosRectChange(&wanted);
}

LRESULT ControlBase::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kAskForRoom:
            FitToChild(reinterpret_cast<HWND>(wp));
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(m_hWnd, &ps);
            RECT rc;
            GetClientRect(m_hWnd, &rc);
            if (hdc) OnDraw(hdc, rc);
            EndPaint(m_hWnd, &ps);
            return 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            if (msg == WM_SETFOCUS && !m_uiActive && m_inPlaceActive) InPlaceActivate(OLEIVERB_UIACTIVATE, nullptr);
            ComPtr<IOleControlSite> site;
            if (m_clientSite && SUCCEEDED(m_clientSite.query(IID_IOleControlSite, site)))
                site->OnFocus(msg == WM_SETFOCUS);
            break;
        }
        case WM_MOUSEACTIVATE:
            if (!m_uiActive && m_inPlaceActive) InPlaceActivate(OLEIVERB_UIACTIVATE, nullptr);
            break;
        default:
            break;
    }
    LRESULT result = 0;
    if (OnMessage(msg, wp, lp, result)) return result;
    return DefWindowProcW(m_hWnd, msg, wp, lp);
}

}  // namespace qern
