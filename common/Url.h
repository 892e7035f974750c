// URLs: the HTTP client's own splitter (ParseUrl), the record of a URL split
// by the system's cracker (UrlParts::CrackUrl, Windows only) and the camera's
// base address made from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qern {

// A URL of the form [scheme://][user:password@]host[:port][/path], split.
struct ParsedUrl {
    std::string scheme;  // "http" when the URL has none
    std::string user;    // empty unless the URL has "user:password@"
    std::string password;
    std::string host;
    int port = 0;      // the scheme's default (443 https, 21 ftp, 80 otherwise) when none is given
    std::string path;  // "/" when the URL has none
};

// Never fails: every URL splits into some parts. A port text is read like atoi
// (leading blanks, a sign, digits up to the first non-digit) but saturates
// instead of overflowing.
ParsedUrl ParseUrl(std::string_view url);

// Scheme numbers as WinINet counts them.
enum : int32_t { kUrlSchemeHttp = 3 };

struct UrlParts {
    std::string scheme;
    int32_t schemeNumber = 0;
    std::string host;
    uint16_t port = 0;
    std::string user;
    std::string password;
    std::string path;
    std::string extra;

    // Splits text with the system's URL cracker; false when it refuses the text.
    bool CrackUrl(const char* text);
};

// "%s://%s:%d" of scheme, host and port.
std::string FormatBaseUrl(const UrlParts& parts);

}  // namespace qern
