#pragma once
// A fake IUnknown that counts AddRef and Release, for exact reference-count checks.
#include <objbase.h>

class CountingUnknown : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = IsEqualIID(riid, IID_IUnknown) ? static_cast<IUnknown*>(this) : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++addRefs, ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    LONG refs = 1;
    int addRefs = 0;
};
