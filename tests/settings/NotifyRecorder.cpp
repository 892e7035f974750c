#include "NotifyRecorder.h"

#include "settings/SettingsChannel.h"

NotifyRecorder::NotifyRecorder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &NotifyRecorder::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QernNotifyRecorder";
    RegisterClassW(&wc);
    m_hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NotifyRecorder::~NotifyRecorder() { DestroyWindow(m_hwnd); }

LRESULT CALLBACK NotifyRecorder::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<NotifyRecorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_HSCROLL && wp == IDN_SETTING_APPLIED)
        self->seen.push_back(std::string("applied ") + reinterpret_cast<const char*>(lp));
    if (self && msg == WM_COMMAND) {
        switch (wp) {
        case IDN_CHANNEL_OPEN: self->seen.push_back("open"); break;
        case IDN_CHANNEL_FAILED: self->seen.push_back("failed"); break;
        case IDN_READ_FAILED: self->seen.push_back("read-failed"); break;
        case IDN_CHANNEL_CLOSED: self->seen.push_back("closed"); break;
        default: break;
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}
