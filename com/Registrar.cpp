#include "com/Registrar.h"

#include "com/BStr.h"

namespace qern {
namespace {

HKEY HiveFromName(const std::wstring& name) {
    struct Hive {
        const wchar_t* shortName;
        const wchar_t* longName;
        HKEY key;
    };
    static const Hive hives[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", L"HKEY_USERS", HKEY_USERS},
    };
    for (const Hive& h : hives)
        if (_wcsicmp(name.c_str(), h.shortName) == 0 || _wcsicmp(name.c_str(), h.longName) == 0) return h.key;
    return nullptr;
}

class RegKey {
public:
    ~RegKey() {
        if (m_key) RegCloseKey(m_key);
    }
    HKEY* put() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

HRESULT FromWin32(LONG err) { return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(err); }

// Removes a key with its subtree; a key that does not exist is already removed.
HRESULT DeleteKeyTree(HKEY parent, const std::wstring& name) {
    LONG err = RegDeleteTreeW(parent, name.c_str());
    if (err == ERROR_FILE_NOT_FOUND) return S_OK;
    if (err != ERROR_SUCCESS) return FromWin32(err);
    err = RegDeleteKeyW(parent, name.c_str());  // some registries keep the emptied key itself
    return (err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND) ? S_OK : FromWin32(err);
}

HRESULT SetValue(HKEY key, const wchar_t* name, const RegNode& node) {
    if (node.kind == RegNode::Kind::String) {
        DWORD bytes = static_cast<DWORD>((node.text.size() + 1) * sizeof(wchar_t));
        return FromWin32(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(node.text.c_str()), bytes));
    }
    if (node.kind == RegNode::Kind::Dword) {
        DWORD v = node.number;
        return FromWin32(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v)));
    }
    return S_OK;
}

HRESULT RegisterChildren(HKEY key, const RegNode& parent);

HRESULT RegisterKey(HKEY parent, const RegNode& node) {
    if (node.mark == RegNode::Mark::Delete) return DeleteKeyTree(parent, node.name);
    if (node.mark == RegNode::Mark::ForceRemove) {
        HRESULT hr = DeleteKeyTree(parent, node.name);
        if (FAILED(hr)) return hr;
    }
    RegKey key;
    HRESULT hr = FromWin32(RegCreateKeyExW(parent, node.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr));
    if (FAILED(hr)) return hr;
    hr = SetValue(key.get(), nullptr, node);
    if (FAILED(hr)) return hr;
    return RegisterChildren(key.get(), node);
}

HRESULT RegisterChildren(HKEY key, const RegNode& parent) {
    for (const RegNode& child : parent.children) {
        HRESULT hr = child.isValue ? SetValue(key, child.name.c_str(), child) : RegisterKey(key, child);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterChildren(HKEY key, const RegNode& parent);

HRESULT UnregisterKey(HKEY parent, const RegNode& node) {
    if (node.mark != RegNode::Mark::NoRemove) return DeleteKeyTree(parent, node.name);
    RegKey key;
    LONG err = RegOpenKeyExW(parent, node.name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
    if (err == ERROR_FILE_NOT_FOUND) return S_OK;
    if (err != ERROR_SUCCESS) return FromWin32(err);
    return UnregisterChildren(key.get(), node);
}

HRESULT UnregisterChildren(HKEY key, const RegNode& parent) {
    for (const RegNode& child : parent.children) {
        HRESULT hr = S_OK;
        if (child.isValue) {
            LONG err = RegDeleteValueW(key, child.name.c_str());
            if (err != ERROR_FILE_NOT_FOUND) hr = FromWin32(err);
        } else {
            hr = UnregisterKey(key, child);
        }
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT ApplyRegScript(const RegScript& script, bool registerMode) {
    for (const RegNode& root : script.roots) {
        HKEY hive = HiveFromName(root.name);
        if (!hive) return E_INVALIDARG;
        HRESULT hr = registerMode ? RegisterChildren(hive, root) : UnregisterChildren(hive, root);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT RunRegistrarResource(HINSTANCE module, UINT id, const std::map<std::wstring, std::wstring>& vars,
                             bool registerMode) {
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (!res) return HRESULT_FROM_WIN32(GetLastError());
    HGLOBAL data = LoadResource(module, res);
    DWORD size = SizeofResource(module, res);
    const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
    if (!bytes) return E_FAIL;

    std::wstring text = AnsiToWide(bytes, static_cast<int>(size)), expanded;
    std::string error;
    RegScript script;
    if (!ExpandRegVariables(text, vars, expanded, error) || !ParseRegScript(expanded, script, error)) {
        OutputDebugStringA(("registrar script " + std::to_string(id) + ": " + error + "\n").c_str());
        return DISP_E_EXCEPTION;
    }
    return ApplyRegScript(script, registerMode);
}

}  // namespace qern
