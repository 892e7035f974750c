#pragma once
// A message-only window that notes every notification of the settings channel it is sent.
#include <windows.h>

#include <string>
#include <vector>

class NotifyRecorder {
public:
    NotifyRecorder();
    ~NotifyRecorder();
    HWND Window() const { return m_hwnd; }
    // "open", "failed", "read-failed", "closed", or "applied KEY", in order of arrival.
    std::vector<std::string> seen;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND m_hwnd = nullptr;
};
