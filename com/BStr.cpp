#include "com/BStr.h"

#include <windows.h>

namespace qern {

BStr BStr::fromAnsi(const char* s) {
    if (!s) return BStr();
    std::wstring w = AnsiToWide(s);
    return attach(SysAllocStringLen(w.data(), static_cast<UINT>(w.size())));
}

HRESULT BStr::copy_to(BSTR* out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_s) return S_OK;
    *out = SysAllocStringLen(m_s, SysStringLen(m_s));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::string BStr::toAnsi() const { return m_s ? WideToAnsi(m_s, static_cast<int>(SysStringLen(m_s))) : std::string(); }

std::string WideToAnsi(const wchar_t* s, int len) {
    if (!s) return std::string();
    if (len < 0) len = static_cast<int>(wcslen(s));
    if (len == 0) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, s, len, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, s, len, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring AnsiToWide(const char* s, int len) {
    if (!s) return std::wstring();
    if (len < 0) len = static_cast<int>(strlen(s));
    if (len == 0) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, s, len, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, len, &out[0], n);
    return out;
}

}  // namespace qern
