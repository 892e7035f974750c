#include "tests/module/CamControlDll.h"

#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace qern {

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

}  // namespace qern
