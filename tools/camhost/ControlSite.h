#pragma once
// One control on the host's page and the site it sits in: client site, in-place site, view and
// property-change sinks, and the service provider through which it finds the page's address.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <servprov.h>

#include <string>
#include <utility>
#include <vector>

#include "com/ComPtr.h"
#include "tools/camhost/HeapObject.h"
#include "tools/camhost/HostFrame.h"
#include "tools/camhost/HostOptions.h"

namespace camhost {

class PageBrowser;

class ControlSite
    : public HeapObject<IOleClientSite, IOleInPlaceSite, IAdviseSink, IPropertyNotifySink, IServiceProvider> {
public:
    // browser may be null: the page then has no address to give.
    ControlSite(HostFrame& frame, PageBrowser* browser, const Rect& pos);

    // Creates the control by ProgID, gives it this site and loads its PARAMs from a property bag.
    // On failure `error` says which step failed.
    HRESULT Create(const std::wstring& progId, const std::vector<std::pair<std::wstring, std::wstring>>& params,
                   std::string& error);
    // The same for a control the caller created (a test's own instance).
    HRESULT Adopt(IOleObject* object, const std::vector<std::pair<std::wstring, std::wstring>>& params,
                  std::string& error);
    // Connects the sinks and activates the control in place in the frame's window.
    HRESULT Activate(std::string& error);
    // Deactivates, disconnects and closes the control and lets it go; safe to call twice.
    void Shutdown();

    IOleObject* Object() const { return m_object.get(); }
    // The control's own window while it is in place active.
    HWND ControlWindow() const;
    Rect Position() const { return m_pos; }
    // PARAM names the control asked the bag for, and which of them were given.
    std::vector<std::pair<std::wstring, bool>> ParamReads() const { return m_paramReads; }

    // What the control told its site.
    LONG viewChanges = 0;
    LONG propertyChanges = 0;
    LONG positionRequests = 0;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* hwnd) override { return m_frame.GetWindow(hwnd); }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT pos) override;
    // IAdviseSink
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override;
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override {}
    // IPropertyNotifySink: every change is allowed.
    STDMETHODIMP OnChanged(DISPID) override;
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
    // IServiceProvider: the page's browser, for the page's address.
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) override;

private:
    ~ControlSite() override;
    RECT WinRect() const;

    HostFrame& m_frame;
    qern::ComPtr<PageBrowser> m_browser;
    Rect m_pos;
    qern::ComPtr<IOleObject> m_object;
    qern::ComPtr<IOleInPlaceObject> m_inPlace;
    qern::ComPtr<IConnectionPoint> m_propertyPoint;
    DWORD m_propertyCookie = 0;
    DWORD m_adviseCookie = 0;
    bool m_viewAdvised = false;
    bool m_inPlaceActive = false;
    std::vector<std::pair<std::wstring, bool>> m_paramReads;
};

}  // namespace camhost
