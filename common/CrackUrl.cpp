// UrlParts::CrackUrl over WinINet's cracker.
#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <vector>

#include "common/Url.h"

namespace qern {

bool UrlParts::CrackUrl(const char* text) {
    if (!text) return false;
    size_t length = std::strlen(text);
    // Every part is at most as long as the whole URL.
    DWORD capacity = static_cast<DWORD>(length + 1);
    std::vector<char> bufScheme(capacity), bufHost(capacity), bufUser(capacity), bufPassword(capacity),
        bufPath(capacity), bufExtra(capacity);

    URL_COMPONENTSA uc{};
    uc.dwStructSize = sizeof(uc);
    uc.lpszScheme = bufScheme.data();
    uc.dwSchemeLength = capacity;
    uc.lpszHostName = bufHost.data();
    uc.dwHostNameLength = capacity;
    uc.lpszUserName = bufUser.data();
    uc.dwUserNameLength = capacity;
    uc.lpszPassword = bufPassword.data();
    uc.dwPasswordLength = capacity;
    uc.lpszUrlPath = bufPath.data();
    uc.dwUrlPathLength = capacity;
    uc.lpszExtraInfo = bufExtra.data();
    uc.dwExtraInfoLength = capacity;

    if (!InternetCrackUrlA(text, 0, 0, &uc)) return false;
    scheme.assign(bufScheme.data(), uc.dwSchemeLength);
    host.assign(bufHost.data(), uc.dwHostNameLength);
    user.assign(bufUser.data(), uc.dwUserNameLength);
    password.assign(bufPassword.data(), uc.dwPasswordLength);
    path.assign(bufPath.data(), uc.dwUrlPathLength);
    extra.assign(bufExtra.data(), uc.dwExtraInfoLength);
    schemeNumber = static_cast<int32_t>(uc.nScheme);
    port = uc.nPort;
    return true;
}

}  // namespace qern
