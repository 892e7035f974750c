#include "settings/SubclassedWindow.h"

namespace qern {

namespace {
const wchar_t kWidgetProperty[] = L"QernWidget";
}

SubclassedWindow::~SubclassedWindow() { Detach(); }

bool SubclassedWindow::Attach(HWND hwnd, HINSTANCE resources) {
    if (!IsWindow(hwnd)) return false;
    Detach();
    m_resources = resources;
    m_hwnd = hwnd;
    SetPropW(hwnd, kWidgetProperty, this);
    m_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassedWindow::Proc)));
    return true;
}

void SubclassedWindow::Detach() {
    if (!m_hwnd) return;
    if (IsWindow(m_hwnd) && GetPropW(m_hwnd, kWidgetProperty) == this) {
        SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        RemovePropW(m_hwnd, kWidgetProperty);
    }
    m_hwnd = nullptr;
    m_previous = DefWindowProcW;
}

LRESULT SubclassedWindow::CallPrevious(UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(m_previous, m_hwnd, msg, wp, lp);
}

LRESULT CALLBACK SubclassedWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<SubclassedWindow*>(GetPropW(hwnd, kWidgetProperty));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The window goes: give it back its procedure and forget it.
        const WNDPROC previous = self->m_previous;
        self->Detach();
        return CallWindowProcW(previous, hwnd, msg, wp, lp);
    }
    LRESULT result = 0;
    if (self->Handle(msg, wp, lp, result)) return result;
    return self->CallPrevious(msg, wp, lp);
}

}  // namespace qern
