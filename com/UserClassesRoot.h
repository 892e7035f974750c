#pragma once
// Sends the process's HKEY_CLASSES_ROOT to the current user's classes key
// (HKCU\Software\Classes) for as long as the object lives, so that registrar scripts and the
// type library's registration write per-user keys without a second code path.
#include <windows.h>

namespace qern {

class UserClassesRoot {
public:
    UserClassesRoot();
    ~UserClassesRoot();
    UserClassesRoot(const UserClassesRoot&) = delete;
    UserClassesRoot& operator=(const UserClassesRoot&) = delete;

    // S_OK once the redirection is in place.
    HRESULT Status() const { return m_status; }
    // Removes a container key (such as "CLSID") from the user's classes when it holds nothing.
    void RemoveIfEmpty(const wchar_t* name) const;

private:
    HKEY m_classes = nullptr;
    bool m_overridden = false;
    HRESULT m_status = E_FAIL;
};

}  // namespace qern
