// Entry point and exports of the in-process server.
#include <windows.h>
#include <objbase.h>

#include "com/ComModule.h"
#include "com/ControlBase.h"
#include "module/ObjectMap.h"
#include "module/QERNCamControl_h.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        size_t count = 0;
        const qern::ClassEntry* entries = qern::ObjectMap(count);
        qern::ComModule::Get().Init(instance, entries, count, LIBID_QERNCAMCONTROLLib);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // A class left registered would point at code that is gone once the DLL is unloaded.
        if (!reserved) UnregisterClassW(qern::ControlBase::kWindowClass, instance);
        qern::ComModule::Get().Term(reserved != nullptr);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return qern::ComModule::Get().CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return qern::ComModule::Get().GetClassObject(clsid, riid, ppv);
}

STDAPI DllRegisterServer() { return qern::ComModule::Get().RegisterServer(); }

STDAPI DllUnregisterServer() { return qern::ComModule::Get().UnregisterServer(); }

// regsvr32 /n /i:user registers for the current user only; /u /n /i:user removes exactly that.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return qern::ComModule::Get().Install(install != FALSE, commandLine);
}
