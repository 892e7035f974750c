#pragma once
// The browser the controls sit in, as far as a control asks it anything: the page's address.
#include <windows.h>
#include <exdisp.h>

#include <string>

#include "tools/camhost/HeapObject.h"

namespace camhost {

class PageBrowser : public HeapObject<IWebBrowser2> {
public:
    explicit PageBrowser(std::wstring locationUrl) : m_url(std::move(locationUrl)) {}
    int LocationReads() const { return m_locationReads; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP get_LocationURL(BSTR* url) override;
    STDMETHODIMP get_LocationName(BSTR* name) override;
    STDMETHODIMP get_Busy(VARIANT_BOOL* busy) override;
    STDMETHODIMP get_ReadyState(READYSTATE* state) override;

// Everything else a page's container would do (navigation, windows, bars) is not offered here.
#define CAMHOST_NOT_OFFERED(name, ...) \
    STDMETHODIMP name(__VA_ARGS__) override { return E_NOTIMPL; }
    CAMHOST_NOT_OFFERED(GetTypeInfoCount, UINT*)
    CAMHOST_NOT_OFFERED(GetTypeInfo, UINT, LCID, ITypeInfo**)
    CAMHOST_NOT_OFFERED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
    CAMHOST_NOT_OFFERED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
    CAMHOST_NOT_OFFERED(GoBack)
    CAMHOST_NOT_OFFERED(GoForward)
    CAMHOST_NOT_OFFERED(GoHome)
    CAMHOST_NOT_OFFERED(GoSearch)
    CAMHOST_NOT_OFFERED(Navigate, BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
    CAMHOST_NOT_OFFERED(Refresh)
    CAMHOST_NOT_OFFERED(Refresh2, VARIANT*)
    CAMHOST_NOT_OFFERED(Stop)
    CAMHOST_NOT_OFFERED(get_Application, IDispatch**)
    CAMHOST_NOT_OFFERED(get_Parent, IDispatch**)
    CAMHOST_NOT_OFFERED(get_Container, IDispatch**)
    CAMHOST_NOT_OFFERED(get_Document, IDispatch**)
    CAMHOST_NOT_OFFERED(get_TopLevelContainer, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(get_Type, BSTR*)
    CAMHOST_NOT_OFFERED(get_Left, LONG*)
    CAMHOST_NOT_OFFERED(put_Left, LONG)
    CAMHOST_NOT_OFFERED(get_Top, LONG*)
    CAMHOST_NOT_OFFERED(put_Top, LONG)
    CAMHOST_NOT_OFFERED(get_Width, LONG*)
    CAMHOST_NOT_OFFERED(put_Width, LONG)
    CAMHOST_NOT_OFFERED(get_Height, LONG*)
    CAMHOST_NOT_OFFERED(put_Height, LONG)
    CAMHOST_NOT_OFFERED(Quit)
    CAMHOST_NOT_OFFERED(ClientToWindow, int*, int*)
    CAMHOST_NOT_OFFERED(PutProperty, BSTR, VARIANT)
    CAMHOST_NOT_OFFERED(GetProperty, BSTR, VARIANT*)
    CAMHOST_NOT_OFFERED(get_Name, BSTR*)
    CAMHOST_NOT_OFFERED(get_HWND, SHANDLE_PTR*)
    CAMHOST_NOT_OFFERED(get_FullName, BSTR*)
    CAMHOST_NOT_OFFERED(get_Path, BSTR*)
    CAMHOST_NOT_OFFERED(get_Visible, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_Visible, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_StatusBar, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_StatusBar, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_StatusText, BSTR*)
    CAMHOST_NOT_OFFERED(put_StatusText, BSTR)
    CAMHOST_NOT_OFFERED(get_ToolBar, int*)
    CAMHOST_NOT_OFFERED(put_ToolBar, int)
    CAMHOST_NOT_OFFERED(get_MenuBar, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_MenuBar, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_FullScreen, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_FullScreen, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(Navigate2, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
    CAMHOST_NOT_OFFERED(QueryStatusWB, OLECMDID, OLECMDF*)
    CAMHOST_NOT_OFFERED(ExecWB, OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*)
    CAMHOST_NOT_OFFERED(ShowBrowserBar, VARIANT*, VARIANT*, VARIANT*)
    CAMHOST_NOT_OFFERED(get_Offline, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_Offline, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_Silent, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_Silent, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_RegisterAsBrowser, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_RegisterAsBrowser, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_RegisterAsDropTarget, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_RegisterAsDropTarget, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_TheaterMode, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_TheaterMode, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_AddressBar, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_AddressBar, VARIANT_BOOL)
    CAMHOST_NOT_OFFERED(get_Resizable, VARIANT_BOOL*)
    CAMHOST_NOT_OFFERED(put_Resizable, VARIANT_BOOL)
#undef CAMHOST_NOT_OFFERED

private:
    std::wstring m_url;
    int m_locationReads = 0;
};

}  // namespace camhost
