#pragma once
// The DLL under test, loaded from the test's own folder, and the COM apartment of the test process.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "module/QERNCamControl_h.h"
#include "tests/module/OleApartment.h"

class CamControlDll {
public:
    static CamControlDll& Get();

    HRESULT Register() { return m_register(); }
    HRESULT Unregister() { return m_unregister(); }
    HRESULT CanUnloadNow() { return m_canUnload(); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) { return m_getClassObject(clsid, riid, ppv); }
    // Registers once per process, so the type library serves late binding.
    void EnsureRegistered();
    // Creates through the class factory, stand-alone or aggregated.
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv, IUnknown* outer = nullptr);
    HMODULE Module() const { return m_module; }

private:
    CamControlDll();
    HMODULE m_module = nullptr;
    HRESULT(STDAPICALLTYPE* m_register)() = nullptr;
    HRESULT(STDAPICALLTYPE* m_unregister)() = nullptr;
    HRESULT(STDAPICALLTYPE* m_canUnload)() = nullptr;
    HRESULT(STDAPICALLTYPE* m_getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    bool m_registered = false;
};
