#include "tools/camhost/ParamBag.h"

namespace camhost {

ParamBag::ParamBag(std::vector<std::pair<std::wstring, std::wstring>> params) : m_params(std::move(params)) {}

STDMETHODIMP ParamBag::QueryInterface(REFIID riid, void** ppv) {
    return Answer(riid, ppv, {{&IID_IPropertyBag, static_cast<IPropertyBag*>(this)}});
}

STDMETHODIMP ParamBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    if (!name || !value) return E_POINTER;
    // Names are matched without regard to case, as HTML attribute values of PARAM names are.
    const std::pair<std::wstring, std::wstring>* found = nullptr;
    for (const auto& p : m_params)
        if (lstrcmpiW(p.first.c_str(), name) == 0) found = &p;  // the last one given wins
    m_reads.push_back(ReadRecord{name, found != nullptr});
    if (!found) return E_INVALIDARG;
    VARTYPE want = V_VT(value);
    VARIANT text;
    VariantInit(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocStringLen(found->second.data(), static_cast<UINT>(found->second.size()));
    if (!V_BSTR(&text)) return E_OUTOFMEMORY;
    if (want == VT_EMPTY || want == VT_BSTR) {
        *value = text;  // ownership moves to the caller
        return S_OK;
    }
    HRESULT hr = VariantChangeType(value, &text, 0, want);
    VariantClear(&text);
    return hr;
}

STDMETHODIMP ParamBag::Write(LPCOLESTR, VARIANT*) { return E_NOTIMPL; }

}  // namespace camhost
