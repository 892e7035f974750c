#include <cstdio>

#include "liveview/UrlParts.h"

std::string FormatBaseUrl(const UrlParts& parts) {
    // Sized from the parts, so a long host cannot be cut or overflow.
    std::string out(parts.scheme.size() + parts.host.size() + 16, '\0');
    int n = std::snprintf(&out[0], out.size(), "%s://%s:%d", parts.scheme.c_str(), parts.host.c_str(),
                          static_cast<int>(parts.port));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

CameraAddress ResolveCameraAddress(const std::string& text, const UrlParts& cracked, bool crackedOk,
                                   const UrlParts* page) {
    CameraAddress a;
    if (crackedOk && cracked.schemeNumber == kUrlSchemeHttp) {
        a.hasBase = true;
        a.base = FormatBaseUrl(cracked);
        a.path = cracked.path;
        return a;
    }
    a.path = text;
    if (page) {
        a.hasBase = true;
        a.base = FormatBaseUrl(*page);
    }
    return a;
}
