#pragma once
// The host's top-level window and the in-place frame the controls see: it owns nothing of the
// controls, keeps the active object for keyboard messages and answers the frame's questions.
#include <windows.h>
#include <ole2.h>
#include <oleidl.h>

#include <functional>
#include <string>

namespace camhost {

class HostFrame : public IOleInPlaceFrame {
public:
    HostFrame() = default;
    virtual ~HostFrame();
    HostFrame(const HostFrame&) = delete;
    HostFrame& operator=(const HostFrame&) = delete;

    // Makes the window with a client area of the given size and shows it.
    bool Create(const std::wstring& title, int clientWidth, int clientHeight);
    HWND Window() const { return m_hwnd; }
    // Called on the window's thread: every timer tick, and when the user closes the window.
    std::function<void()> onTick;
    std::function<void()> onClose;
    bool StartTicks(UINT periodMs);
    // Gives the active object the first look at keyboard messages; true when it took the message.
    bool TranslateForActiveObject(MSG& msg);
    void DropActiveObject();
    IOleInPlaceActiveObject* ActiveObject() const { return m_active; }
    // References held by controls; 0 once every site has let go.
    LONG OutstandingReferences() const { return m_refs; }

    // IUnknown: the frame lives as long as the host, so the count only records who holds it.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&m_refs)); }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceUIWindow: no toolbars, so no border space to give.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
    // IOleInPlaceFrame: no menus to merge, no status bar.
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

    HWND m_hwnd = nullptr;
    LONG m_refs = 0;
    IOleInPlaceActiveObject* m_active = nullptr;  // holds a reference
    UINT_PTR m_timer = 0;
};

}  // namespace camhost
