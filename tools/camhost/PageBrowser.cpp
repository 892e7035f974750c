#include "tools/camhost/PageBrowser.h"

namespace camhost {

STDMETHODIMP PageBrowser::QueryInterface(REFIID riid, void** ppv) {
    IWebBrowser2* self = this;
    return Answer(
        riid, ppv,
        {{&IID_IWebBrowser2, self}, {&IID_IWebBrowserApp, self}, {&IID_IWebBrowser, self}, {&IID_IDispatch, self}});
}

STDMETHODIMP PageBrowser::get_LocationURL(BSTR* url) {
    if (!url) return E_POINTER;
    ++m_locationReads;
    *url = SysAllocStringLen(m_url.data(), static_cast<UINT>(m_url.size()));
    return *url ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PageBrowser::get_LocationName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = SysAllocString(L"camhost");
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PageBrowser::get_Busy(VARIANT_BOOL* busy) {
    if (!busy) return E_POINTER;
    *busy = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PageBrowser::get_ReadyState(READYSTATE* state) {
    if (!state) return E_POINTER;
    *state = READYSTATE_COMPLETE;
    return S_OK;
}

}  // namespace camhost
