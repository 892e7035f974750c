#pragma once
// The DLL under test, loaded from the test's own folder, and the COM apartment of the test process.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "com/ComPtr.h"
#include "module/QERNCamControl_h.h"
#include "tests/module/OleApartment.h"

namespace qern {

class CamControlDll {
public:
    static CamControlDll& Get() {
        static CamControlDll dll;
        return dll;
    }
    // Registers once per process, so the type library serves late binding.
    void EnsureRegistered() {
        static const HRESULT registered = Register();
        ASSERT_EQ(registered, S_OK);
    }
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv, IUnknown* outer = nullptr) {
        ComPtr<IClassFactory> factory;
        HRESULT hr = GetClassObject(clsid, IID_IClassFactory, factory.put_void());
        return FAILED(hr) ? hr : factory->CreateInstance(outer, riid, ppv);
    }
    HMODULE Module() const { return m_module; }

    HRESULT(STDAPICALLTYPE* Register)() = nullptr;
    HRESULT(STDAPICALLTYPE* Unregister)() = nullptr;
    HRESULT(STDAPICALLTYPE* CanUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**) = nullptr;

private:
    CamControlDll();
    HMODULE m_module = nullptr;
};

}  // namespace qern
