#include "tests/module/CamControlDll.h"

#include <cstdlib>
#include <cstdio>

namespace {
template <class Fn>
void Resolve(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!fn) {
        std::fprintf(stderr, "QERNCamControl.dll lacks %s\n", name);
        std::abort();
    }
}
}  // namespace

CamControlDll& CamControlDll::Get() {
    static CamControlDll dll;
    return dll;
}

CamControlDll::CamControlDll() {
    m_module = LoadLibraryW(L"QERNCamControl.dll");
    if (!m_module) {
        std::fprintf(stderr, "cannot load QERNCamControl.dll (%lu)\n", GetLastError());
        std::abort();
    }
    Resolve(m_module, "DllRegisterServer", m_register);
    Resolve(m_module, "DllUnregisterServer", m_unregister);
    Resolve(m_module, "DllCanUnloadNow", m_canUnload);
    Resolve(m_module, "DllGetClassObject", m_getClassObject);
}

void CamControlDll::EnsureRegistered() {
    if (m_registered) return;
    ASSERT_EQ(Register(), S_OK);
    m_registered = true;
}

HRESULT CamControlDll::Create(REFCLSID clsid, REFIID riid, void** ppv, IUnknown* outer) {
    IClassFactory* factory = nullptr;
    HRESULT hr = GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(outer, riid, ppv);
    factory->Release();
    return hr;
}
