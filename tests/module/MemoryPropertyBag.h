#pragma once
// A property bag in memory that records the order of reads and writes, as a page's PARAM tags would feed it.
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

#include "tools/camhost/HeapObject.h"

class MemoryPropertyBag : public camhost::HeapObject<IPropertyBag> {
public:
    ~MemoryPropertyBag() override {
        for (auto& kv : values) VariantClear(&kv.second);
    }
    void SetText(const std::wstring& name, const wchar_t* text) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
        Put(name, v);
    }
    void SetLong(const std::wstring& name, LONG value, VARTYPE vt = VT_I4) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        if (vt != VT_I4) VariantChangeType(&v, &v, 0, vt);
        Put(name, v);
    }
    const VARIANT* Find(const std::wstring& name) const {
        auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, ppv, {{&IID_IPropertyBag, this}});
    }

    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        reads.push_back(name);
        auto it = values.find(name);
        if (it == values.end()) return E_INVALIDARG;
        VARTYPE want = V_VT(value);
        HRESULT hr = VariantCopy(value, &it->second);
        if (SUCCEEDED(hr) && want != VT_EMPTY && want != V_VT(value)) hr = VariantChangeType(value, value, 0, want);
        return hr;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        writes.push_back(name);
        VARIANT copy;
        VariantInit(&copy);
        HRESULT hr = VariantCopy(&copy, value);
        if (SUCCEEDED(hr)) Put(name, copy);
        return hr;
    }

    std::map<std::wstring, VARIANT> values;
    std::vector<std::wstring> reads;
    std::vector<std::wstring> writes;

private:
    void Put(const std::wstring& name, VARIANT& v) {
        auto it = values.find(name);
        if (it != values.end()) VariantClear(&it->second);
        values[name] = v;
    }
};
