#pragma once
// Takes over an existing control's window procedure; what the widget does not handle goes on to
// the control's own procedure, so the control keeps its id, tab order, focus and clicks.
#include <windows.h>

namespace qern {

class SubclassedWindow {
public:
    SubclassedWindow() = default;
    virtual ~SubclassedWindow();
    SubclassedWindow(const SubclassedWindow&) = delete;
    SubclassedWindow& operator=(const SubclassedWindow&) = delete;

    // Attaching to a second window gives the first one back its own procedure.
    bool Attach(HWND hwnd, HINSTANCE resources);
    HWND Window() const { return m_hwnd; }

protected:
    // The widget's handling; false passes the message on to the control's procedure.
    virtual bool Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) = 0;
    LRESULT CallPrevious(UINT msg, WPARAM wp, LPARAM lp);
    HINSTANCE Resources() const { return m_resources; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Detach();

    HWND m_hwnd = nullptr;
    WNDPROC m_previous = DefWindowProcW;
    HINSTANCE m_resources = nullptr;
};

}  // namespace qern
