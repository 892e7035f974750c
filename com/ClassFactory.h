#pragma once
// Plain class factory over an object-map creator. Factories live as long as the module.
#include <objbase.h>

#include "com/ComModule.h"

namespace qern {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreatorFn create) : m_create(create) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // Static lifetime: references neither count nor lock the module; LockServer does.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CreatorFn m_create;
};

}  // namespace qern
