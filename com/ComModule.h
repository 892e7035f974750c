#pragma once
// Per-process state of the in-process server: instance, lock count, object map, type information.
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "com/ComPtr.h"
#include "common/WinHandle.h"

namespace qern {

using CreatorFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// One entry of the object map: a class, its registrar script and its creator.
struct ClassEntry {
    const CLSID* clsid;
    UINT registrarResource;
    CreatorFn create;
};

class ClassFactory;

class ComModule {
public:
    static ComModule& Get();

    void Init(HINSTANCE instance, const ClassEntry* entries, size_t count, const GUID& libid);
    // At process exit (processExit) other DLLs may be gone: cached COM objects are then only forgotten.
    void Term(bool processExit);

    HINSTANCE Instance() const { return m_instance; }
    const GUID& LibId() const { return m_libid; }

    LONG Lock() { return InterlockedIncrement(&m_locks); }
    LONG Unlock() { return InterlockedDecrement(&m_locks); }
    LONG LockCount() const { return m_locks; }

    HRESULT CanUnloadNow() const { return m_locks == 0 ? S_OK : S_FALSE; }
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

    // Type information of an interface or class from the registered library, loaded once.
    // For a dual interface this is the interface half, not the dispatch half.
    HRESULT GetTypeInfo(REFGUID guid, ITypeInfo** out);
    // Forgets the cached library (used when registration changes underneath).
    void ReleaseTypeInfo();

    std::wstring ModulePath() const;

private:
    ComModule() = default;
    HRESULT LoadTypeLib(ITypeLib** out);

    HINSTANCE m_instance = nullptr;
    volatile LONG m_locks = 0;
    GUID m_libid{};
    std::vector<ClassEntry> m_entries;
    std::vector<ClassFactory*> m_factories;

    CriticalSection m_typeLock;
    ComPtr<ITypeLib> m_typeLib;
    struct CachedInfo {
        GUID guid;
        ComPtr<ITypeInfo> info;
    };
    std::vector<CachedInfo> m_infos;
};

}  // namespace qern
