#include "com/UserClassesRoot.h"

namespace qern {

UserClassesRoot::UserClassesRoot() {
    LONG err = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, &m_classes, nullptr);
    if (err == ERROR_SUCCESS) err = RegOverridePredefKey(HKEY_CLASSES_ROOT, m_classes);
    m_overridden = err == ERROR_SUCCESS;
    m_status = m_overridden ? S_OK : HRESULT_FROM_WIN32(err);
}

UserClassesRoot::~UserClassesRoot() {
    // The override is process-wide: undo it before anything else reads classes again.
    if (m_overridden) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    if (m_classes) RegCloseKey(m_classes);
}

void UserClassesRoot::RemoveIfEmpty(const wchar_t* name) const {
    if (!m_classes) return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(m_classes, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    const LONG err = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                      nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (err == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(m_classes, name);
}

}  // namespace qern
