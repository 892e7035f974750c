#include "com/ComModule.h"

#include <map>
#include <memory>
#include <string>

#include "com/ClassFactory.h"
#include "com/Registrar.h"
#include "com/UserClassesRoot.h"

namespace qern {

ComModule& ComModule::Get() {
    static ComModule module;
    return module;
}

void ComModule::Init(HINSTANCE instance, const ClassEntry* entries, size_t count, const GUID& libid) {
    m_instance = instance;
    m_libid = libid;
    m_entries.assign(entries, entries + count);
    for (ClassFactory* f : m_factories) delete f;
    m_factories.clear();
    for (const ClassEntry& e : m_entries) m_factories.push_back(new ClassFactory(e.create));
}

void ComModule::Term(bool processExit) {
    if (processExit) {
        // The references are left behind on purpose: oleaut32 may already be unloaded.
        for (CachedInfo& c : m_infos) c.info.detach();
        m_infos.clear();
        m_typeLib.detach();
    } else {
        ReleaseTypeInfo();
    }
    for (ClassFactory* f : m_factories) delete f;
    m_factories.clear();
    m_entries.clear();
}

HRESULT ComModule::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (IsEqualCLSID(clsid, *m_entries[i].clsid)) return m_factories[i]->QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::wstring ComModule::ModulePath() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(m_instance, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT ComModule::RunScripts(bool registerMode) {
    const std::map<std::wstring, std::wstring> vars = {{L"MODULE", ModulePath()}};
    for (const ClassEntry& e : m_entries) {
        HRESULT hr = RunRegistrarResource(m_instance, e.registrarResource, vars, registerMode);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

namespace {
// Looked up at run time: older oleaut32 builds lack the per-user and the unregistering calls.
template <class Fn>
Fn OleAutEntry(const char* name) {
    HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
    return oleaut ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(oleaut, name))) : nullptr;
}
// For the user's scope, the classes root points at the user's classes while `user` lives.
HRESULT RedirectForScope(RegistrationScope scope, std::unique_ptr<UserClassesRoot>& user) {
    if (scope != RegistrationScope::User) return S_OK;
    user.reset(new UserClassesRoot);
    return user->Status();
}
}  // namespace

HRESULT ComModule::RegisterTypeLibrary(RegistrationScope scope) {
    ComPtr<ITypeLib> lib;
    if (scope == RegistrationScope::Machine) return LoadTypeLibEx(ModulePath().c_str(), REGKIND_REGISTER, lib.put());
    std::wstring path = ModulePath();
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    // Without the per-user call the redirected classes root still keeps it per-user.
    using RegisterForUserFn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
    auto forUser = OleAutEntry<RegisterForUserFn>("RegisterTypeLibForUser");
    return forUser ? forUser(lib.get(), &path[0], nullptr) : RegisterTypeLib(lib.get(), &path[0], nullptr);
}

HRESULT ComModule::UnregisterTypeLibrary(RegistrationScope scope) {
    using UnRegisterFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    UnRegisterFn unregister = nullptr;
    if (scope == RegistrationScope::User) unregister = OleAutEntry<UnRegisterFn>("UnRegisterTypeLibForUser");
    if (!unregister) unregister = OleAutEntry<UnRegisterFn>("UnRegisterTypeLib");
    if (!unregister) return S_OK;  // an oleaut32 without it is not an error

    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    // A library that is not registered (any more) is already removed.
    BSTR registered = nullptr;
    if (SUCCEEDED(QueryPathOfRegTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, &registered))) {
        SysFreeString(registered);
        hr = unregister(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    }
    lib->ReleaseTLibAttr(attr);
    return hr;
}

HRESULT ComModule::RegisterServer(RegistrationScope scope) {
    std::unique_ptr<UserClassesRoot> user;
    HRESULT hr = RedirectForScope(scope, user);
    if (FAILED(hr)) return hr;
    hr = RunScripts(true);
    if (SUCCEEDED(hr)) hr = RegisterTypeLibrary(scope);
    ReleaseTypeInfo();
    return hr;
}

HRESULT ComModule::UnregisterServer(RegistrationScope scope) {
    std::unique_ptr<UserClassesRoot> user;
    HRESULT hr = RedirectForScope(scope, user);
    if (FAILED(hr)) return hr;
    hr = RunScripts(false);
    ReleaseTypeInfo();
    if (SUCCEEDED(hr)) hr = UnregisterTypeLibrary(scope);
    // The user's classes may have held nothing before: leave no emptied containers behind.
    if (user)
        for (const wchar_t* name : {L"CLSID", L"TypeLib", L"Interface"}) user->RemoveIfEmpty(name);
    return hr;
}

HRESULT ComModule::Install(bool install, const wchar_t* commandLine) {
    const wchar_t* line = commandLine ? commandLine : L"";
    RegistrationScope scope;
    if (_wcsicmp(line, L"user") == 0)
        scope = RegistrationScope::User;
    else if (*line == L'\0')
        scope = RegistrationScope::Machine;
    else
        return E_INVALIDARG;
    return install ? RegisterServer(scope) : UnregisterServer(scope);
}

HRESULT ComModule::LoadTypeLib(ITypeLib** out) {
    if (!m_typeLib) {
        HRESULT hr = LoadRegTypeLib(m_libid, 1, 0, LOCALE_NEUTRAL, m_typeLib.put());
        if (FAILED(hr)) return hr;
    }
    return m_typeLib.copy_to(out);
}

HRESULT ComModule::GetTypeInfo(REFGUID guid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ScopedLock lock(m_typeLock);
    for (const CachedInfo& c : m_infos)
        if (IsEqualGUID(c.guid, guid)) return c.info.copy_to(out);

    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLib(lib.put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = lib->GetTypeInfoOfGuid(guid, info.put());
    if (FAILED(hr)) return hr;

    // A dual interface answers with its dispatch half; take the interface half it refers to.
    TYPEATTR* attr = nullptr;
    hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    bool dualDispatch = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    if (dualDispatch) {
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> itf;
        hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
        if (SUCCEEDED(hr)) hr = info->GetRefTypeInfo(ref, itf.put());
        if (FAILED(hr)) return hr;
        info = itf;
    }
    m_infos.push_back({guid, info});
    return info.copy_to(out);
}

void ComModule::ReleaseTypeInfo() {
    ScopedLock lock(m_typeLock);
    m_infos.clear();
    m_typeLib = nullptr;
}

}  // namespace qern
