#include "liveview/UrlParts.h"

#include <cstdio>

std::string FormatBaseUrl(const UrlParts& parts) {
    // Sized from the parts, so a long host cannot be cut or overflow.
    std::string out(parts.scheme.size() + parts.host.size() + 16, '\0');
    int n = std::snprintf(&out[0], out.size(), "%s://%s:%d", parts.scheme.c_str(), parts.host.c_str(),
                          static_cast<int>(parts.port));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}
