#include "tools/camhost/PageBrowser.h"

namespace camhost {

STDMETHODIMP PageBrowser::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IWebBrowser) ||
        IsEqualIID(riid, IID_IWebBrowserApp) || IsEqualIID(riid, IID_IWebBrowser2)) {
        *ppv = static_cast<IWebBrowser2*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PageBrowser::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

STDMETHODIMP_(ULONG) PageBrowser::Release() {
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
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
