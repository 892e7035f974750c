#include "common/Url.h"

#include <climits>
#include <cstdio>

namespace qern {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int ParsePort(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) value = INT_MAX + 1LL;  // saturate, keep scanning
    }
    if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace

ParsedUrl ParseUrl(std::string_view url) {
    ParsedUrl out;
    const size_t npos = std::string_view::npos;
    const size_t len = url.size();

    size_t authority = 0;
    const size_t colon = url.find(':');
    if (colon != npos && colon + 1 < len && url[colon + 1] == '/') {
        out.scheme = std::string(url.substr(0, colon));
        authority = colon + 3 <= len ? colon + 3 : len;
    } else {
        out.scheme = "http";
    }

    size_t hostStart = authority;
    const size_t at = url.find('@', authority);
    if (at != npos) {
        const size_t sep = url.substr(authority, at - authority).find(':');
        if (sep != npos) {
            out.user = std::string(url.substr(authority, sep));
            out.password = std::string(url.substr(authority + sep + 1, at - authority - sep - 1));
        }
        hostStart = at + 1;
    }

    size_t pathStart = url.find('/', hostStart);
    if (pathStart == npos) pathStart = len;

    const std::string_view hostPort = url.substr(hostStart, pathStart - hostStart);
    const size_t portSep = hostPort.find(':');
    if (portSep != npos) {
        out.host = std::string(hostPort.substr(0, portSep));
        out.port = ParsePort(hostPort.substr(portSep + 1));
    } else {
        out.host = std::string(hostPort);
        out.port = out.scheme == "https" ? 443 : out.scheme == "ftp" ? 21 : 80;
    }

    out.path = pathStart < len ? std::string(url.substr(pathStart)) : std::string("/");
    return out;
}

std::string FormatBaseUrl(const UrlParts& parts) {
    // Sized from the parts, so a long host cannot be cut or overflow.
    std::string out(parts.scheme.size() + parts.host.size() + 16, '\0');
    const int n = std::snprintf(&out[0], out.size(), "%s://%s:%d", parts.scheme.c_str(), parts.host.c_str(),
                                static_cast<int>(parts.port));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

}  // namespace qern
