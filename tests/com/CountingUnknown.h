#pragma once
// A fake IUnknown that counts AddRef and Release, for exact reference-count checks.
#include <objbase.h>

class CountingUnknown : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        ++queries;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        ++addRefs;
        return ++refs;
    }
    STDMETHODIMP_(ULONG) Release() override {
        ++releases;
        return --refs;
    }

    LONG refs = 1;
    int addRefs = 0;
    int releases = 0;
    int queries = 0;
};
