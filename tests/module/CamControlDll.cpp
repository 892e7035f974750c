#include "tests/module/CamControlDll.h"

#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "com/ComPtr.h"

namespace qern {

CamControlDll& CamControlDll::Get() {
    static CamControlDll dll;
    return dll;
}

CamControlDll::CamControlDll() : m_module(LoadLibraryW(L"QERNCamControl.dll")) {
    auto resolve = [this](const char* name, auto& fn) {
        void* p = m_module ? reinterpret_cast<void*>(GetProcAddress(m_module, name)) : nullptr;
        if (!p) {
            std::fprintf(stderr, "cannot load %s from QERNCamControl.dll (%lu)\n", name, GetLastError());
            std::abort();
        }
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(p);
    };
    resolve("DllRegisterServer", Register);
    resolve("DllUnregisterServer", Unregister);
    resolve("DllCanUnloadNow", CanUnloadNow);
    resolve("DllGetClassObject", GetClassObject);
}

HRESULT CamControlDll::Create(REFCLSID clsid, REFIID riid, void** ppv, IUnknown* outer) {
    qern::ComPtr<IClassFactory> factory;
    HRESULT hr = GetClassObject(clsid, IID_IClassFactory, factory.put_void());
    return FAILED(hr) ? hr : factory->CreateInstance(outer, riid, ppv);
}

}  // namespace qern
