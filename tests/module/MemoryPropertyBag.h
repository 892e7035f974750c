#pragma once
// A property bag in memory that keeps what a control saves, in the order written (loading goes
// through camhost's ParamBag, as a page's PARAM tags would).
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

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, ppv, {{&IID_IPropertyBag, this}});
    }
    STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        writes.push_back(name);
        VARIANT& slot = values[name];
        VariantClear(&slot);
        return VariantCopy(&slot, value);
    }

    std::map<std::wstring, VARIANT> values;
    std::vector<std::wstring> writes;
};
